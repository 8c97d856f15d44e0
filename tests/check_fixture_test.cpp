// The stream check on streams a real muxer wrote, and on what prepare makes
// of them.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "check/stream_check.h"
#include "prepare/mux_rate.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard {
namespace {

// The fixtures ffmpeg writes without a mux rate space their PCRs 80 ms
// apart: more than the 40 ms allowed, and not at a constant rate.
const std::set<std::string> kSparsePcrs = {"single_vbr.ts", "units192.m2ts"};

const char* const kFixtures[] = {"single_muxrate.ts", "single_vbr.ts", "two_audio.ts", "multi3.ts",
                                 "h264.ts",           "units192.m2ts", "cyrillic.ts",  "long_4m.ts",
                                 "high_20m.ts",       "dvb_audio.ts",  "atsc_audio.ts"};

CheckResult Check(const std::string& path, double rate_bps = 0.0) {
    CheckOptions options;
    options.RateBps = rate_bps;
    test::RecordingSink events;
    StopFlag stop;
    CheckProgress progress;
    return RunCheck(path, options, events, stop, progress);
}

TEST(CheckFixtures, CountNothingWhereTheMuxerWroteACleanStream) {
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        if (!test::HasFixture(name)) continue;  // h264.ts needs libx264
        const CheckResult r = Check(test::Fixture(name).string());
        ASSERT_EQ(r.Ending, CheckEnding::Checked) << r.Message;
        const bool sparse = kSparsePcrs.count(name) != 0;
        for (std::size_t i = 0; i < kIndicatorCount; ++i) {
            const Indicator indicator = IndicatorAt(i);
            if (sparse && (indicator == Indicator::PCR_repetition_error || indicator == Indicator::PCR_accuracy_error))
                continue;
            EXPECT_EQ(r.Indicators[i].Count, 0u) << IndicatorName(indicator);
        }
        if (sparse) {
            EXPECT_GT(r.Tally(Indicator::PCR_repetition_error).Count, 0u);
        }
        for (const StreamTiming& t : r.Timing) {
            EXPECT_GT(t.Pes, 0u) << "PID " << t.Pid;
            EXPECT_EQ(t.LatePes, 0u) << "PID " << t.Pid;
            EXPECT_EQ(t.EarlyPes, 0u) << "PID " << t.Pid;
        }
        EXPECT_FALSE(r.Timing.empty());
        EXPECT_EQ(r.PacketSize, std::string(name) == "units192.m2ts" ? 192u : 188u);
        EXPECT_GT(r.Mbps, 0.0);
    }
}

// Every prepared stream whose source carries PCRs at least every 40 ms has
// each PCR within one 27 MHz tick of the card's rate, and nothing else to
// report; the command line says so with exit status 0.
TEST(CheckFixtures, PreparedStreamsAreCleanAtTheCardRate) {
    test::TempDir dir;
    for (const char* name : kFixtures) {
        SCOPED_TRACE(name);
        if (!test::HasFixture(name) || kSparsePcrs.count(name) != 0 || std::string(name) == "multi3.ts") continue;
        const std::string out = (dir / (std::string(name) + ".pre.ts")).string();
        const auto prepared = test::RunCli({"prepare", "--force", test::Fixture(name).string(), out});
        ASSERT_EQ(prepared.exit_code, 0) << prepared.err;
        const auto checked = test::RunCli({"check", out, "--rate", "card", "--json"}, {std::chrono::seconds(30)});
        EXPECT_EQ(checked.exit_code, 0) << checked.out << checked.err;
        const auto j = nlohmann::json::parse(checked.out);
        EXPECT_EQ(j["priority1_errors"], 0);
        EXPECT_EQ(j["priority2_errors"], 0);
        EXPECT_GT(j["pcrs_measured"].get<std::uint64_t>(), 10u);
        EXPECT_LE(j["pcr_accuracy_max_ns"].get<double>(), 1e9 / 27e6);
        EXPECT_EQ(j["rate_bps"].get<double>(), kMuxBitRate);
        for (const auto& stream : j["streams"]) EXPECT_EQ(stream["late_pes"], 0) << stream;
    }
}

}  // namespace
}  // namespace tscard
