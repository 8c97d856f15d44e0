// The arithmetic of a prepare run: nulls per PCR interval, timestamps after
// a splice, the figures' texts, continuity repair.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "prepare/continuity_table.h"
#include "prepare/mux_rate.h"
#include "support/psi_sections.h"

namespace tscard {
namespace {

// The nulls after each packet of an interval of `packets`, and after the last.
std::vector<std::uint64_t> Distribution(std::uint64_t span, std::size_t packets) {
    NullSchedule s(span, packets);
    std::vector<std::uint64_t> after;
    after.push_back(s.AfterOpening());
    for (std::size_t i = 0; i + 1 < packets; ++i) after.push_back(s.AfterFurther(i));
    after.push_back(s.AtEnd());
    return after;
}

constexpr std::uint64_t k40ms = 1080000;  // 661.76 slots

TEST(NullSchedule, FillsTheSlotsOfTheIntervalSpan) {
    struct Case {
        const char* what;
        std::uint64_t span;
        std::size_t packets;
        bool per_packet;
        std::int64_t k;
        std::uint64_t total;
    };
    const Case cases[] = {
        {"per packet, 5 each, 61 extra", k40ms, 100, true, 5, 561},
        {"per packet, k = 1", k40ms, 300, true, 1, 361},
        {"spread, every packet", k40ms, 400, false, 0, 261},
        {"spread, every third", k40ms, 500, false, 0, 161},
        {"spread, every ninth", k40ms, 600, false, 0, 61},
        {"two PCRs in a row: all slots but one", k40ms, 1, true, 660, 660},
        {"exactly full", 661 * 1632, 661, false, 0, 0},
        {"more packets than slots", k40ms, 700, false, 0, 0},
    };
    for (const Case& c : cases) {
        NullSchedule s(c.span, c.packets);
        EXPECT_EQ(s.PerPacket(), c.per_packet) << c.what;
        if (c.per_packet) {
            EXPECT_EQ(s.K(), c.k) << c.what;
        }
        EXPECT_EQ(s.Total(), c.total) << c.what;
        const auto after = Distribution(c.span, c.packets);
        EXPECT_EQ(std::accumulate(after.begin(), after.end(), std::uint64_t(0)), c.total) << c.what;
        // N = trunc(slots - c): together the interval fills its slots less a fraction.
        const double slots = double(c.span) / TicksPerPacket;
        if (c.total > 0) {
            EXPECT_EQ(double(c.packets + c.total), std::trunc(slots)) << c.what;
        }
    }
}

TEST(NullSchedule, PerPacketModeGivesTheExtraNullsToTheFirstFurtherPackets) {
    // 100 packets over 661.76 slots: N = 561, k = 5, owed 61: 56 further
    // packets get 6 (while owed exceeds k), the rest 5, the last 5 owed at the end.
    const auto after = Distribution(k40ms, 100);
    ASSERT_EQ(after.size(), 101u);
    EXPECT_EQ(after[0], 5u) << "the opening PCR packet";
    for (std::size_t i = 1; i <= 56; ++i) EXPECT_EQ(after[i], 6u) << i;
    for (std::size_t i = 57; i < 100; ++i) EXPECT_EQ(after[i], 5u) << i;
    EXPECT_EQ(after[100], 5u);
}

TEST(NullSchedule, SpreadModePutsOneNullAfterEverySthFurtherPacket) {
    // 500 packets over 661.76 slots: N = 161, s = 500 / 161 = 3.
    const auto after = Distribution(k40ms, 500);
    EXPECT_EQ(after[0], 0u) << "nothing after the opening packet";
    for (std::size_t i = 0; i + 1 < 500; ++i) {
        const bool expected = i % 3 == 0 && i / 3 < 161;
        EXPECT_EQ(after[i + 1], expected ? 1u : 0u) << "further packet " << i;
    }
    EXPECT_EQ(after[500], 0u);
}

TEST(SplicedTimestamp, FloorsAndWrapsIntoThirtyThreeBits) {
    constexpr std::uint64_t kWrap = std::uint64_t(1) << 33;
    struct Case {
        const char* what;
        std::uint64_t t, in_ref, out_ref, expected;
    };
    const Case cases[] = {
        {"moved forward", 900000 * 300, 800000 * 300, 100 * 300, 100100},
        {"rounded down", 300 * 10 + 299, 0, 0, 10},
        {"just before the reference floors to -1", 0, 1, 0, kWrap - 1},
        {"exactly -300", 0, 300, 0, kWrap - 1},
        {"-301 floors to -2", 0, 301, 0, kWrap - 2},
        {"far before the reference", 0, 3 * 27000000ull * 3600, 0, kWrap - 3 * 90000ull * 3600},
        {"past 2^33 wraps", kWrap * 300 + 600, 0, 0, 2},
        {"timestamp far behind a late output clock", 90000 * 300, 10 * 90000ull * 300, kWrap * 300, kWrap - 9 * 90000},
    };
    for (const Case& c : cases) EXPECT_EQ(SplicedTimestamp(c.t, c.in_ref, c.out_ref), c.expected) << c.what;
}

TEST(SlotPcr, TruncatesTheSlotTime) {
    EXPECT_EQ(SlotPcr(0), 0u);
    EXPECT_EQ(SlotPcr(1), 1631u);
    EXPECT_EQ(SlotPcr(661), 1078746u);  // 661 x 1631.992... = 1078746.8
    // 24,882,472.7 bit/s: a second of slots.
    EXPECT_NEAR(27e6 / TicksPerPacket * 1504, 24882472.745, 0.001);
}

TEST(PrepareTexts, FixedWidthFigures) {
    EXPECT_EQ(PcrStepText(0.75), "   0.750");
    EXPECT_EQ(PcrStepText(0.7500000370), "   0.750");
    EXPECT_EQ(PcrStepText(12.3456), "  12.346");
    EXPECT_EQ(BitrateText(24.88247274), "24.8824727");
    EXPECT_EQ(BitrateText(3.5), " 3.5000000");
}

TEST(ContinuityTable, RepairsCountersPerFoldedPid) {
    struct Step {
        std::uint16_t pid;
        unsigned in, out;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"first packet of a PID is taken as it is", {{0x101, 9, 9}, {0x102, 3, 3}}},
        {"same or next counter stays", {{0x101, 4, 4}, {0x101, 4, 4}, {0x101, 5, 5}}},
        {"a gap becomes the next counter", {{0x101, 4, 4}, {0x101, 9, 5}, {0x101, 6, 6}}},
        {"a step back becomes the next counter", {{0x101, 4, 4}, {0x101, 2, 5}}},
        {"after 15: 15 stays, 0 follows, others become 0", {{0x101, 15, 15}, {0x101, 15, 15}, {0x101, 7, 0}, {0x101, 1, 1}}},
        {"14 to 15", {{0x101, 14, 14}, {0x101, 15, 15}, {0x101, 0, 0}}},
        {"PIDs 4 and 15 fold to one entry", {{0x004, 3, 3}, {0x00F, 7, 4}}},
    };
    for (const Case& c : cases) {
        ContinuityTable table;
        for (const Step& s : c.steps) {
            Packet p = test::PayloadPacket(s.pid, 0x00, static_cast<std::uint8_t>(s.in));
            const Packet before = p;
            table.Repair(p.data());
            EXPECT_EQ(ContinuityCounter(p.data()), s.out) << c.what;
            p[3] = before[3];
            EXPECT_EQ(p, before) << c.what << ": only the counter bits change";
        }
    }
}

}  // namespace
}  // namespace tscard
