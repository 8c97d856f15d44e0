// tscard-cli prepare, end to end.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "analysis/bitrate.h"
#include "prepare/prepare_targets.h"
#include "prepare_streams.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::k40ms;

nlohmann::json Program(const std::filesystem::path& path) {
    const auto r = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", path.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["programs"].size(), 1u);
    return doc["programs"][0];
}

std::set<std::string> StreamIds(const nlohmann::json& program) {
    std::set<std::string> ids;
    for (const auto& s : program["streams"]) ids.insert(s["id"].get<std::string>());
    return ids;
}

class CliPrepare : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::copy_file(test::Fixture("single_vbr.ts"), dir / "clip.ts"); }
    std::string Clip() const { return (dir / "clip.ts").string(); }
    test::TempDir dir;
};

TEST_F(CliPrepare, KeepsTheSourceValuesUnderTheProposedName) {
    const auto r = test::RunCli({"prepare", Clip()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "Output", (dir / "clip_pre.ts").string())) << r.out;
    EXPECT_NE(r.out.find("Tail repair:      cut at byte "), std::string::npos) << r.out;
    const auto program = Program(dir / "clip_pre.ts");
    EXPECT_EQ(program["program_num"], 0x800);
    EXPECT_EQ(program["pmt_pid"], 0x400);
    EXPECT_EQ(program["pcr_pid"], 0x201);
    EXPECT_EQ(program["tags"]["service_provider"], "TestProvider");
    EXPECT_EQ(program["tags"]["service_name"], "TestChannel");
    EXPECT_EQ(StreamIds(program), (std::set<std::string>{"0x201", "0x202"}));
    std::vector<std::string> leftovers;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) leftovers.push_back(e.path().filename());
    std::sort(leftovers.begin(), leftovers.end());
    EXPECT_EQ(leftovers, (std::vector<std::string>{"clip.ts", "clip_pre.ts"}));
}

// The summary's figures are those of the file written: its size, its null
// packets after the tail was cut, its duration at the multiplex rate.
TEST_F(CliPrepare, TheSummaryTellsTheOutputAsItIs) {
    const auto r = test::RunCli({"prepare", Clip(), "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    const auto bytes = test::ReadFileBytes(dir / "clip_pre.ts");
    std::uint64_t nulls = 0;
    for (std::size_t at = 0; at + kPacketSize <= bytes.size(); at += kPacketSize) nulls += FoldPid(&bytes[at]) == kNullPid;
    const std::uint64_t packets = bytes.size() / kPacketSize;
    EXPECT_EQ(j["output_bytes"], bytes.size());
    EXPECT_EQ(j["output_packets"], packets);
    EXPECT_EQ(j["null_packets"], nulls);
    EXPECT_GT(j["null_packets_cut"].get<std::uint64_t>(), 0u) << "the cut tail took null packets with it";
    EXPECT_EQ(j["tail_cut_at"], bytes.size());
    EXPECT_DOUBLE_EQ(j["duration_seconds"].get<double>(), double(packets) * 1631.9921422600557 / 27e6);
    EXPECT_GT(j["largest_pcr_step_seconds"].get<double>(), 0.0);

    const auto text = test::RunCli({"prepare", Clip()});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    char share[16];
    std::snprintf(share, sizeof share, "%.1f", 100.0 * double(nulls) / double(packets));
    EXPECT_TRUE(test::HasField(text.out, "Null packets", std::to_string(nulls) + " inserted, " + share + " % of the " +
                                                             std::to_string(packets) + " packets"))
        << text.out;
}

TEST_F(CliPrepare, WritesTheGivenTargets) {
    const auto out = dir / "out.m2ts";
    const auto r = test::RunCli({"--codepage", "cp1251", "prepare", Clip(), out.string(), "--program-number", "2049",
                                 "--pmt-pid", "$500", "--video-pid", "0x1001", "--audio-pids", "0x1002", "--provider",
                                 "Провайдер", "--name", "Канал"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto program = Program(out);
    EXPECT_EQ(program["program_num"], 2049);
    EXPECT_EQ(program["pmt_pid"], 0x500);
    EXPECT_EQ(program["pcr_pid"], 0x1001) << "the PCR follows the video PID it travels on";
    EXPECT_EQ(StreamIds(program), (std::set<std::string>{"0x1001", "0x1002"}));
    // The names are written as code-page bytes.
    const auto bytes = test::ReadFileBytes(out);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("\xCF\xF0\xEE\xE2\xE0\xE9\xE4\xE5\xF0\x05\xCA\xE0\xED\xE0\xEB"), std::string::npos);
}

TEST_F(CliPrepare, RefusesBadTargetsBeforeReadingTheSource) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string suffix = "- invalid value.Mast be in range 1 to 0x1FFE";
    const Case cases[] = {
        {{"--pmt-pid", "0x1fff"}, "--pmt-pid: 0x1fff" + suffix},
        {{"--pmt-pid", "0"}, "--pmt-pid: 0" + suffix},
        {{"--program-number", "-5"}, "--program-number: -5" + suffix},
        {{"--pcr-pid", "0x"}, "--pcr-pid: 0x" + suffix},
        {{"--audio-pids", "0x1002,zz"}, "--audio-pids: zz" + suffix},
        {{"--audio-pids", "0x1002,0x1003"}, "--audio-pids names 2 PIDs; the source has 1"},
        {{"--pes-pids", "0x1003"}, "--pes-pids names 1 PIDs; the source has 0"},
        {{"--provider", std::string(21, 'P')}, "--provider: at most 20 characters"},
        {{"--name", "日本"}, "--name: \"日本\" cannot be written in cp1252"},
        {{"--pcr-pid", "0x100", "--video-pid", "0x200"},
         "the PCR travels on the video PID: --pcr-pid and --video-pid must be the same"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--codepage", "cp1252", "prepare", Clip()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.exit_code, 2) << c.message;
        EXPECT_EQ(r.err, "tscard-cli: " + c.message + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir / "clip_pre.ts")) << c.message;
    }
}

TEST_F(CliPrepare, ReadsTargetsAsDecimalOrHexadecimalNeverOctal) {
    const auto out = dir / "out.ts";
    const auto r = test::RunCli({"prepare", Clip(), out.string(), "--pmt-pid", "010", "--provider",
                                 std::string(20, 'P')});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Program(out)["pmt_pid"], 10);
}

TEST_F(CliPrepare, RefusesWhatCannotBePrepared) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {"several programs", {"prepare", test::Fixture("multi3.ts").string(), (dir / "o.ts").string()},
         "use demux first"},
        {"output is the source", {"prepare", Clip(), Clip()}, "the output would overwrite the source"},
        {"output folder missing", {"prepare", Clip(), (dir / "none" / "o.ts").string()}, "none/o.ts: cannot create"},
        {"source missing", {"prepare", (dir / "none.ts").string()}, "none.ts"},
    };
    const auto source = test::ReadFileBytes(dir / "clip.ts");
    for (const Case& c : cases) {
        const auto r = test::RunCli(c.args);
        EXPECT_EQ(r.exit_code, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.what;
    }
    EXPECT_EQ(test::ReadFileBytes(dir / "clip.ts"), source);
    EXPECT_FALSE(std::filesystem::exists(dir / "o.ts"));
}

TEST_F(CliPrepare, TargetsThatCollideAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        std::vector<std::string> targets;
        std::string message;  // empty: prepared
    };
    const Case cases[] = {
        {{"--audio-pids", "0x201"}, "the video PID and audio PID 1 are both 0x0201; every target PID must differ"},
        {{"--pmt-pid", "0x0011"}, "the PMT PID 0x0011 is the SDT's PID, which the output carries itself"},
        {{"--video-pid", "0x202"}, "the video PID and audio PID 1 are both 0x0202"},
        {{"--pmt-pid", "0x1001", "--video-pid", "0x1001"}, "the PMT PID and the video PID are both 0x1001"},
        {{"--video-pid", "0x202", "--audio-pids", "0x201"}, ""},  // swapped: fine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.targets));
        const auto out = dir / "out.ts";
        std::filesystem::remove(out);
        std::vector<std::string> args = {"prepare", Clip(), out.string()};
        args.insert(args.end(), c.targets.begin(), c.targets.end());
        const auto r = test::RunCli(args);
        if (c.message.empty()) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(StreamIds(Program(out)), (std::set<std::string>{"0x201", "0x202"}));
            EXPECT_EQ(Program(out)["pcr_pid"], 0x202) << "the PCR goes with the video";
            continue;
        }
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find(Clip() + ": " + c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(CliPrepare, ARadioProgramsPcrFollowsItsAudio) {
    // No video; the PMT names the audio as PCR PID, and the PCRs ride on it.
    test::Mux m;
    m.Pat().Pmt({{0x03, test::kProgramAudio, {}}}, test::kProgramAudio);
    for (int i = 1; i <= 30; ++i) {
        test::PesFields audio;
        audio.stream_id = 0xC0;
        audio.pid = test::kProgramAudio;
        audio.adaptation_bytes = 7;
        audio.pcr = true;
        audio.pcr_ticks = i * k40ms;
        audio.pts = i * 3600;
        m.Pes(audio);
        if (i % 5 == 0) m.Pat().Pmt({{0x03, test::kProgramAudio, {}}}, test::kProgramAudio);
    }
    test::WriteFileBytes(dir / "radio.ts", m.Bytes());
    const std::string radio = (dir / "radio.ts").string();
    const auto out = dir / "radio_pre.ts";
    struct Case {
        std::vector<std::string> targets;
        int exit_code;
        std::string expect;  // the output's PCR PID, or the refusal
    };
    const Case cases[] = {
        {{"--audio-pids", "0x300"}, 0, "768"},
        {{"--audio-pids", "0x300", "--pcr-pid", "0x300"}, 0, "768"},
        {{"--pcr-pid", "0x400"}, 1, "the PCR travels on audio PID 0x0102: the PCR PID must be 0x0102, not 0x0400"},
        {{"--audio-pids", "0x300", "--pcr-pid", "0x400"}, 1,
         "the PCR travels on audio PID 0x0102: the PCR PID must be 0x0300, not 0x0400"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.targets));
        std::filesystem::remove(out);
        std::vector<std::string> args = {"prepare", radio, out.string(), "--force"};
        args.insert(args.end(), c.targets.begin(), c.targets.end());
        const auto r = test::RunCli(args);
        ASSERT_EQ(r.exit_code, c.exit_code) << r.err;
        if (c.exit_code != 0) {
            EXPECT_NE(r.err.find(radio + ": " + c.expect), std::string::npos) << r.err;
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        const auto packets = test::SplitPackets(test::ReadFileBytes(out));
        std::size_t pcrs_on_audio = 0;
        for (const Packet& p : packets) {
            if (FoldPid(p.data()) == test::kProgramPmt && PayloadUnitStart(p.data())) {
                EXPECT_EQ(std::to_string(((p[13] & 0x1F) << 8) | p[14]), c.expect) << "the PMT's PCR_PID";
            }
            pcrs_on_audio += HasPcr(p.data()) && FoldPid(p.data()) == 0x300;
        }
        EXPECT_GT(pcrs_on_audio, 20u);
    }
}

TEST_F(CliPrepare, AFullDiskLeavesNoOutput) {
    // The file size limit stands in for a full disk: writes fail with EFBIG.
    const std::string cli = TSCARD_CLI_PATH;
    const auto r = test::RunProgram(
        "/bin/sh", {"-c", "ulimit -f 2000; trap '' XFSZ; exec \"$0\" prepare \"$1\" \"$2\"", cli, Clip(),
                    (dir / "out.ts").string()});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find((dir / "out.ts").string() + ": cannot write"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.ts"));
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) files += e.path().filename() != "clip.ts";
    EXPECT_EQ(files, 0u) << "no temporary file left";
}

TEST_F(CliPrepare, APcrStepAboveTheLimitIsReportedAfterTheOutputIsFinished) {
    test::Mux m;
    m.Pat().Pmt().Sdt();
    for (int i = 1; i <= 20; ++i) m.Pcr(i * k40ms).Video(2);
    m.Pcr(20 * k40ms + 27000000).Video(2).Pcr(21 * k40ms + 27000000);
    test::WriteFileBytes(dir / "gap.ts", m.Bytes());
    const auto r = test::RunCli({"prepare", (dir / "gap.ts").string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("Critical error source clip: Invalid value PCR; delta PCR(sek)->    1.000\n"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(test::HasField(r.out, "PCR intervals", "19")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Largest PCR step", "1.000 s")) << r.out;
    EXPECT_EQ(std::filesystem::file_size(dir / "gap_pre.ts"), 19u * 661 * kPacketSize);
}

// A stream at about 21 Mbit/s, long enough for the program measurement.
std::vector<std::uint8_t> FastStream() {
    test::Mux m;
    m.Pat().Pmt().Sdt();
    for (int i = 1; i <= 6800; ++i) m.Pcr(std::uint64_t(i) * 27000).Video(12);
    return m.Bytes();
}

TEST_F(CliPrepare, AProgramRateOutsideTheRangeNeedsForce) {
    test::WriteFileBytes(dir / "fast.ts", FastStream());
    StreamAnalysis scratch;
    StopFlag stop;
    const BitrateMeasurement m = MeasureProgramBitrate(scratch, (dir / "fast.ts").string(), stop);
    ASSERT_EQ(m.Code, kProgramRateHigh);

    const auto refused = test::RunCli({"prepare", (dir / "fast.ts").string()});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find(ProgramBitrateQuestion(kProgramRateHigh, m.MeasuredBitrate).English()), std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "fast_pre.ts"));

    const auto forced = test::RunCli({"prepare", (dir / "fast.ts").string(), "--force"});
    EXPECT_EQ(forced.exit_code, 0) << forced.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "fast_pre.ts"));
    EXPECT_TRUE(test::HasField(forced.out, "Rate fit", "the source fits the rate")) << forced.out;
}

// 20 packets a millisecond, where the card's rate carries 16.54: every
// interval puts the output 3.46 slots further behind, so that after the
// 1000 intervals of one second of source the output's clock, one slot per
// packet written (the tables it adds included), is ahead by the lag.
TEST_F(CliPrepare, ASourceTooFastForTheRateIsToldWithAWarningPast100Ms) {
    test::Mux m;
    m.Pat().Pmt().Sdt();
    for (int i = 1; i <= 1001; ++i) m.Pcr(std::uint64_t(i) * 27000).Video(19);
    test::WriteFileBytes(dir / "fast.ts", m.Bytes());

    const auto text = test::RunCli({"prepare", (dir / "fast.ts").string(), "--force"});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    const auto bytes = test::ReadFileBytes(dir / "fast_pre.ts");
    const double written = double(bytes.size() / kPacketSize);
    const double lag_ms = (written * TicksPerPacket - 27'000'000.0) / 27000.0;  // 209.5
    EXPECT_GT(lag_ms, 1000 * (20 - 27000 / TicksPerPacket) * TicksPerPacket / 27000);
    char lag[16];
    std::snprintf(lag, sizeof lag, "%.1f", lag_ms);
    EXPECT_TRUE(test::HasField(text.out, "Rate fit",
                               "1000 PCR intervals hold more packets than the rate carries, the first at 0.000 s; "
                               "the output clock falls up to " + std::string(lag) + " ms behind the source's"))
        << text.out;
    EXPECT_NE(text.out.find("\nWarning: the source is too fast for the card's rate: frames reach the decoder up to " +
                            std::string(lag) + " ms late\n"),
              std::string::npos)
        << text.out;

    const auto json = test::RunCli({"prepare", (dir / "fast.ts").string(), "--force", "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["overfull_intervals"], 1000);
    EXPECT_EQ(j["first_overfull_seconds"], 0.0);
    EXPECT_NEAR(j["largest_lag_ms"].get<double>(), lag_ms, 0.001);
    EXPECT_EQ(j["lag_warning"], true);
    EXPECT_EQ(test::ReadFileBytes(dir / "fast_pre.ts"), bytes);
}

}  // namespace
}  // namespace tscard
