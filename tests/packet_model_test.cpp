// Packet conventions and the layout figures of a stream file.

#include <gtest/gtest.h>

#include "support/psi_sections.h"
#include "ts/model.h"
#include "ts/packet.h"

namespace tscard {
namespace {

TEST(FoldPid, FoldsReservedRangesOnly) {
    struct Case {
        std::uint16_t raw, folded;
    };
    for (const Case& c : {Case{0x0000, 0x0000}, Case{0x0003, 0x0003}, Case{0x0004, 0x000F}, Case{0x0005, 0x000F},
                          Case{0x000F, 0x000F}, Case{0x0010, 0x0010}, Case{0x0011, 0x0011}, Case{0x0015, 0x0015},
                          Case{0x0016, 0x001D}, Case{0x001A, 0x001D}, Case{0x001D, 0x001D}, Case{0x001E, 0x001E},
                          Case{0x0020, 0x0020}, Case{0x1FFF, 0x1FFF}}) {
        Packet p = test::PayloadPacket(c.raw);
        p[1] |= 0xE0;  // flag bits never leak into the PID
        EXPECT_EQ(FoldPid(p.data()), c.folded) << std::hex << c.raw;
    }
}

TEST(PacketConstants, NullAndSeparatorPackets) {
    const Packet& n = NullPacket();
    EXPECT_EQ(n[0], 0x47);
    EXPECT_EQ(n[1], 0x1F);
    EXPECT_EQ(n[2], 0xFF);
    EXPECT_EQ(n[3], 0x1F);
    for (std::size_t i = 4; i < kPacketSize; ++i) ASSERT_EQ(n[i], 0xFF);
    const Packet& s = SeparatorPacket();
    EXPECT_TRUE(IsSeparator(s.data()));
    for (std::size_t i = 4; i < kPacketSize; ++i) ASSERT_EQ(s[i], 0x00);
    EXPECT_FALSE(IsSeparator(n.data()));
}

TEST(PcrTicks, ReadsBaseTimesThreeHundredPlusExtension) {
    for (std::uint64_t pcr : {0ull, 299ull, 300ull, 27000000ull, (1ull << 33) * 300 - 1}) {
        const Packet p = test::PcrPacket(0x100, pcr);
        EXPECT_TRUE(HasPcr(p.data()));
        EXPECT_EQ(PcrTicks(p.data()), pcr);
    }
}

TEST(StreamClassText, NamesTheClassOfEachStreamType) {
    struct Case {
        std::uint8_t type;
        const char* text;
    };
    for (const Case& c : {Case{0x01, "video)"}, Case{0x02, "video)"}, Case{0x03, "audio)"}, Case{0x04, "audio)"},
                          Case{0x0F, "audio)"}, Case{0x05, "video NVOD)"}, Case{0x06, "PES packet)"},
                          Case{0x1B, "video HD)"}, Case{0x80, "define by user)"}, Case{0x90, "define by user)"},
                          Case{0xFE, "define by user)"}, Case{0xFF, ""}, Case{0x07, ""}}) {
        EXPECT_EQ(StreamClassText(c.type), c.text) << int(c.type);
    }
}

TEST(LayoutFigures, SplitsTheRemainingBytesIntoWindowsAndBlocks) {
    StreamLayout l;
    ComputeWindowFigures(65536ull * 3 + 100, l);
    EXPECT_EQ(l.WindowCount, 3u);
    EXPECT_EQ(l.TailBytes, 100u);
    ComputeWindowFigures(65536ull * 2, l);
    EXPECT_EQ(l.WindowCount, 2u);
    EXPECT_EQ(l.TailBytes, 0u);

    ComputeBlockFigures(64672 + 8084, false, l);
    EXPECT_EQ(l.BigBlocks, 1u);
    EXPECT_EQ(l.MidBlocks, 0u);
    EXPECT_EQ(l.TailPackets, 43);
    ComputeBlockFigures(64672 + 8084, true, l);
    EXPECT_EQ(l.TailPackets, 42);
    ComputeBlockFigures(64672 * 2 + 8084 * 3 + 188 * 5, false, l);
    EXPECT_EQ(l.BigBlocks, 2u);
    EXPECT_EQ(l.MidBlocks, 3u);
    EXPECT_EQ(l.TailPackets, 5);
    ComputeBlockFigures(5'000'000'000ull, false, l);
    EXPECT_EQ(l.BigBlocks, 5'000'000'000ull / 64672);
}

}  // namespace
}  // namespace tscard
