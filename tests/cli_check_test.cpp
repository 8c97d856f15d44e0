// tscard-cli check, end to end: exit status, reports, JSON, charts, stop.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "check/check_result.h"
#include "check_streams.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::CheckStream;

// Checks of these small streams take milliseconds, a sanitizer build included.
const test::RunOptions kQuick{std::chrono::seconds(20)};

// Runs tscard-cli with the arguments, interrupts it (SIGINT) after `after`
// and waits for its end, no longer than kQuick allows; stdout and stderr
// go to files, so nothing it says can fill a pipe and hold it.
test::CommandResult Interrupted(const std::vector<std::string>& args, std::chrono::milliseconds after) {
    test::CommandResult result;
    char out_name[] = "/tmp/tscard-out-XXXXXX";
    char err_name[] = "/tmp/tscard-err-XXXXXX";
    const int out_fd = ::mkstemp(out_name);
    const int err_fd = ::mkstemp(err_name);
    ::unlink(out_name);
    ::unlink(err_name);
    std::vector<const char*> argv{TSCARD_CLI_PATH};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        ::execv(TSCARD_CLI_PATH, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    std::this_thread::sleep_for(after);
    ::kill(pid, SIGINT);
    int status = 0;
    result.timed_out = !test::WaitForExit(pid, kQuick.Limit, status);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    for (auto [fd, text] : {std::pair{out_fd, &result.out}, std::pair{err_fd, &result.err}}) {
        char buffer[4096];
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text->append(buffer, std::size_t(n));
        ::close(fd);
    }
    return result;
}

class CliCheck : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const CheckStream& stream) const {
        const std::filesystem::path path = dir / name;
        test::WriteFileBytes(path, stream.Bytes());
        return path.string();
    }
    // A PAT gap of 0.6 s and a lost video packet.
    std::string Broken() const {
        CheckStream s;
        for (std::size_t i = 2100; i <= 2500; i += 100) s.Remove(i);
        s.ToNull(1006);
        return Write("broken.ts", s);
    }
    test::TempDir dir;
};

TEST_F(CliCheck, ExitStatusTellsCleanErrorsFailuresAndBadCommandLines) {
    const std::string clean = Write("clean.ts", CheckStream(2));
    const std::string broken = Broken();
    CheckStream no_pcr(2);
    for (std::size_t i = 3; i < no_pcr.packets.size(); i += 20) no_pcr.ToNull(i);
    const std::string unclocked = Write("no_pcr.ts", no_pcr);
    test::WriteFileBytes(dir / "text.ts", std::vector<std::uint8_t>(4000, 'x'));

    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string err;  // a part of what stderr says
    };
    const Case cases[] = {
        {{clean}, 0, ""},
        {{clean, "--rate", "1504000"}, 0, ""},
        {{broken}, 3, ""},
        {{broken, "--json"}, 3, ""},
        {{unclocked}, 1, "the PCR PID 257 of program 1 carries no PCR: the stream cannot be timed without --rate"},
        {{unclocked, "--rate", "1504000.5"}, 0, ""},
        {{(dir / "text.ts").string()}, 1, "not a transport stream"},
        {{(dir / "missing.ts").string()}, 1, "missing.ts"},
        {{clean, "--program", "7"}, 1, "program 7 is not in the stream's PAT"},
        {{clean, "--rate", "fast"}, 2, "--rate: fast is not a bit rate"},
        {{clean, "--rate", "-5"}, 2, "--rate"},
        {{clean, "--pid-timeout", "0"}, 2, "--pid-timeout"},
        {{clean, "--program", "0"}, 2, "--program"},
        {{clean, "--plot", (dir / "charts.jpg").string()}, 2, "must end in .png or .svg"},
        {{}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"check"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string shown;
        for (const std::string& a : args) shown += a + " ";
        SCOPED_TRACE(shown);
        const auto r = test::RunCli(args, kQuick);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.exit_code == 0 || c.exit_code == 3) {
            EXPECT_EQ(r.err, "");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "charts.jpg"));
}

TEST_F(CliCheck, TheReportLeadsWithTheHeadlineAndDetailsListTheOccurrences) {
    const auto r = test::RunCli({"check", Broken(), "--details"}, kQuick);
    ASSERT_EQ(r.exit_code, 3) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "priority 1: 2 errors (PAT_error 1, Continuity_count_error 1); priority 2: 0 errors");
    EXPECT_TRUE(test::HasField(r.out, "Reference PCR", "PID 0x0101 (257), program 0x0001 (1)")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Time base", "PCR of the reference PID")) << r.out;
    EXPECT_NE(r.out.find("1.3 PAT_error                           1      2.600 s, byte 488800, PID 0x0000 (0)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("2.600000 s  byte 488800  PID 0x0000 (0)  600.0 ms without a PAT section"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("1.007000 s  byte 189316  PID 0x0101 (257)  continuity_counter"), std::string::npos)
        << r.out;
}

TEST_F(CliCheck, JsonNamesEachIndicatorAsTheMeasurementDoes) {
    CheckStream s;
    s.VideoDts(3005, -10);
    for (std::size_t i = 2100; i <= 2500; i += 100) s.Remove(i);
    const auto r = test::RunCli({"check", Write("late.ts", s), "--json"}, kQuick);
    ASSERT_EQ(r.exit_code, 3) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const std::string name(IndicatorName(IndicatorAt(i)));
        ASSERT_TRUE(j.contains(name)) << name;
        EXPECT_TRUE(j[name]["count"].is_number_unsigned()) << name;
        EXPECT_TRUE(j[name]["occurrences"].is_array()) << name;
    }
    EXPECT_EQ(j["PAT_error"]["count"], 1);
    const auto& gap = j["PAT_error"]["occurrences"][0];
    EXPECT_DOUBLE_EQ(gap["seconds"].get<double>(), 2.6);
    EXPECT_EQ(gap["offset"], 2600 * 188);
    EXPECT_EQ(gap["pid"], 0);
    EXPECT_NEAR(gap["value"].get<double>(), 600.0, 1e-6);
    EXPECT_EQ(j["priority1_errors"], 1);
    EXPECT_EQ(j["priority2_errors"], 0);
    EXPECT_EQ(j["reference_pid"], 0x101);
    EXPECT_LT(j["pcr_accuracy_max_ns"].get<double>(), 1.0);
    ASSERT_EQ(j["streams"].size(), 2u);
    EXPECT_EQ(j["streams"][0]["pid"], 0x101);
    EXPECT_EQ(j["streams"][0]["kind"], "MPEG-2 video");
    EXPECT_EQ(j["streams"][0]["late_pes"], 1);
    EXPECT_EQ(j["streams"][0]["early_pes"], 0);
    EXPECT_EQ(j["streams"][1]["late_pes"], 0);
    EXPECT_NEAR(j["streams"][0]["min_ms"].get<double>(), -10.0, 1e-6);
    EXPECT_NEAR(j["bitrate_mbps"].get<double>(), 1.504, 1e-9);
    for (const char* series : {"bitrate_mbps", "decoding_delay_ms"}) EXPECT_FALSE(j["series"][series].empty());
    EXPECT_FALSE(j["series"]["pcr_interval_ms"]["points"].empty());
}

TEST_F(CliCheck, TheHelpNamesTheCardRateExactlyAndTheExitStatus) {
    const auto r = test::RunCli({"check", "--help"}, kQuick);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("24,882,472.745 bit/s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 checked, errors found"), std::string::npos) << r.out;
}

// A stop request (Ctrl+C) ends the check with what was counted, marked as
// partial, and exit status 1: here during a long search for sync in a
// file of zeros after a few packets.
TEST_F(CliCheck, InterruptEndsWithAPartialReport) {
    CheckStream s(1);
    s.packets.resize(10);
    const std::string path = Write("zeros.ts", s);
    std::filesystem::resize_file(path, 16ull << 30);
    const test::CommandResult r = Interrupted({"check", path, "--rate", "card"}, std::chrono::milliseconds(500));
    ASSERT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("check stopped; the report covers the first "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("priority 1: 3 errors (TS_sync_loss 1, Sync_byte_error 2)"), 0u) << r.out;
    EXPECT_NE(r.out.find("(partial: stopped at byte "), std::string::npos) << r.out;
}

#ifdef TSCARD_CHARTS
// Pixels of a PNG, as ffmpeg decodes it, drawn in this colour over the white
// ground: the colour itself or a blend of it with white, as antialiased
// lines are, at least half covered.
std::size_t PixelsOf(const std::filesystem::path& png, std::uint32_t rgb) {
    const double colour[3] = {double(rgb >> 16), double((rgb >> 8) & 0xFF), double(rgb & 0xFF)};
    const auto r = test::RunProgram(
        "ffmpeg", {"-v", "error", "-i", png.string(), "-f", "rawvideo", "-pix_fmt", "rgb24", "-"}, kQuick);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::size_t n = 0;
    for (std::size_t i = 0; i + 2 < r.out.size(); i += 3) {
        double cover[3];
        for (int c = 0; c < 3; ++c) cover[c] = (255.0 - std::uint8_t(r.out[i + c])) / (255.0 - colour[c]);
        const auto [low, high] = std::minmax({cover[0], cover[1], cover[2]});
        n += low >= 0.5 && high <= 1.0 && high - low <= 0.08;
    }
    return n;
}

// Line segments an SVG draws in a stroke colour.
std::size_t SegmentsOf(const std::string& svg, const std::string& colour) {
    std::size_t n = 0;
    const std::string stroke = "stroke=\"" + colour + "\"";
    for (std::size_t at = svg.find(stroke); at != std::string::npos; at = svg.find(stroke, at + 1)) {
        const std::size_t end = svg.find("</g>", at);
        for (std::size_t p = svg.find("<polyline", at); p < end; p = svg.find("<polyline", p + 1)) ++n;
    }
    return n;
}

TEST_F(CliCheck, PlotDrawsTheChartsIntoAPngOrAnSvg) {
    CheckStream s;
    s.Remove(1023).Remove(1043);  // a PCR gap of 60 ms
    const std::string path = Write("gap.ts", s);
    const auto png = test::RunCli({"check", path, "--plot", (dir / "charts.png").string()}, kQuick);
    EXPECT_EQ(png.exit_code, 3) << png.err;
    EXPECT_EQ(png.out.find("priority 1: 0 errors; priority 2: 1 error (PCR_repetition_error 1)"), 0u) << png.out;
    EXPECT_EQ(png.err, "") << "Qt's own notes belong in the diagnostic log";
    const auto bytes = test::ReadFileBytes(dir / "charts.png");
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_GT(PixelsOf(dir / "charts.png", 0x1F3B73), 1000u) << "the whole stream's bit rate";
    EXPECT_GT(PixelsOf(dir / "charts.png", 0x1F77B4), 1000u) << "the PCR intervals";
    EXPECT_GT(PixelsOf(dir / "charts.png", 0x2A9D8F), 1000u) << "the video's decoding delay";

    const auto svg = test::RunCli({"check", path, "--plot", (dir / "charts.SVG").string(), "--json"}, kQuick);
    EXPECT_EQ(svg.exit_code, 3) << svg.err;
    EXPECT_TRUE(nlohmann::json::accept(svg.out));
    const auto text = test::ReadFileBytes(dir / "charts.SVG");
    const std::string drawing(text.begin(), text.end());
    EXPECT_NE(drawing.find("<svg"), std::string::npos);
    EXPECT_GE(SegmentsOf(drawing, "#1f3b73"), 9u) << "a step per 1-second window";
    EXPECT_GE(SegmentsOf(drawing, "#1f77b4"), 400u) << "a point per PCR interval";
}

// Qt's libraries come with the module that only drawing and UDisks2 load:
// every other command starts without them.
TEST_F(CliCheck, OnlyTheCommandsThatNeedQtLoadIt) {
    const std::string path = Write("clean.ts", CheckStream(2));
    const auto libraries = [](const test::CommandResult& r) { return r.err.find("libQt6") != std::string::npos; };
    const auto analyze = test::RunProgram("/usr/bin/env", {"LD_DEBUG=files", TSCARD_CLI_PATH, "analyze", path});
    EXPECT_EQ(analyze.exit_code, 0);
    EXPECT_FALSE(libraries(analyze)) << "analyze loaded Qt";
    const auto plot = test::RunProgram(
        "/usr/bin/env", {"LD_DEBUG=files", TSCARD_CLI_PATH, "check", path, "--plot", (dir / "a.png").string()});
    EXPECT_TRUE(libraries(plot)) << "--plot draws with Qt";

    // A copy of the program without its module refuses --plot before the
    // check runs, naming what it looked for.
    if (std::filesystem::exists(std::string(TSCARD_MODULE_DIR) + "/tscard-cli-qt.so"))
        GTEST_SKIP() << "the package's module is installed: a lone copy finds it";
    const auto lone = dir / "lone-tscard-cli";
    std::filesystem::copy_file(TSCARD_CLI_PATH, lone);
    const auto r = test::RunProgram(lone.string(), {"check", path, "--plot", (dir / "b.png").string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("--plot: the Qt module is missing (looked for " + (dir / "tscard-cli-qt.so").string()),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "") << "refused before the check";
    EXPECT_FALSE(std::filesystem::exists(dir / "b.png"));
}

TEST_F(CliCheck, APlotThatCannotBeWrittenFailsAndLeavesNoFile) {
    const std::string path = Write("clean.ts", CheckStream(2));
    const auto r = test::RunCli({"check", path, "--plot", (dir / "no" / "charts.png").string()}, kQuick);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("cannot write the charts"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}
#endif

}  // namespace
}  // namespace tscard
