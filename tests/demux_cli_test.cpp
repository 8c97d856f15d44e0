// Splitting the ffmpeg three-program stream: through the analyzer and the
// event hub in the core, and end to end with tscard-cli demux, each file
// checked by ffprobe.

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "analysis/analyzer.h"
#include "demux/demultiplexer.h"
#include "demux/parsed_programs.h"
#include "events/event_hub.h"
#include "support/test_support.h"

namespace tscard {
namespace {

struct ProgramView {
    int number;
    std::string name;
    std::vector<std::pair<std::string, int>> streams;  // codec, PID
};

// The input's view of each program, as ffmpeg wrote it.
const std::vector<ProgramView> kMulti3 = {
    {1, "ProgOne", {{"mpeg2video", 0x200}, {"mp2", 0x201}}},
    {2, "ProgTwo", {{"mpeg2video", 0x202}, {"mp2", 0x203}}},
    {3, "ProgThree", {{"mpeg2video", 0x204}, {"mp2", 0x205}}},
};

std::string ProgramFile(const test::TempDir& dir, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "prg_0x%04X.ts", number);
    return (dir / name).string();
}

// What ffprobe sees: exactly one program, with these streams.
void ExpectOneProgram(const std::string& path, const ProgramView& want) {
    const auto r = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j["programs"].size(), 1u) << r.out;
    const auto& p = j["programs"][0];
    EXPECT_EQ(p["program_num"], want.number);
    EXPECT_EQ(p["tags"]["service_name"], want.name);
    std::vector<std::pair<std::string, int>> streams;
    for (const auto& s : p["streams"])
        streams.emplace_back(s["codec_name"].get<std::string>(), std::stoi(s["id"].get<std::string>(), nullptr, 16));
    EXPECT_EQ(streams, want.streams);
}

std::uint64_t Packets(const std::string& path) { return std::filesystem::file_size(path) / 188; }

TEST(DemuxCli, SplitsEveryProgramIntoAFileFfprobeReadsAsThatProgram) {
    test::TempDir dir;
    const std::string input = test::Fixture("multi3.ts").string();
    const auto r = test::RunCli({"demux", input, dir.path().string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const ProgramView& want : kMulti3) {
        SCOPED_TRACE(want.name);
        const std::string path = ProgramFile(dir, want.number);
        ExpectOneProgram(path, want);
        EXPECT_EQ(Packets(path), Packets(input) + 2);
        EXPECT_NE(r.out.find(path + ": " + std::to_string(Packets(input) + 2) + " packets\n"), std::string::npos)
            << r.out;
    }
}

TEST(DemuxCli, RemovingStuffingKeepsOnlyTheProgramsOwnPackets) {
    test::TempDir dir;
    const auto r = test::RunCli({"demux", test::Fixture("multi3.ts").string(), dir.path().string(),
                                 "--remove-stuffing", "--programs", "0x0002"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(ProgramFile(dir, 1)));
    EXPECT_FALSE(std::filesystem::exists(ProgramFile(dir, 3)));
    const std::string path = ProgramFile(dir, 2);
    ExpectOneProgram(path, kMulti3[1]);
    std::set<int> pids;
    for (const Packet& p : test::SplitPackets(test::ReadFileBytes(path))) pids.insert(FoldPid(p.data()));
    EXPECT_EQ(pids, (std::set<int>{0x0000, 0x0011, 0x0101, 0x0202, 0x0203}));
}

TEST(DemuxCli, RefusalsAndFailuresExitNonZeroWithTheReason) {
    test::TempDir dir;
    const std::string multi = test::Fixture("multi3.ts").string();
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"demux", test::Fixture("single_vbr.ts").string(), dir.path().string()}, 1,
         "In selected stream is only one programm.There is no need paresed it"},
        {{"demux", multi, dir.path().string(), "--programs", "0x0009"}, 1, "has no program 0x0009"},
        {{"demux", multi, (dir / "missing").string()}, 1, "missing: does not exist"},
        {{"demux", multi, multi}, 1, "multi3.ts: is not a folder"},
        {{"demux", (dir / "none.ts").string(), dir.path().string()}, 1, "none.ts: File in use from other application (No such"},
        {{"demux", multi, dir.path().string(), "--programs", "1,x"}, 2, "not a list of program numbers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        const auto r = test::RunCli(c.args);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The front end's way: the worker on its own thread, its events through
// the hub, the result collected by the completion handler.
TEST(DemuxWorker, RunsOnAThreadAndReportsThroughTheEventHub) {
    StreamState state;
    StopFlag stop;
    NullEventSink quiet;
    Analyzer analyzer;
    AnalysisRequest request{AnalysisMode::ModeParse, test::Fixture("multi3.ts").string()};
    ASSERT_EQ(analyzer.Run(request, state, quiet, stop).Ending, AnalysisEnding::Complete);
    SelectParsedPrograms(state);
    state.Lists.ProgramList[1].Selected = 0;  // as the operator may do

    test::TempDir dir;
    DemuxSettings settings;
    settings.OutputFolder = dir.path().string();
    Demultiplexer demux;
    EventHub hub;
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
    int steps = 0;
    GaugeGroup group_at_completion = GaugeGroup::None;
    DemuxResult result;
    hub.SetHandler(EventId::ChangeProgressPosG4, [&] { ++steps; });
    hub.SetHandler(EventId::evRefreshGauge, [&] {
        group_at_completion = hub.HandOver().LastGaugeGroup.load();
        result = demux.Finish();
        std::lock_guard lock(mutex);
        done = true;
        done_cv.notify_all();
    });
    hub.Start([](const EventHub::Handler& run) { run(); });
    hub.HandOver().ResetGaugeGroup();

    ASSERT_TRUE(demux.Start(state, settings, hub, stop));
    EXPECT_FALSE(demux.Start(state, settings, hub, stop));  // one run at a time
    {
        std::unique_lock lock(mutex);
        done_cv.wait(lock, [&] { return done; });
    }
    hub.Shutdown();
    ASSERT_EQ(result.Ending, DemuxEnding::Complete) << result.Message;
    EXPECT_EQ(result.OutputFiles, (std::vector<std::string>{ProgramFile(dir, 1), ProgramFile(dir, 3)}));
    EXPECT_GE(steps, 1);
    EXPECT_EQ(group_at_completion, GaugeGroup::G4);
    EXPECT_EQ(demux.ProgressPosition(), demux.ProgressMaximum());
    EXPECT_FALSE(state.DemuxInput.IsOpen());
    EXPECT_TRUE(state.Lists.ProgramList.empty());
}

}  // namespace
}  // namespace tscard
