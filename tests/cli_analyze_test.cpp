// tscard-cli analyze and bitrate, end to end.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "analysis_streams.h"
#include "support/test_support.h"

namespace tscard {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(CliAnalyze, PrintsTheTreeThenTheFigures) {
    const auto r = test::RunCli({"analyze", test::Fixture("multi3.ts").string()});
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
    const std::vector<std::string> figures = {
        "", "PacketSize: 188", "StartOffset: 0", "RemainingBytes: 2233816", "WindowCount: 34", "TailBytes: 5592",
        "BigBlocks: 34", "MidBlocks: 4", "TailPackets: 14",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 13, lines.begin() + 22), figures);
    EXPECT_NE(r.out.find("\nProgram: 2\nSourcePmtPid: 0x0102\nSourceProgramNumber: 0x0003\n"), std::string::npos);
    EXPECT_NE(r.out.find("SourceAudioPids: 0x0205\n"), std::string::npos);
    EXPECT_NE(r.out.find("SourceName: ProgThree\n"), std::string::npos);
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
    EXPECT_TRUE(j["OnlyOneProgram"].get<bool>());
    EXPECT_NE(r.err.find("In selected stream is only one programm.There is no need paresed it"), std::string::npos);
}

TEST(CliAnalyze, ParseModeListsTheSelectedPrograms) {
    const auto r = test::RunCli({"analyze", "--mode", "parse", test::Fixture("multi3.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("ParseLine: ProgOne[0x0001]\nParseLine: ProgTwo[0x0002]\nParseLine: ProgThree[0x0003]\n"),
              std::string::npos);
    EXPECT_TRUE(r.err.empty()) << r.err;
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
    EXPECT_EQ(nlohmann::json::parse(j.out)["Ending"], "NoDescription");
    EXPECT_EQ(test::RunCli({"analyze", "--mode", "split", (dir / "nopat.ts").string()}).exit_code, 2);
}

TEST(CliAnalyze, InterruptStopsTheScan) {
    // Packets, then 4 GiB of zeros: a long scan without a PAT.
    test::TempDir dir;
    const auto path = dir / "long.ts";
    test::WriteFileBytes(path, test::StreamBuilder().Filler(10).Bytes188());
    test::ResizeFile(path, 4ull << 30);

    int err_pipe[2];
    ASSERT_EQ(::pipe(err_pipe), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err_pipe[1], 2);
        ::close(err_pipe[0]);
        ::execl(TSCARD_CLI_PATH, TSCARD_CLI_PATH, "analyze", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(err_pipe[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, SIGINT);
    std::string err;
    char buffer[256];
    for (ssize_t n; (n = ::read(err_pipe[0], buffer, sizeof buffer)) > 0;) err.append(buffer, std::size_t(n));
    ::close(err_pipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of its stop path";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(err.find("analysis stopped"), std::string::npos) << err;
}

TEST(CliBitrate, PrintsCodeRateAndTexts) {
    const std::string path = test::Fixture("long_4m.ts").string();
    auto r = test::RunCli({"bitrate", path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0], "Code: 0");
    EXPECT_EQ(lines[1].rfind("MeasuredBitrate: 4.", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Rate188: 4.", 0), 0u);
    EXPECT_EQ(lines[3].rfind("Rate204: 4.", 0), 0u);

    r = test::RunCli({"bitrate", "--stream", path});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[1], "MeasuredBitrate: 4");
    EXPECT_EQ(lines[4], "CardRate: 4000");
}

TEST(CliBitrate, ShortFileIsNotMeasuredAndMissingFileFails) {
    auto r = test::RunCli({"bitrate", test::Fixture("single_vbr.ts").string()});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "Code: 0\nnot measured\n");
    r = test::RunCli({"bitrate", "--stream", "/nonexistent/clip.ts"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("File in use from other application"), std::string::npos);
}

}  // namespace
}  // namespace tscard
