// tscard-cli analyze and bitrate, end to end: the reports against what
// ffprobe finds in the same fixtures, and the bit-rate verdicts.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "analysis/bitrate.h"
#include "analysis_streams.h"
#include "support/test_support.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// What ffprobe reports for a fixture, program by program.
struct ProbedStream {
    int pid = 0;
    std::optional<int> stream_type;  // ffprobe gives a registration's fourcc instead when there is one
    std::string codec;
    std::string language;
};
struct ProbedProgram {
    int number = 0;
    int pmt_pid = 0;
    int pcr_pid = 0;
    std::string provider;
    std::string name;
    std::vector<ProbedStream> streams;
};

std::vector<ProbedProgram> Probe(const std::filesystem::path& path) {
    const auto r = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", path.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<ProbedProgram> programs;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    for (const auto& p : doc["programs"]) {
        ProbedProgram program;
        program.number = p["program_num"];
        program.pmt_pid = p["pmt_pid"];
        program.pcr_pid = p["pcr_pid"];
        program.provider = p["tags"].value("service_provider", "");
        program.name = p["tags"].value("service_name", "");
        for (const auto& s : p["streams"]) {
            ProbedStream stream;
            stream.pid = std::stoi(s["id"].get<std::string>(), nullptr, 16);
            const int tag = std::stoi(s["codec_tag"].get<std::string>(), nullptr, 16);
            if (tag < 0x100) stream.stream_type = tag;
            stream.codec = s["codec_name"];
            if (s.contains("tags")) stream.language = s["tags"].value("language", "");
            program.streams.push_back(stream);
        }
        programs.push_back(program);
    }
    return programs;
}

// The kind a report gives the codec ffprobe found, where the PMT says it.
std::string KindOf(const ProbedStream& s) {
    if (s.stream_type == 0x06) return "private data";  // ffprobe looked inside; the PMT tells nothing
    static const std::map<std::string, std::string> kinds = {
        {"mpeg2video", "MPEG-2 video"}, {"h264", "H.264 video"}, {"hevc", "HEVC video"}, {"mp2", "MPEG-1 audio"},
        {"aac", "AAC audio"},          {"ac3", "AC-3 audio"},   {"eac3", "E-AC-3 audio"},
    };
    const auto it = kinds.find(s.codec);
    return it == kinds.end() ? "?" + s.codec : it->second;
}

std::string HexDec(int value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%04X (%d)", value, value);
    return text;
}

// The lines of one program's block in a report.
std::string ProgramBlock(const std::string& report, int number) {
    const std::size_t at = report.find("\nProgram " + HexDec(number) + "\n");
    if (at == std::string::npos) return std::string();
    const std::size_t end = report.find("\n\n", at + 1);
    return report.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
}

// Every program, PID, service name and stream type ffprobe reports for the
// fixture, the report and its JSON summary report too.
TEST(CliAnalyze, ReportsWhatFfprobeReportsForTheSameFixture) {
    for (const char* fixture : {"single_muxrate.ts", "single_vbr.ts", "multi3.ts", "units192.m2ts", "h264.ts",
                                "dvb_audio.ts", "atsc_audio.ts", "long_4m.ts"}) {
        SCOPED_TRACE(fixture);
        if (!test::HasFixture(fixture)) continue;  // h264.ts needs libx264
        const auto probed = Probe(test::Fixture(fixture));
        ASSERT_FALSE(probed.empty());
        const auto r = test::RunCli({"analyze", test::Fixture(fixture).string()});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(test::HasField(r.out, "Programs", std::to_string(probed.size()))) << r.out;
        const auto j = nlohmann::json::parse(test::RunCli({"analyze", "--json", test::Fixture(fixture).string()}).out);
        ASSERT_EQ(j["programs"].size(), probed.size());
        std::size_t streams = 0;
        for (std::size_t n = 0; n < probed.size(); ++n) {
            const ProbedProgram& p = probed[n];
            const std::string block = ProgramBlock(r.out, p.number);
            ASSERT_FALSE(block.empty()) << p.number << "\n" << r.out;
            EXPECT_TRUE(test::HasField(block, "Provider", p.provider)) << block;
            EXPECT_TRUE(test::HasField(block, "Name", p.name)) << block;
            EXPECT_TRUE(test::HasField(block, "PMT PID", HexDec(p.pmt_pid))) << block;
            EXPECT_TRUE(test::HasField(block, "PCR PID", HexDec(p.pcr_pid))) << block;
            const auto& jp = j["programs"][n];
            EXPECT_EQ(jp["number"], p.number);
            EXPECT_EQ(jp["pmt_pid"], p.pmt_pid);
            EXPECT_EQ(jp["pcr_pid"], p.pcr_pid);
            EXPECT_EQ(jp["provider"], p.provider);
            EXPECT_EQ(jp["name"], p.name);
            ASSERT_EQ(jp["streams"].size(), p.streams.size());
            for (std::size_t i = 0; i < p.streams.size(); ++i) {
                const ProbedStream& s = p.streams[i];
                const auto& js = jp["streams"][i];
                EXPECT_EQ(js["pid"], s.pid);
                if (s.stream_type) {
                    EXPECT_EQ(js["stream_type"], *s.stream_type);
                }
                EXPECT_EQ(js["kind"], KindOf(s));
                EXPECT_EQ(js["language"], s.language);
                // One aligned row: PID, stream_type, kind, language.
                char type[8];
                std::snprintf(type, sizeof type, "0x%02X", js["stream_type"].get<int>());
                const std::regex row("(^|\n) +" + std::regex_replace(HexDec(s.pid), std::regex("[()]"), "\\$&") +
                                     " +" + type + " +" + KindOf(s) + (s.language.empty() ? "" : " +" + s.language) +
                                     "\n");
                EXPECT_TRUE(std::regex_search(block, row)) << block;
                ++streams;
            }
        }
        EXPECT_EQ(j["streams"].size(), streams);
    }
}

TEST(CliAnalyze, ReportsTheFileItsPacketsAndItsSizeOnTheCard) {
    const std::string path = test::Fixture("units192.m2ts").string();
    const auto size = std::filesystem::file_size(path);
    const auto r = test::RunCli({"analyze", path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "File", "units192.m2ts")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Size", "0.252 MiB (" + std::to_string(size) + " bytes)")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Packets", std::to_string(size / 192) +
                                                     " of 192 bytes (a 4-byte prefix before each packet), the first "
                                                     "at byte 0"))
        << r.out;
    EXPECT_TRUE(test::HasField(r.out, "On the card", "0.250 MiB (262144 bytes) in 8192-byte blocks")) << r.out;
    EXPECT_EQ(CardBytesOf(size), 262144);

    // Leading bytes that are no packets, then null packets before the stream.
    test::TempDir dir;
    const auto late = dir / "late.ts";
    const auto stream = test::StreamBuilder().Nulls(20).Pat().Pmt().Sdt().Pcr(1000).Filler(10, test::kVideoPid);
    test::WriteFileBytes(late, test::Concat(std::vector<std::uint8_t>(100, 0x00), stream.Bytes188()));
    const auto l = test::RunCli({"analyze", late.string()});
    ASSERT_EQ(l.exit_code, 0) << l.err;
    EXPECT_TRUE(test::HasField(l.out, "Packets",
                               std::to_string(stream.packets.size()) +
                                   " of 188 bytes, the first at byte 100; the stream starts at byte 3860, past null "
                                   "packets"))
        << l.out;
    const auto j = nlohmann::json::parse(test::RunCli({"analyze", "--json", late.string()}).out);
    EXPECT_EQ(j["first_packet_offset"], 100);
    EXPECT_EQ(j["start_offset"], 100 + 20 * 188);
    EXPECT_EQ(j["file_bytes"], 100 + stream.packets.size() * 188);
    EXPECT_EQ(j["card_bytes"], CardBytesOf(100 + stream.packets.size() * 188));
    EXPECT_EQ(j["sdt_read"], true);
}

TEST(CliAnalyze, NamesAProgramTheSdtDoesNotList) {
    test::TempDir dir;
    const auto path = dir / "nosdt.ts";
    test::WriteFileBytes(path, test::StreamBuilder().Pat().Pmt().Pcr(1000).Filler(10, test::kVideoPid).Bytes188());
    const auto r = test::RunCli({"analyze", path.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "SDT", "not found: no service names")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Name", "(the SDT does not list the program)")) << r.out;
    const auto j = nlohmann::json::parse(test::RunCli({"analyze", "--json", path.string()}).out);
    EXPECT_EQ(j["programs"][0]["in_sdt"], false);
    EXPECT_EQ(j["programs"][0]["name"], "");
}

TEST(CliAnalyze, TreeAsTheWindowShowsItAndDetailsWithTheFigures) {
    const auto r = test::RunCli({"analyze", "--tree", "--details", test::Fixture("multi3.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_GT(lines.size(), 20u);
    const std::vector<std::string> head = {
        "multi3.ts",
        "  Programm number -0x0001,content:",
        "    Pid pcr -0x0200",
        "    Pid stream -0x0200,type 0x02(video)",
        "    Pid stream -0x0201,type 0x03(audio)",
        "  Programm number -0x0002,content:",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6), head);
    EXPECT_EQ(lines[13], "");
    EXPECT_EQ(lines[14], "Details");
    const std::pair<const char*, const char*> figures[] = {
        {"PacketSize", "188"}, {"StartOffset", "0"}, {"RemainingBytes", "2233816"}, {"WindowCount", "34"},
        {"TailBytes", "5592"}, {"BigBlocks", "34"},  {"MidBlocks", "4"},            {"TailPackets", "14"},
    };
    for (const auto& [label, value] : figures) EXPECT_TRUE(test::HasField(r.out, label, value)) << label;
    EXPECT_NE(r.out.find("\nProgram: 2\nSourcePmtPid:        0x0102\nSourceProgramNumber: 0x0003\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(test::HasField(r.out, "SourceAudioPids", "0x0205")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "SourceName", "ProgThree")) << r.out;

    // The report alone holds none of it.
    const auto report = test::RunCli({"analyze", test::Fixture("multi3.ts").string()});
    EXPECT_EQ(report.out.find("Programm number"), std::string::npos) << report.out;
    EXPECT_EQ(report.out.find("BigBlocks"), std::string::npos) << report.out;
}

TEST(CliAnalyze, JsonIsOneValidObjectWithTheModelsNames) {
    // The Cyrillic name's bytes shown through CP1251 are still valid UTF-8.
    const auto r = test::RunCli(
        {"--codepage", "cp1251", "analyze", "--json", "--mode", "parse", test::Fixture("cyrillic.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["Ending"], "Complete");
    EXPECT_EQ(j["StartOffset"], 0);
    EXPECT_EQ(j["PacketSize"], 188);
    ASSERT_EQ(j["ProgramList"].size(), 1u);
    const auto& p = j["ProgramList"][0];
    EXPECT_EQ(p["SourcePmtPid"], 0x1000);
    EXPECT_EQ(p["SourceProgramNumber"], 7);
    EXPECT_EQ(p["Selected"], 1);
    EXPECT_EQ(p["SourceName"].get<std::string>().substr(0, 1), "\x15");
    const std::string pmt = p["StoredPmt"].get<std::string>();
    EXPECT_EQ(pmt.substr(0, 6), "475000");
    EXPECT_EQ(pmt.substr(8, 4), "0002");
    EXPECT_EQ(j["Tree"]["Children"][0]["Data"], 0);
    // The summary beside the model's fields.
    EXPECT_EQ(j["file"], "cyrillic.ts");
    EXPECT_EQ(j["packet_size"], 188);
    EXPECT_EQ(j["programs"][0]["number"], 7);
    EXPECT_EQ(j["programs"][0]["name"], p["SourceName"]);
    EXPECT_EQ(j["streams"][1]["program_number"], 7);
    EXPECT_EQ(j["streams"][1]["kind"], "MPEG-1 audio");
    EXPECT_TRUE(j["OnlyOneProgram"].get<bool>());
    EXPECT_NE(r.err.find("In selected stream is only one programm.There is no need paresed it"), std::string::npos);
}

TEST(CliAnalyze, ParseModeListsTheSelectedPrograms) {
    auto r = test::RunCli({"analyze", "--mode", "parse", test::Fixture("multi3.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("\nTo split:\n  ProgOne[0x0001]\n  ProgTwo[0x0002]\n  ProgThree[0x0003]\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
    r = test::RunCli({"analyze", "--mode", "parse", "--details", test::Fixture("multi3.ts").string()});
    EXPECT_NE(r.out.find("ParseLine: ProgOne[0x0001]\nParseLine: ProgTwo[0x0002]\nParseLine: ProgThree[0x0003]\n"),
              std::string::npos)
        << r.out;
}

TEST(CliAnalyze, FailuresSayWhichEndingAndExitWithOne) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "garbage.ts", std::vector<std::uint8_t>(70000, 0x11));
    test::WriteFileBytes(dir / "empty.ts", {});
    test::WriteFileBytes(dir / "nopat.ts", test::StreamBuilder().Filler(400).Bytes188());
    const std::pair<std::string, std::string> cases[] = {
        {"garbage.ts", "Unknow stream format"},
        {"empty.ts", "Unknow stream format (the file is empty)"},
        {"nopat.ts", "no PAT before the end of the file"},
        {"missing.ts", "File in use from other application (No such file or directory)"},
    };
    for (const auto& [name, message] : cases) {
        const auto r = test::RunCli({"analyze", (dir / name).string()});
        EXPECT_EQ(r.exit_code, 1) << name;
        EXPECT_NE(r.err.find(name + ": " + message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << name;
    }
    const auto j = test::RunCli({"analyze", "--json", (dir / "nopat.ts").string()});
    EXPECT_EQ(j.exit_code, 1);
    const auto no_description = nlohmann::json::parse(j.out);
    EXPECT_EQ(no_description["Ending"], "NoDescription");
    EXPECT_EQ(no_description["packets"], 400);
    EXPECT_EQ(no_description["programs"], nlohmann::json::array());
    EXPECT_EQ(test::RunCli({"analyze", "--mode", "split", (dir / "nopat.ts").string()}).exit_code, 2);
}

TEST(CliAnalyze, InterruptStopsTheScan) {
    // Packets, then 4 GiB of zeros: a long scan without a PAT.
    test::TempDir dir;
    const auto path = dir / "long.ts";
    test::WriteFileBytes(path, test::StreamBuilder().Filler(10).Bytes188());
    test::ResizeFile(path, 4ull << 30);

    // stderr into a file: nothing the program says can fill a pipe and hold it.
    char err_name[] = "/tmp/tscard-err-XXXXXX";
    const int err_fd = ::mkstemp(err_name);
    ASSERT_GE(err_fd, 0);
    ::unlink(err_name);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err_fd, 2);
        ::execl(TSCARD_CLI_PATH, TSCARD_CLI_PATH, "analyze", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Interrupt once the scan has the file open (its stop guard is in by
    // then); a fixed wait loses the race on a loaded machine.
    test::WaitUntilOpen(pid, path, test::kProgramLimit);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGINT);
    int status = 0;
    EXPECT_TRUE(test::WaitForExit(pid, test::kProgramLimit, status)) << "still running after the interrupt";
    std::string err;
    char buffer[256];
    ::lseek(err_fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(err_fd, buffer, sizeof buffer)) > 0;) err.append(buffer, std::size_t(n));
    ::close(err_fd);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of its stop path";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(err.find("analysis stopped"), std::string::npos) << err;
}

// Intervals of `count` packets (both PCR packets included) `delta` ticks
// apart, PCRs on the video PID.
test::StreamBuilder Intervals(std::uint64_t delta, std::size_t count, int intervals) {
    test::StreamBuilder b;
    std::uint64_t pcr = 1000;
    b.Pcr(pcr);
    for (int i = 0; i < intervals; ++i) {
        b.Filler(count - 2, test::kVideoPid);
        pcr += delta;
        b.Pcr(pcr);
    }
    return b;
}

// Ten packets for the sync search, a hole, and `measured` where the
// program measurement starts.
std::string AtProgramStart(const test::TempDir& dir, const std::string& name, const test::StreamBuilder& measured) {
    const auto path = dir / name;
    test::WriteFileBytes(path, test::StreamBuilder().Filler(10).Bytes188());
    test::WriteAt(path, kProgramSkipPackets * kPacketSize, measured.Bytes188());
    return path.string();
}

// The verdict in each range, and the reason when nothing was measured.
TEST(CliBitrate, SaysWhatItMeasuredAndWhatItMeans) {
    test::TempDir dir;
    constexpr std::uint64_t k40ms = 1080000;
    const std::string low = AtProgramStart(dir, "low.ts", Intervals(4 * k40ms, 107, 3));
    const std::string two = AtProgramStart(dir, "two.ts", Intervals(k40ms, 107, 2));
    test::WriteFileBytes(dir / "slow.ts", test::StreamBuilder().Filler(400).Add(Intervals(12 * 27000000, 8000, 1).packets).Bytes188());
    test::WriteFileBytes(dir / "nopcr.ts", test::StreamBuilder().Filler(2000).Bytes188());
    const std::string fixtures = test::Fixture("").string();
    struct Case {
        std::vector<std::string> args;
        std::string headline;  // a regular expression
        std::vector<std::pair<std::string, std::string>> fields;
        std::string verdict;
    };
    const Case cases[] = {
        {{fixtures + "long_4m.ts"},
         R"(Program bit rate 4\.08 Mbit/s: within the 1\.5 to 14\.5 Mbit/s that prepare accepts)",
         {{"188-byte packets", "4.07547 Mbit/s"}, {"204-byte packets", "4.42232 Mbit/s"}},
         "within"},
        {{fixtures + "high_20m.ts"},
         R"(Program bit rate 20\.[0-9]{2} Mbit/s: above the 14\.5 Mbit/s that prepare accepts without --force)",
         {},
         "above"},
        {{low}, R"(Program bit rate 1\.01 Mbit/s: below the 1\.5 Mbit/s that prepare accepts without --force)",
         {{"Measured", "1.0058000 Mbit/s, the largest of 3 PCR intervals from byte 16356000"}},
         "below"},
        {{fixtures + "single_vbr.ts"},
         R"(Program bit rate not measured: the stream ends before byte 16356000, where the measurement starts)",
         {},
         "not measured"},
        {{two},
         R"(Program bit rate not measured: only 2 of the 3 PCR intervals it takes before the stream ends \(0\.080 s of PCRs from byte 16356000\))",
         {},
         "not measured"},
        {{"--stream", fixtures + "long_4m.ts"},
         R"(Stream bit rate 4\.00 Mbit/s: within the 1\.5 to 100 Mbit/s the card measurement looks for)",
         {{"188-byte packets", "3.99985 Mbit/s"}, {"204-byte packets", "4.34026 Mbit/s"}, {"Card bit rate", "4000 kbit/s"}},
         "within"},
        {{"--stream", (dir / "slow.ts").string()},
         R"(Stream bit rate 1\.00 Mbit/s: below the 1\.5 Mbit/s the card measurement looks for; card write takes its card rate all the same)",
         {{"Card bit rate", "1002 kbit/s"}},
         "below"},
        {{"--stream", fixtures + "single_vbr.ts"},
         R"(Stream bit rate not measured: no 10-second PCR interval in a [0-9]\.[0-9] s stream \(from byte 65424\); card write would take the default 120000 kbit/s)",
         {},
         "not measured"},
        {{"--stream", (dir / "nopcr.ts").string()},
         R"(Stream bit rate not measured: no PCR in the 1652 packets from byte 65424 to the end of the stream)",
         {},
         "not measured"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        std::vector<std::string> args = {"bitrate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = test::RunCli(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(std::regex_match(lines[0], std::regex(c.headline))) << lines[0];
        if (c.verdict == "not measured") {
            EXPECT_EQ(lines.size(), 1u) << r.out;
        }
        for (const auto& [label, value] : c.fields) EXPECT_TRUE(test::HasField(r.out, label, value)) << r.out;

        args.push_back("--json");
        r = test::RunCli(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["verdict"], c.verdict);
        EXPECT_EQ(j["measured"], c.verdict != "not measured");
        EXPECT_EQ(j.contains("reason"), c.verdict == "not measured");
    }
}

// The JSON carries the result code and every figure the measurement gives.
TEST(CliBitrate, JsonHasTheCodeAndEveryFigure) {
    const std::string path = test::Fixture("high_20m.ts").string();
    StreamAnalysis scratch;
    StopFlag stop;
    const BitrateMeasurement m = MeasureProgramBitrate(scratch, path, stop);
    auto j = nlohmann::json::parse(test::RunCli({"bitrate", "--json", path}).out);
    EXPECT_EQ(j["code"], kProgramRateHigh);
    EXPECT_EQ(j["bitrate_mbps"], m.MeasuredBitrate);
    EXPECT_EQ(j["range_mbps"], nlohmann::json::array({1.5, 14.5}));
    EXPECT_EQ(j["intervals"], 3);
    EXPECT_FALSE(j.contains("rate188_text")) << "given for a rate in range only";

    const std::string in_range = test::Fixture("long_4m.ts").string();
    const BitrateMeasurement s = MeasureStreamBitrate(scratch, in_range, stop);
    j = nlohmann::json::parse(test::RunCli({"bitrate", "--stream", "--json", in_range}).out);
    EXPECT_EQ(j["code"], kStreamRateDone);
    EXPECT_EQ(j["measurement"], "stream");
    EXPECT_EQ(j["bitrate_mbps"], s.MeasuredBitrate);
    EXPECT_EQ(j["rate188_text"], s.Rate188Text);
    EXPECT_EQ(j["rate204_text"], s.Rate204Text);
    EXPECT_EQ(j["card_rate_kbps"], 4000);
    EXPECT_EQ(j["start_byte"], 65424);
}

TEST(CliBitrate, AFileThatCannotBeMeasuredFails) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "empty.ts", {});
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"bitrate", (dir / "empty.ts").string()},
          std::vector<std::string>{"bitrate", "--stream", (dir / "empty.ts").string()}}) {
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_NE(r.err.find("empty.ts: Unknow stream format (the file is empty)"), std::string::npos) << r.err;
    }
    const auto r = test::RunCli({"bitrate", "--stream", "/nonexistent/clip.ts"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("File in use from other application"), std::string::npos);
}

}  // namespace
}  // namespace tscard
