// The analyzer on hand-built streams: where the packets start, the layout
// figures, when the scan ends, the SDT, and how every run ends.

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/analyzer.h"
#include "analysis_streams.h"
#include "demux/parsed_programs.h"
#include "support/recording_sink.h"

namespace tscard {
namespace {

using test::kAudioPid;
using test::kPmtPid;
using test::kVideoPid;
using test::StreamBuilder;

struct Outcome {
    AnalysisResult result;
    StreamState state;
    std::size_t progress = 0;
    std::size_t completions = 0;
};

class AnalyzerScan : public ::testing::Test {
protected:
    std::string Write(const std::vector<std::uint8_t>& bytes, const std::string& name = "stream.ts") {
        const auto path = dir_ / name;
        test::WriteFileBytes(path, bytes);
        return path.string();
    }
    std::unique_ptr<Outcome> Analyse(const std::string& path, AnalysisMode mode = AnalysisMode::ModePrepare) {
        auto out = std::make_unique<Outcome>();
        test::RecordingSink sink;
        Analyzer analyzer;
        out->result = analyzer.Run(AnalysisRequest{mode, path}, out->state, sink, stop_);
        out->progress = sink.Count(EventId::ChangeProgressPosG1);
        out->completions = sink.Count(EventId::evRefreshGauge);
        return out;
    }
    std::unique_ptr<Outcome> Analyse(const std::vector<std::uint8_t>& bytes,
                                     AnalysisMode mode = AnalysisMode::ModePrepare) {
        return Analyse(Write(bytes), mode);
    }

    test::TempDir dir_;
    StopFlag stop_;
};

TEST_F(AnalyzerScan, StartOffsetSkipsGarbageAndLeadingNulls) {
    const std::vector<std::uint8_t> stream = StreamBuilder().Pat().Sdt().Pmt().Filler(10).Bytes188();
    std::vector<std::uint8_t> garbage(1000, 0x00);
    garbage[10] = garbage[500] = kSyncByte;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::int64_t start;
        std::uint8_t packet192;
    } cases[] = {
        {"garbage first", test::Concat(garbage, stream), 1000, 0},
        {"500 null packets first", test::Concat(StreamBuilder().Nulls(500).Bytes188(), stream), 500 * 188, 0},
        {"192-byte units after nulls", StreamBuilder().Nulls(3).Pat().Sdt().Pmt().Filler(10).Bytes192(), 3 * 192, 1},
    };
    for (const Case& c : cases) {
        const auto out = Analyse(c.bytes);
        EXPECT_EQ(out->result.Ending, AnalysisEnding::Complete) << c.what << ": " << out->result.Message;
        EXPECT_EQ(out->state.Layout.StartOffset, c.start) << c.what;
        EXPECT_EQ(out->state.Packet192Mode, c.packet192) << c.what;
        EXPECT_EQ(out->state.Layout.RemainingBytes, c.bytes.size() - std::uint64_t(c.start)) << c.what;
    }
}

TEST_F(AnalyzerScan, LayoutFigures) {
    // 3 windows and 100 bytes: the PSI first, filler packets, then bytes
    // that make up the size.
    std::vector<std::uint8_t> bytes = StreamBuilder().Pat().Sdt().Pmt().Filler(1100).Bytes188();
    bytes.resize(65536 * 3 + 100, 0x00);
    auto out = Analyse(bytes);
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    EXPECT_EQ(out->state.Layout.WindowCount, 3u);
    EXPECT_EQ(out->state.Layout.TailBytes, 100u);
    EXPECT_EQ(out->state.Layout.WindowOffset, 0u) << "left at StartOffset";

    for (const bool units192 : {false, true}) {
        StreamBuilder b;
        b.Pat().Sdt().Pmt();
        b.Filler((64672 + 8084) / (units192 ? 192 : 188) - b.packets.size());
        std::vector<std::uint8_t> exact = units192 ? b.Bytes192() : b.Bytes188();
        exact.resize(64672 + 8084, 0x00);
        out = Analyse(exact);
        ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
        EXPECT_EQ(out->state.Layout.BigBlocks, 1u);
        EXPECT_EQ(out->state.Layout.MidBlocks, 0u);
        EXPECT_EQ(out->state.Layout.TailPackets, units192 ? 42 : 43);
    }
}

TEST_F(AnalyzerScan, CompletesOnTheLastPacketOfAShortFile) {
    // Under one window, the PMT is the file's last packet.
    const auto out = Analyse(StreamBuilder().Filler(20).Pat().Sdt().Pmt().Filler(5).Bytes188());
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete) << out->result.Message;
    EXPECT_EQ(out->state.Layout.WindowCount, 0u);
    EXPECT_EQ(out->state.Lists.ProgramList.size(), 1u);
    EXPECT_EQ(out->completions, 1u);
}

TEST_F(AnalyzerScan, ReadsThePacketThatStraddlesTwoWindows) {
    // Packet 348 lies across the first window's end (65,424 to 65,612);
    // it is the only PMT packet.
    for (const bool units192 : {false, true}) {
        StreamBuilder b;
        b.Pat().Sdt();
        const std::size_t straddling = units192 ? 341 : 348;  // 341 x 192 = 65,472
        // The PCR right behind it: the scan needs nothing more.
        b.Filler(straddling - b.packets.size()).Pmt().Pcr(0).Filler(400);
        const auto out = Analyse(units192 ? b.Bytes192() : b.Bytes188());
        EXPECT_EQ(out->result.Ending, AnalysisEnding::Complete) << units192;
        EXPECT_EQ(out->progress, 1u) << "one window scanned without completing";
    }
}

TEST_F(AnalyzerScan, ContentTreeFollowsThePmtOrder) {
    // The PMT of program 2 arrives first: it is ProgramList entry 0.
    const auto out = Analyse(StreamBuilder()
                                 .Pat({{1, 0x100}, {2, 0x200}})
                                 .Sdt({{1, {{"P1", "One"}}}, {2, {{"P2", "Two"}}}})
                                 .Pmt(2, 0x200, {{0x1B, 0x201, {}}, {0x06, 0x203, {}}, {0x90, 0x204, {}}}, 0x201)
                                 .Pmt(1)
                                 .Bytes188(),
                             AnalysisMode::ModePrepare);
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    const ContentNode& root = out->result.Tree;
    EXPECT_EQ(root.Text, "stream.ts");
    ASSERT_EQ(root.Children.size(), 2u);
    const ContentNode& first = root.Children[0];
    EXPECT_EQ(first.Text, "Programm number -0x0002,content:");
    EXPECT_EQ(first.Data, std::optional<std::uint8_t>(0));
    ASSERT_EQ(first.Children.size(), 4u);
    EXPECT_EQ(first.Children[0].Text, "Pid pcr -0x0201");
    EXPECT_EQ(first.Children[1].Text, "Pid stream -0x0201,type 0x1B(video HD)");
    EXPECT_EQ(first.Children[2].Text, "Pid stream -0x0203,type 0x06(PES packet)");
    EXPECT_EQ(first.Children[3].Text, "Pid stream -0x0204,type 0x90(define by user)");
    EXPECT_EQ(root.Children[1].Data, std::optional<std::uint8_t>(1));

    const ResultLists& lists = out->state.Lists;
    EXPECT_EQ(lists.PcrPids, (std::vector<std::uint16_t>{0x201, kVideoPid}));
    EXPECT_EQ(lists.KnownPids, (std::vector<std::uint16_t>{0x0000, 0x0011, 0x201, 0x200, 0x201, 0x203, 0x204,
                                                           kVideoPid, kPmtPid, kVideoPid, kAudioPid}));
    EXPECT_EQ(out->state.IsH264Stream, 1);
    const ProgramRemap& two = lists.ProgramList[0];
    EXPECT_EQ(two.SourceName, "Two");
    EXPECT_EQ(two.SourceVideoPid, 0x201u);
    EXPECT_EQ(two.VideoStreamType, 0x1Bu);
    EXPECT_EQ(two.SourcePesPids, (std::vector<std::uint16_t>{0x203}));
    // The panel edits the last program's values.
    const ProgramRemap& current = out->state.CurrentRemap;
    EXPECT_EQ(current.SourceProgramNumber, 1u);
    EXPECT_EQ(current.SourceVideoPid, kVideoPid);
    EXPECT_EQ(current.PcrInVideo, 1);
    EXPECT_EQ(current.SourceName, "One");
}

TEST_F(AnalyzerScan, CardModeFillsNoNamesOrPids) {
    const auto out = Analyse(StreamBuilder().Pat().Sdt().Pmt().Filler(5).Bytes188(), AnalysisMode::ModeCardWrite);
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    const ProgramRemap& p = out->state.Lists.ProgramList.at(0);
    EXPECT_EQ(p.SourcePmtPid, 0u);
    EXPECT_TRUE(p.SourceName.empty());
    EXPECT_EQ(p.AllEsPids, (std::vector<std::uint16_t>{kVideoPid, kAudioPid}));
    EXPECT_EQ(p.VideoStreamType, 0x0Fu);
}

TEST_F(AnalyzerScan, ServiceNamesWhateverTheSdtPosition) {
    // Bytes after the completing PMT are counted in filler packets.
    const std::size_t mib_packets = 1048576 / 188;  // 5,577
    struct Case {
        const char* what;
        StreamBuilder stream;
        const char* name;
    } cases[] = {
        // A muxer's usual order: the first SDT comes before the PAT, so it is
        // read at its next turn, after the PMTs.
        {"SDT before the PAT", StreamBuilder().Sdt().Pat().Pmt().Filler(10).Sdt().Pat().Pmt(), "Channel"},
        {"SDT between PAT and PMT", StreamBuilder().Pat().Sdt().Pmt().Filler(5), "Channel"},
        {"SDT after the PMT", StreamBuilder().Pat().Pmt().Filler(300).Sdt().Filler(10), "Channel"},
        {"SDT as the file's last packet", StreamBuilder().Pat().Pmt().Filler(300).Sdt(), "Channel"},
        {"SDT within 1 MiB", StreamBuilder().Pat().Pmt().Filler(mib_packets - 2).Sdt(), "Channel"},
        {"SDT beyond 1 MiB", StreamBuilder().Pat().Pmt().Filler(mib_packets + 1).Sdt(), "DemoChannel"},
        {"SDT after a PCR 2 s on", StreamBuilder().Pat().Pmt().Pcr(1000).Filler(5).Pcr(1000 + 54000000).Sdt(),
         "DemoChannel"},
        {"SDT before a PCR 2 s on: earlier PCRs of other PIDs do not count",
         StreamBuilder().Pat().Pmt().Pcr(1000).Pcr(1000 + 54000000, 0x555).Sdt(), "Channel"},
        {"a PCR going backwards restarts the count",
         StreamBuilder().Pat().Pmt().Pcr(60000000).Pcr(1000).Pcr(50001000).Sdt(), "Channel"},
        {"no SDT at all", StreamBuilder().Pat().Pmt().Filler(10), "DemoChannel"},
    };
    for (Case& c : cases) {
        const auto out = Analyse(c.stream.Bytes188());
        ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete) << c.what;
        EXPECT_EQ(out->state.Lists.ProgramList.at(0).SourceName, c.name) << c.what;
    }
}

TEST_F(AnalyzerScan, SdtWithBadCrcIsNotTakenAsRead) {
    std::vector<Packet> bad = test::SectionPackets(kSdtPid, test::SdtSection({{1, {{"Bad", "Bad"}}}}));
    bad[0][30] ^= 0xFF;
    const auto out = Analyse(StreamBuilder().Pat().Pmt().Add(bad).Filler(5).Sdt().Bytes188());
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    EXPECT_EQ(out->state.Lists.ProgramList.at(0).SourceName, "Channel");
    EXPECT_EQ(out->state.Lists.KnownPids.at(1), kSdtPid);
}

TEST_F(AnalyzerScan, ProgramMissingFromTheSdtGetsDefaultNames) {
    // A previous analysis must leave nothing behind either.
    StreamState state;
    state.CurrentRemap.TargetProvider = "Earlier";
    const std::string path = Write(StreamBuilder().Pat().Sdt({{9, {{"Other", "Other"}}}}).Pmt().Filler(5).Bytes188());
    NullEventSink sink;
    Analyzer analyzer;
    ASSERT_EQ(analyzer.Run(AnalysisRequest{AnalysisMode::ModePrepare, path}, state, sink, stop_).Ending,
              AnalysisEnding::Complete);
    const ProgramRemap& current = state.CurrentRemap;
    EXPECT_EQ(current.SourceProvider, "Demo stream");
    EXPECT_EQ(current.TargetProvider, "Demo stream");
    EXPECT_EQ(current.SourceName, "DemoChannel");
    EXPECT_EQ(current.TargetName, "DemoChannel");
    const ProgramRemap& entry = state.Lists.ProgramList.at(0);
    EXPECT_EQ(entry.SourceProvider, "DemoStream");
    EXPECT_EQ(entry.TargetProvider, "DemoStream");
    EXPECT_EQ(entry.TargetName, "DemoChannel");
}

TEST_F(AnalyzerScan, NamesAreLookedUpWithinTheListsBounds) {
    // Service 1 has no service descriptor: the name lists are shorter than
    // the service list.
    const auto out = Analyse(
        StreamBuilder().Pat({{1, 0x100}}).Sdt({{2, {{"P2", "Two"}}}, {1, {}}}).Pmt().Filler(5).Bytes188());
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    EXPECT_EQ(out->state.Lists.ProgramList.at(0).SourceProvider, "DemoStream");
    EXPECT_EQ(out->state.Lists.ProgramList.at(0).SourceName, "DemoChannel");
}

TEST_F(AnalyzerScan, ProgramWithoutStreamsKeepsZeroPidsAndNoNames) {
    const auto out = Analyse(StreamBuilder().Pat().Sdt().Pmt(1, kPmtPid, {}).Filler(5).Bytes188());
    ASSERT_EQ(out->result.Ending, AnalysisEnding::Complete);
    const ProgramRemap& p = out->state.Lists.ProgramList.at(0);
    EXPECT_EQ(p.SourcePmtPid, 0u);
    EXPECT_EQ(p.SourceProgramNumber, 0u);
    EXPECT_TRUE(p.SourceName.empty());
    EXPECT_EQ(p.VideoStreamType, 0xFFu);
}

TEST_F(AnalyzerScan, HandOverByMode) {
    const std::vector<std::uint8_t> two =
        StreamBuilder().Pat({{1, 0x100}, {2, 0x200}}).Sdt({{1, {{"P1", "One"}}}, {2, {{"P2", "Two"}}}})
            .Pmt(1).Pmt(2, 0x200, {{0x02, 0x201, {}}}, 0x201).Filler(400).Bytes188();
    const std::string path = Write(two);

    auto card = Analyse(path, AnalysisMode::ModeCardWrite);
    ASSERT_EQ(card->result.Ending, AnalysisEnding::Complete);
    EXPECT_TRUE(card->state.CardSource.IsOpen());
    EXPECT_EQ(card->state.CardSource.Size(), two.size());
    EXPECT_FALSE(card->state.DemuxInput.IsOpen());

    auto prepare = Analyse(path, AnalysisMode::ModePrepare);
    ASSERT_EQ(prepare->result.Ending, AnalysisEnding::Complete);
    EXPECT_FALSE(prepare->state.CardSource.IsOpen());
    EXPECT_FALSE(prepare->state.DemuxInput.IsOpen());
    EXPECT_EQ(prepare->state.PrepareGaugeMax, prepare->state.Layout.WindowCount);
    // The prepare worker starts from the first program's stored PMT.
    EXPECT_EQ(prepare->state.Analysis->PmtSlots[0].Data[0], kSyncByte);
    EXPECT_EQ(prepare->state.Analysis->PmtSlots[0].Data[5], 0x02);

    auto parse = Analyse(path, AnalysisMode::ModeParse);
    ASSERT_EQ(parse->result.Ending, AnalysisEnding::Complete);
    EXPECT_TRUE(parse->state.DemuxInput.IsOpen());
    EXPECT_FALSE(parse->result.OnlyOneProgram);
    EXPECT_EQ(SelectParsedPrograms(parse->state), (std::vector<std::string>{"One[0x0001]", "Two[0x0002]"}));
    for (const ProgramRemap& p : parse->state.Lists.ProgramList) {
        EXPECT_EQ(p.Selected, 1);
        EXPECT_EQ(FoldPid(p.StoredPmt.data()), p.SourcePmtPid);
        EXPECT_EQ((p.StoredPmt[8] << 8) | p.StoredPmt[9], int(p.SourceProgramNumber));
        EXPECT_EQ(FoldPid(p.StoredPat.data()), kPatPid);
        EXPECT_EQ(FoldPid(p.StoredSdt.data()), kSdtPid);
    }

    const auto single = Analyse(StreamBuilder().Pat().Sdt().Pmt().Filler(5).Bytes188(), AnalysisMode::ModeParse);
    EXPECT_TRUE(single->result.OnlyOneProgram);
}

TEST_F(AnalyzerScan, EveryEndingIsToldApartAndLeavesNothingOpen) {
    std::vector<std::uint8_t> nulls = StreamBuilder().Nulls(1000).Bytes188();
    nulls.resize(nulls.size() + 50, 0xFF);  // and a partial packet
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        AnalysisEnding ending;
        const char* message;
    } cases[] = {
        {"empty file", {}, AnalysisEnding::SyncFailed, "Unknow stream format (the file is empty)"},
        {"shorter than a packet", std::vector<std::uint8_t>(187, kSyncByte), AnalysisEnding::SyncFailed,
         "less than one packet"},
        {"garbage", std::vector<std::uint8_t>(100000, 0x11), AnalysisEnding::SyncFailed, "Unknow stream format"},
        {"nothing but null packets", nulls, AnalysisEnding::NoDescription, "no PAT"},
        {"no PAT", StreamBuilder().Pmt().Filler(2000).Bytes188(), AnalysisEnding::NoDescription, "no PAT"},
        {"a PMT missing", StreamBuilder().Pat({{1, 0x100}, {2, 0x200}}).Pmt().Filler(50).Bytes188(),
         AnalysisEnding::NoDescription, "no PMT before the end of the file for program 0x0002"},
    };
    for (Case& c : cases) {
        const auto out = Analyse(c.bytes, AnalysisMode::ModeCardWrite);
        EXPECT_EQ(out->result.Ending, c.ending) << c.what;
        EXPECT_NE(out->result.Message.English().find(c.message), std::string::npos) << c.what << ": " << out->result.Message;
        EXPECT_NE(out->result.Message.English().find("stream.ts"), std::string::npos) << c.what;
        EXPECT_EQ(out->completions, 1u) << c.what;
        EXPECT_FALSE(out->state.CardSource.IsOpen()) << c.what;
        EXPECT_EQ(out->state.Analysis, nullptr) << c.what;
        EXPECT_TRUE(out->state.Lists.ProgramList.empty()) << c.what;
        EXPECT_EQ(out->state.AnalysisScanning, 0) << c.what;
    }
    const auto all_null = Analyse(nulls);
    EXPECT_EQ(all_null->state.Layout.StartOffset, 1000 * 188) << "the null skip ends at the end of the file";
    EXPECT_EQ(all_null->state.Layout.RemainingBytes, 50u);

    const auto nowhere = Analyse((dir_ / "no-such-file.ts").string());
    EXPECT_EQ(nowhere->result.Ending, AnalysisEnding::Failed);
    EXPECT_NE(nowhere->result.Message.English().find("no-such-file.ts"), std::string::npos);
}

TEST_F(AnalyzerScan, AnEarlierDescriptionDoesNotSurviveAFailedRun) {
    StreamState state;
    NullEventSink sink;
    Analyzer analyzer;
    const std::string good = Write(StreamBuilder().Pat().Sdt().Pmt(1, kPmtPid, {{0x1B, kVideoPid, {}}}).Filler(5).Bytes188(),
                                   "good.ts");
    ASSERT_EQ(analyzer.Run(AnalysisRequest{AnalysisMode::ModeParse, good}, state, sink, stop_).Ending,
              AnalysisEnding::Complete);
    ASSERT_TRUE(state.DemuxInput.IsOpen());
    const std::string bad = Write(StreamBuilder().Filler(400).Bytes188(), "bad.ts");
    EXPECT_EQ(analyzer.Run(AnalysisRequest{AnalysisMode::ModeParse, bad}, state, sink, stop_).Ending,
              AnalysisEnding::NoDescription);
    EXPECT_FALSE(state.DemuxInput.IsOpen());
    EXPECT_EQ(state.IsH264Stream, 0);
    EXPECT_TRUE(state.Lists.ProgramList.empty());
    EXPECT_EQ(state.CurrentRemap.SourceProgramNumber, 0u);
    EXPECT_EQ(state.Path, bad);
}

TEST_F(AnalyzerScan, StopDuringTheScan) {
    const std::string path = Write(StreamBuilder().Filler(3000).Bytes188());
    for (const AnalysisMode mode : {AnalysisMode::ModeCardWrite, AnalysisMode::ModePrepare, AnalysisMode::ModeParse}) {
        StreamState state;
        // Stops the run at its first progress step.
        test::RecordingSink sink;
        sink.OnSignal = [this](EventId id, int) {
            if (id == EventId::ChangeProgressPosG1) stop_.Request();
        };
        Analyzer analyzer;
        const AnalysisResult result = analyzer.Run(AnalysisRequest{mode, path}, state, sink, stop_);
        EXPECT_EQ(result.Ending, AnalysisEnding::Stopped);
        EXPECT_FALSE(stop_.IsSet()) << "the run that saw the stop clears it";
        EXPECT_EQ(sink.Count(EventId::evRefreshGauge), 1);
        EXPECT_FALSE(state.CardSource.IsOpen());
        EXPECT_FALSE(state.DemuxInput.IsOpen());
        EXPECT_FALSE(state.AnalysisScanning);
        EXPECT_FALSE(analyzer.Scanning());
    }
    // A stop before the run starts ends it in the sync search.
    stop_.Request();
    EXPECT_EQ(Analyse(path)->result.Ending, AnalysisEnding::Stopped);
    EXPECT_FALSE(stop_.IsSet());
}

}  // namespace
}  // namespace tscard
