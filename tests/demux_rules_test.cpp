// The demultiplexer on hand-made streams: which packet each input packet
// becomes in each file, the SDT counter, progress, stop, the stuffing
// switch during a run, and the endings.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "demux/demultiplexer.h"
#include "demux/demux_output.h"
#include "demux_streams.h"

namespace tscard {
namespace {

using test::DemuxProgram;
using test::RecordingSink;

// Program A (0x001F): PCR on a PID of its own (0x0300), ES 0x0201 and the
// shared 0x0250. Program B (0x1234): PCR on its video 0x0211, ES 0x0212
// and 0x0250. Program C (0x00AB): the same PCR PID as A, ES 0x0221.
// Program D (0x0004) is not selected: its PID 0x0231 belongs to nobody.
const std::vector<DemuxProgram> kPrograms = {
    {0x001F, 0x0100, 0x0300, {0x0201, 0x0250}},
    {0x1234, 0x0101, 0x0211, {0x0211, 0x0212, 0x0250}},
    {0x00AB, 0x0102, 0x0300, {0x0221}},
    {0x0004, 0x0103, 0x0231, {0x0231}, false},
};

// One packet per rule, each marked by its fill byte.
std::vector<Packet> RuleInput() {
    using test::PayloadPacket;
    return {
        PayloadPacket(0x0000, 0xA0),      // 0 PAT
        PayloadPacket(0x0011, 0xA1),      // 1 SDT
        PayloadPacket(0x0100, 0xA2),      // 2 PMT of A (the stored copy goes out)
        test::PcrPacket(0x0300, 27000),   // 3 PCR of A (and C)
        PayloadPacket(0x0201, 0xA4),      // 4 A's ES
        PayloadPacket(0x0211, 0xA5),      // 5 B's video carrying its PCR
        PayloadPacket(0x0250, 0xA6),      // 6 shared by A and B
        NullPacket(),                     // 7
        PayloadPacket(0x0777, 0xA8),      // 8 nobody's
        PayloadPacket(0x0101, 0xA9),      // 9 PMT of B
        PayloadPacket(0x0005, 0xAA),      // 10 reserved PID, read as 0x000F
        PayloadPacket(0x0221, 0xAB),      // 11 C's ES
        PayloadPacket(0x0010, 0xAC),      // 12 NIT
        PayloadPacket(0x0231, 0xAD),      // 13 the unselected program's ES
    };
}

Packet WithCounter(Packet p, unsigned counter) {
    SetContinuityCounter(p.data(), counter);
    return p;
}

struct Expected {
    std::string name;
    std::vector<Packet> packets;
};

// What each file holds: its PAT and PMT, then per input packet what the
// rules give (nothing where stuffing is removed).
std::vector<Expected> ExpectedFiles(bool remove_stuffing) {
    const auto in = RuleInput();
    std::vector<Expected> files;
    for (int o = 0; o < 3; ++o) {
        const ProgramRemap r = test::MakeDemuxRemap(kPrograms[static_cast<std::size_t>(o)]);
        Expected e{DemuxOutputFileName("", static_cast<std::uint16_t>(r.SourceProgramNumber)), {r.StoredPat, r.StoredPmt}};
        // Per input packet: the packet to write, or none for a null packet.
        std::vector<const Packet*> row(in.size(), nullptr);
        const Packet sdt = WithCounter(r.StoredSdt, 1);
        row[0] = &r.StoredPat;
        row[1] = &sdt;
        if (o == 0) {
            row[2] = &r.StoredPmt;
            row[3] = &in[3];
            row[4] = &in[4];
            row[6] = &in[6];
        } else if (o == 1) {
            row[5] = &in[5];
            row[6] = &in[6];
            row[9] = &r.StoredPmt;
        } else {
            row[11] = &in[11];
        }
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (row[i])
                e.packets.push_back(*row[i]);
            else if (!remove_stuffing)
                e.packets.push_back(NullPacket());
        }
        files.push_back(e);
    }
    return files;
}

struct Layout {
    const char* what;
    std::size_t unit;
    std::size_t lead;
    std::size_t trail;
};

void PrintTo(const Layout& layout, std::ostream* os) { *os << layout.what; }

class DemuxRules : public ::testing::TestWithParam<Layout> {};

TEST_P(DemuxRules, EachFileGetsItsProgramsPacketsAndNullsElsewhere) {
    const Layout layout = GetParam();
    for (bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "remove stuffing" : "keep stuffing");
        test::TempDir dir;
        StreamState state;
        test::MakeDemuxState(state, dir / "in.ts", RuleInput(), kPrograms, layout.unit, layout.lead, layout.trail);
        DemuxSettings settings;
        settings.OutputFolder = dir.path().string();
        settings.RemoveStuffing = remove;
        RecordingSink events;
        StopFlag stop;
        Demultiplexer demux;
        const DemuxResult r = demux.Run(state, settings, events, stop);
        ASSERT_EQ(r.Ending, DemuxEnding::Complete) << r.Message;
        EXPECT_EQ(r.PacketsRead, RuleInput().size());
        for (const Expected& e : ExpectedFiles(remove)) {
            SCOPED_TRACE(e.name);
            EXPECT_EQ(test::ReadFileBytes(dir / e.name), test::JoinPackets(e.packets));
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "prg_0x0004.ts"));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DemuxRules,
                         ::testing::Values(Layout{"plain", 188, 0, 0}, Layout{"garbage around", 188, 57, 100},
                                           Layout{"192-byte units", 192, 100, 150}),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(DemuxOutputs, FileNamesCarryFourUpperCaseHexDigits) {
    EXPECT_EQ(DemuxOutputFileName("/out", 0x001F), "/out/prg_0x001F.ts");
    EXPECT_EQ(DemuxOutputFileName("/out/", 0x1234), "/out/prg_0x1234.ts");
    EXPECT_EQ(DemuxOutputFileName("/out", 0xABCD), "/out/prg_0xABCD.ts");
}

// A run over `packets` with the first two programs selected; returns the
// files' packets in program order.
struct DemuxCase {
    test::TempDir dir;
    StreamState state;
    DemuxSettings settings;
    RecordingSink events;
    StopFlag stop;
    DemuxResult result;

    explicit DemuxCase(const std::vector<Packet>& packets, std::vector<DemuxProgram> programs = {kPrograms[0], kPrograms[1]}) {
        test::MakeDemuxState(state, dir / "in.ts", packets, programs);
        settings.OutputFolder = dir.path().string();
    }
    void Go() {
        Demultiplexer demux;
        result = demux.Run(state, settings, events, stop);
    }
    std::vector<Packet> Output(std::uint16_t program) const {
        return test::SplitPackets(test::ReadFileBytes(DemuxOutputFileName(dir.path().string(), program)));
    }
};

TEST(DemuxRun, SdtCountersRunFromOneAndWrap) {
    DemuxCase run(std::vector<Packet>(20, test::PayloadPacket(kSdtPid)));
    run.Go();
    ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
    const auto packets = run.Output(0x001F);
    ASSERT_EQ(packets.size(), 22u);
    std::vector<unsigned> counters;
    for (std::size_t i = 2; i < packets.size(); ++i) counters.push_back(ContinuityCounter(packets[i].data()));
    EXPECT_EQ(counters, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4}));
}

TEST(DemuxRun, ProgressEvery348PacketsFromTheFirstThenOneCompletion) {
    for (const auto& [packets, steps] : std::vector<std::pair<std::size_t, int>>{{0, 1}, {347, 1}, {348, 2}, {700, 3}}) {
        SCOPED_TRACE(packets);
        DemuxCase run(std::vector<Packet>(packets, NullPacket()));
        run.Go();
        ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
        EXPECT_EQ(run.events.Count(EventId::ChangeProgressPosG4), steps);
        EXPECT_EQ(run.events.Count(EventId::evRefreshGauge), 1);
        EXPECT_EQ(run.events.Seen().back(), EventId::evRefreshGauge);
        EXPECT_EQ(run.Output(0x1234).size(), packets + 2);
    }
}

TEST(DemuxRun, NoSelectedProgramCreatesNoFileButReadsToTheEnd) {
    auto programs = std::vector<DemuxProgram>{kPrograms[0], kPrograms[1]};
    for (auto& p : programs) p.selected = false;
    DemuxCase run(std::vector<Packet>(1000, NullPacket()), programs);
    run.Go();
    ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
    EXPECT_EQ(run.result.PacketsRead, 1000u);
    EXPECT_TRUE(run.result.OutputFiles.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run.dir.path()), {}), 1);  // the input
    EXPECT_EQ(run.events.Count(EventId::evRefreshGauge), 1);
}

TEST(DemuxRun, CompleteUsesTheDescriptionUpAndClearsTheStopFlag) {
    DemuxCase run(std::vector<Packet>(10, NullPacket()));
    run.state.Lists.KnownPids = {0, 0x11};
    run.Go();
    ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
    EXPECT_TRUE(run.state.Lists.ProgramList.empty());
    EXPECT_TRUE(run.state.Lists.KnownPids.empty());
    EXPECT_FALSE(run.state.DemuxInput.IsOpen());
    EXPECT_FALSE(run.stop.IsSet());
    // The stream must be analysed again before the next run.
    Demultiplexer again;
    const DemuxResult second = again.Run(run.state, run.settings, run.events, run.stop);
    EXPECT_EQ(second.Ending, DemuxEnding::Refused);
    EXPECT_NE(second.Message.English().find("no analysed stream"), std::string::npos) << second.Message;
}

TEST(DemuxRun, StopKeepsWhatWasWrittenAndLeavesTheFlagSet) {
    DemuxCase run(std::vector<Packet>(2000, test::PayloadPacket(0x0201)));
    // Raised at the second progress step (before packet 349 is read); the
    // run sees it at the top of the next packet.
    run.events.OnSignal = [&](EventId id, int n) {
        if (id == EventId::ChangeProgressPosG4 && n == 2) run.stop.Request();
    };
    run.Go();
    EXPECT_EQ(run.result.Ending, DemuxEnding::Stopped);
    EXPECT_EQ(run.result.PacketsRead, 349u);
    EXPECT_EQ(run.Output(0x001F).size(), 351u);
    EXPECT_EQ(run.Output(0x1234).size(), 351u);
    EXPECT_EQ(run.events.Count(EventId::evRefreshGauge), 1);
    EXPECT_TRUE(run.stop.IsSet());
    EXPECT_TRUE(run.state.Lists.ProgramList.empty());
    EXPECT_FALSE(run.state.DemuxInput.IsOpen());
}

TEST(DemuxRun, AStopRequestedBeforeTheRunBeginsIsNotLost) {
    // The operator's second click may come before the worker's first packet.
    DemuxCase run(std::vector<Packet>(2000, test::PayloadPacket(0x0201)));
    run.stop.Request();
    run.Go();
    EXPECT_EQ(run.result.Ending, DemuxEnding::Stopped);
    EXPECT_EQ(run.result.PacketsRead, 0u);
    EXPECT_EQ(run.Output(0x1234).size(), 2u);  // its PAT and PMT
    EXPECT_TRUE(run.stop.IsSet());
}

TEST(DemuxRun, StuffingSwitchedDuringARunAppliesFromTheNextPacket) {
    DemuxCase run(std::vector<Packet>(1000, NullPacket()));
    run.events.OnSignal = [&](EventId id, int n) {
        if (id == EventId::ChangeProgressPosG4 && n == 2) run.settings.RemoveStuffing = true;
        if (id == EventId::ChangeProgressPosG4 && n == 3) run.settings.RemoveStuffing = false;
    };
    run.Go();
    ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
    // 348 nulls kept, 348 dropped, the last 304 kept.
    EXPECT_EQ(run.Output(0x001F).size(), 2u + 348 + 304);
}

TEST(DemuxRun, SharedPcrPidGoesToTheFirstProgramOnly) {
    DemuxCase run({test::PcrPacket(0x0300, 0), test::PcrPacket(0x0300, 300)}, {kPrograms[0], kPrograms[2]});
    run.Go();
    ASSERT_EQ(run.result.Ending, DemuxEnding::Complete) << run.result.Message;
    EXPECT_EQ(run.Output(0x001F)[2], test::PcrPacket(0x0300, 0));
    EXPECT_EQ(run.Output(0x00AB)[2], NullPacket());
    EXPECT_EQ(run.Output(0x00AB)[3], NullPacket());
}

// Refused runs touch nothing: no file, no event, the description kept.
TEST(DemuxRun, RefusalsLeaveEverythingAsItWas) {
    struct Case {
        const char* what;
        std::vector<DemuxProgram> programs;
        std::function<void(DemuxCase&)> prepare;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"one program", {kPrograms[0]}, {}, "In selected stream is only one programm.There is no need paresed it"},
        {"one program in the PAT", {kPrograms[0], kPrograms[1]},
         [](DemuxCase& r) { r.state.Lists.ProgramNumbers = {0x001F}; },
         "In selected stream is only one programm.There is no need paresed it"},
        {"same program number", {kPrograms[0], {0x001F, 0x0105, 0x0260, {0x0260}}}, {},
         "two selected programs have the program number 0x001F"},
        {"no folder", {kPrograms[0], kPrograms[1]}, [](DemuxCase& r) { r.settings.OutputFolder.clear(); },
         "Select folder where streams will be saved"},
        {"input not open", {kPrograms[0], kPrograms[1]}, [](DemuxCase& r) { r.state.DemuxInput.CloseQuietly(); },
         "no analysed stream to split"},
        {"output is the input", {kPrograms[0], kPrograms[1]},
         [](DemuxCase& r) {
             std::filesystem::rename(r.dir / "in.ts", r.dir / "prg_0x1234.ts");
         },
         "is the stream being split"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemuxCase run(std::vector<Packet>(10, NullPacket()), c.programs);
        if (c.prepare) c.prepare(run);
        const bool was_open = run.state.DemuxInput.IsOpen();
        const auto before = std::distance(std::filesystem::directory_iterator(run.dir.path()), {});
        run.Go();
        EXPECT_EQ(run.result.Ending, DemuxEnding::Refused);
        EXPECT_NE(run.result.Message.English().find(c.message), std::string::npos) << run.result.Message;
        EXPECT_EQ(run.state.Lists.ProgramList.size(), c.programs.size());
        EXPECT_EQ(run.state.DemuxInput.IsOpen(), was_open);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run.dir.path()), {}), before);
        EXPECT_TRUE(run.events.Seen().empty());
    }
}

TEST(DemuxRun, AnOutputThatCannotBeCreatedFailsBeforeAnyFileIsEmptied) {
    DemuxCase run(std::vector<Packet>(10, NullPacket()), {kPrograms[0], kPrograms[1], kPrograms[2]});
    test::WriteFileBytes(run.dir / "prg_0x001F.ts", {1, 2, 3});
    std::filesystem::create_directory(run.dir / "prg_0x1234.ts");
    run.Go();
    EXPECT_EQ(run.result.Ending, DemuxEnding::Failed);
    EXPECT_NE(run.result.Message.English().find("prg_0x1234.ts"), std::string::npos) << run.result.Message;
    EXPECT_EQ(test::ReadFileBytes(run.dir / "prg_0x001F.ts"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(run.dir / "prg_0x00AB.ts"));
    EXPECT_EQ(run.events.Count(EventId::evRefreshGauge), 1);
    EXPECT_FALSE(run.state.DemuxInput.IsOpen());
}

TEST(DemuxRun, AWriteThatFailsEndsTheRunNamingTheFile) {
    DemuxCase run(std::vector<Packet>(20000, NullPacket()));
    std::filesystem::create_symlink("/dev/full", run.dir / "prg_0x1234.ts");
    run.Go();
    EXPECT_EQ(run.result.Ending, DemuxEnding::Failed);
    EXPECT_NE(run.result.Message.English().find("prg_0x1234.ts"), std::string::npos) << run.result.Message;
    EXPECT_NE(run.result.Message.English().find("cannot write"), std::string::npos) << run.result.Message;
    EXPECT_LT(run.result.PacketsRead, 20000u);  // it did not go on to the end
    EXPECT_EQ(run.events.Count(EventId::evRefreshGauge), 1);
}

}  // namespace
}  // namespace tscard
