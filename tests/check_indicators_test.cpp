// The stream check on streams broken on purpose: every count exact.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "check/stream_check.h"
#include "check_streams.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::CheckStream;
using test::kCheckAudio;
using test::kCheckVideo;
using I = Indicator;

struct Broken {
    const char* name;
    std::function<void(CheckStream&)> edit;
    std::map<Indicator, std::uint64_t> counts;  // every other indicator counts 0
    double rate_bps = 0.0;                      // --rate; 0: the PCR time base
    std::uint64_t late = 0;                     // video PES after their DTS
    std::uint64_t early = 0;                    // and more than 1 s before it
    bool timed = true;  // a program is found and its streams timed
};

CheckResult CheckBytes(const std::vector<std::uint8_t>& bytes, const CheckOptions& options) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "stream.ts", bytes);
    test::RecordingSink events;
    StopFlag stop;
    CheckProgress progress;
    return RunCheck((dir / "stream.ts").string(), options, events, stop, progress);
}

const StreamTiming* TimingOf(const CheckResult& r, std::uint16_t pid) {
    for (const StreamTiming& t : r.Timing)
        if (t.Pid == pid) return &t;
    return nullptr;
}

// Packets of second 1 (i = 1000 + k) and so on, as the stream lays them out.
constexpr std::size_t S(std::size_t second, std::size_t k) { return second * 1000 + k; }

const Broken kBroken[] = {
    {"clean", [](CheckStream&) {}, {}},
    {"clean, timed at the rate", [](CheckStream&) {}, {}, test::kCheckRateBps},

    // continuity_counter
    {"a lost video packet", [](CheckStream& s) { s.ToNull(S(1, 6)); }, {{I::Continuity_count_error, 1}}},
    {"one duplicate of a packet", [](CheckStream& s) { s.packets[S(1, 14)] = s.packets[S(1, 13)]; }, {}},
    {"two duplicates of a packet",
     [](CheckStream& s) { s.packets[S(1, 14)] = s.packets[S(1, 15)] = s.packets[S(1, 13)]; },
     {{I::Continuity_count_error, 1}}},
    {"a repeated counter on other bytes",
     [](CheckStream& s) {
         s.packets[S(1, 14)] = s.packets[S(1, 13)];
         s.packets[S(1, 14)][100] ^= 0xFF;
     },
     {{I::Continuity_count_error, 1}}},
    {"two packets swapped", [](CheckStream& s) { std::swap(s.packets[S(1, 7)], s.packets[S(1, 8)]); },
     {{I::Continuity_count_error, 1}}},
    {"a counter jump", [](CheckStream& s) { s.ShiftCounters(kCheckVideo, S(1, 3), 5); },
     {{I::Continuity_count_error, 1}}},
    {"a counter jump with discontinuity_indicator",
     [](CheckStream& s) { s.ShiftCounters(kCheckVideo, S(1, 3), 5).Discontinuity(S(1, 3)); }, {}},

    // PAT and PMT
    {"a PAT gap of 0.6 s",
     [](CheckStream& s) {
         for (std::size_t k = 100; k <= 500; k += 100) s.Remove(S(2, k));
     },
     {{I::PAT_error, 1}}},
    {"a PAT gap of 0.5 s", [](CheckStream& s) {
         for (std::size_t k = 100; k <= 400; k += 100) s.Remove(S(2, k));
     },
     {}},
    {"no PAT before 0.7 s",
     [](CheckStream& s) {
         for (std::size_t k = 0; k <= 600; k += 100) s.Remove(S(0, k));
     },
     {{I::PAT_error, 1}}},
    {"a PAT stopping 0.7 s before the end",
     [](CheckStream& s) {
         for (std::size_t k = 400; k <= 900; k += 100) s.Remove(S(9, k));
     },
     {}},
    {"no PAT at all, timed at the rate", [](CheckStream& s) { s.Silence(kPatPid, 0, s.packets.size()); },
     {{I::PAT_error, 1}}, test::kCheckRateBps, 0, 0, false},
    {"a section of another table on PID 0",
     [](CheckStream& s) { s.Replace(S(1, 0), test::SectionPackets(kPatPid, test::SdtSection({{1, {}}}))[0]); },
     {{I::PAT_error, 1}}},
    {"a scrambled PAT packet", [](CheckStream& s) { s.packets[S(1, 0)][3] |= 0x80; },
     {{I::PAT_error, 1}, {I::CAT_error, 1}}},
    {"the first PMT 0.6 s after the start",
     [](CheckStream& s) {
         for (std::size_t k = 1; k <= 501; k += 100) s.Remove(S(0, k));
     },
     {{I::PMT_error, 1}}},
    {"a PMT missing for 1 s",
     [](CheckStream& s) {
         for (std::size_t k = 101; k <= 1001; k += 100) s.Remove(S(2, k));
     },
     {{I::PMT_error, 1}}},

    // PIDs and PES
    {"an audio PID silent for 6 s", [](CheckStream& s) { s.Silence(kCheckAudio, S(2, 0), S(8, 0)); },
     {{I::PID_error, 1}, {I::PTS_error, 1}}},
    {"an audio PID silent for 4 s", [](CheckStream& s) { s.Silence(kCheckAudio, S(2, 0), S(6, 0)); },
     {{I::PTS_error, 1}}},
    {"a stream the PMT names and the file never carries",
     [](CheckStream& s) { s = CheckStream(10, {{0x06, 0x103, {}}}); }, {{I::PID_error, 1}}},
    {"a video PES after its DTS", [](CheckStream& s) { s.VideoDts(S(3, 5), -10); }, {}, 0.0, 1, 0},
    {"a video PES 1.5 s before its DTS", [](CheckStream& s) { s.VideoDts(S(3, 5), 1500); }, {}, 0.0, 0, 1},

    // PCR
    {"a PCR gap of 60 ms", [](CheckStream& s) { s.Remove(S(1, 23)).Remove(S(1, 43)); },
     {{I::PCR_repetition_error, 1}}},
    {"a PCR jump of 200 ms without discontinuity_indicator",
     [](CheckStream& s) {
         for (std::size_t i = S(5, 3); i < s.packets.size(); i += 20) s.ShiftPcr(i, 200 * test::kTicksPerMs);
     },
     {{I::PCR_discontinuity_indicator_error, 1}}},
    {"a PCR jump of 200 ms with discontinuity_indicator",
     [](CheckStream& s) {
         for (std::size_t i = S(5, 3); i < s.packets.size(); i += 20) s.ShiftPcr(i, 200 * test::kTicksPerMs);
         s.Discontinuity(S(5, 3));
     },
     {}},
    {"a PCR jump of 200 ms with discontinuity_indicator, timed at the rate",
     [](CheckStream& s) {
         for (std::size_t i = S(5, 3); i < s.packets.size(); i += 20) s.ShiftPcr(i, 200 * test::kTicksPerMs);
         s.Discontinuity(S(5, 3));
     },
     {}, test::kCheckRateBps},
    {"every tenth PCR 1 us late",
     [](CheckStream& s) {
         for (std::size_t i = 103; i < s.packets.size(); i += 200) s.ShiftPcr(i, 27);
     },
     {{I::PCR_accuracy_error, 50}}},
    {"every tenth PCR 1 us late, timed at the rate",
     [](CheckStream& s) {
         for (std::size_t i = 103; i < s.packets.size(); i += 200) s.ShiftPcr(i, 27);
     },
     {{I::PCR_accuracy_error, 50}}, test::kCheckRateBps},
    {"every tenth PCR 400 ns late, timed at the rate",
     [](CheckStream& s) {
         for (std::size_t i = 103; i < s.packets.size(); i += 200) s.ShiftPcr(i, 11);
     },
     {}, test::kCheckRateBps},

    // Transport
    {"transport_error_indicator on three packets",
     [](CheckStream& s) {
         for (std::size_t i : {S(1, 6), S(1, 26), S(1, 30)}) s.packets[i][1] |= 0x80;
     },
     {{I::Transport_error, 3}}},
    {"a PAT, a PMT and an SDT with a bad CRC",
     [](CheckStream& s) {
         for (std::size_t i : {S(1, 0), S(1, 1), S(1, 2)}) s.packets[i][9] ^= 0x01;
     },
     {{I::CRC_error, 3}}},
    {"a sync byte broken once", [](CheckStream& s) { s.packets[S(1, 30)][0] = 0x46; },
     {{I::Sync_byte_error, 1}}},
    {"sync bytes broken twice in a row",
     [](CheckStream& s) { s.packets[S(1, 30)][0] = s.packets[S(1, 31)][0] = 0x46; },
     {{I::Sync_byte_error, 2}, {I::TS_sync_loss, 1}}},
    {"scrambling bits without a CAT",
     [](CheckStream& s) {
         for (std::size_t k = 6; k <= 9; ++k) s.packets[S(1, k)][3] |= 0x80;
     },
     {{I::CAT_error, 4}}},
};

class BrokenStream : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenStream, CountsEachFaultExactly) {
    const Broken& b = GetParam();
    CheckStream stream;
    b.edit(stream);
    CheckOptions options;
    options.RateBps = b.rate_bps;
    const CheckResult r = CheckBytes(stream.Bytes(), options);
    ASSERT_EQ(r.Ending, CheckEnding::Checked) << r.Message;
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const Indicator indicator = IndicatorAt(i);
        const auto expected = b.counts.find(indicator);
        const IndicatorTally& tally = r.Indicators[i];
        EXPECT_EQ(tally.Count, expected == b.counts.end() ? 0 : expected->second) << IndicatorName(indicator);
        EXPECT_EQ(tally.Occurrences.size(), std::min<std::uint64_t>(tally.Count, kKeptOccurrences))
            << IndicatorName(indicator);
    }
    const StreamTiming* video = TimingOf(r, kCheckVideo);
    if (!b.timed) {
        EXPECT_TRUE(r.Timing.empty());
        return;
    }
    ASSERT_NE(video, nullptr);
    EXPECT_GT(video->Pes, 200u) << "the video PES after the first PMT are timed";
    EXPECT_EQ(video->LatePes, b.late);
    EXPECT_EQ(video->EarlyPes, b.early);
    EXPECT_EQ(r.Clean(), b.counts.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenStream, ::testing::ValuesIn(kBroken), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

}  // namespace
}  // namespace tscard
