// The analyzer on streams made by a real muxer agrees with ffprobe: the
// same programs, PIDs, stream types and service names, and the content tree
// shows them in its own format.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "analysis/analyzer.h"
#include "demux/parsed_programs.h"
#include "support/test_support.h"

namespace tscard {
namespace {

struct ProbedStream {
    unsigned pid;
    unsigned stream_type;
};
struct ProbedProgram {
    unsigned pmt_pid = 0;
    unsigned pcr_pid = 0;
    std::string provider;
    std::string name;
    std::vector<ProbedStream> streams;
};

unsigned Hex(const std::string& text) { return static_cast<unsigned>(std::stoul(text, nullptr, 16)); }

std::map<unsigned, ProbedProgram> FfprobePrograms(const std::string& path) {
    const auto r = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", path});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::map<unsigned, ProbedProgram> programs;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    for (const auto& p : doc["programs"]) {
        ProbedProgram& program = programs[p["program_num"].get<unsigned>()];
        program.pmt_pid = p["pmt_pid"].get<unsigned>();
        program.pcr_pid = p["pcr_pid"].get<unsigned>();
        program.provider = p["tags"].value("service_provider", "");
        program.name = p["tags"].value("service_name", "");
        for (const auto& s : p["streams"])
            program.streams.push_back({Hex(s["id"].get<std::string>()), Hex(s["codec_tag"].get<std::string>())});
    }
    return programs;
}

// ffprobe decodes the character table; the stream holds ffmpeg's bytes: a
// 0x15 selector (UTF-8) before a name that is not plain ASCII.
std::string AsWritten(const std::string& name) {
    for (unsigned char c : name)
        if (c >= 0x80) return "\x15" + name;
    return name;
}

std::string HexText(const char* format, unsigned value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

class AnalyzerFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(AnalyzerFixture, AgreesWithFfprobe) {
    const std::string name = GetParam();
    if (!test::HasFixture(name)) GTEST_SKIP() << name << " was not generated (encoder missing)";
    const std::string path = test::Fixture(name).string();
    const auto probed = FfprobePrograms(path);
    ASSERT_FALSE(probed.empty());

    StreamState state;
    StopFlag stop;
    NullEventSink none;
    Analyzer analyzer;
    const AnalysisResult result = analyzer.Run(AnalysisRequest{AnalysisMode::ModeParse, path}, state, none, stop);
    ASSERT_EQ(result.Ending, AnalysisEnding::Complete) << result.Message;
    SelectParsedPrograms(state);
    EXPECT_EQ(state.Packet192Mode, name.ends_with(".m2ts") ? 1 : 0);
    EXPECT_EQ(result.Tree.Text, name);
    ASSERT_EQ(state.Lists.ProgramList.size(), probed.size());
    ASSERT_EQ(result.Tree.Children.size(), probed.size());

    for (std::size_t n = 0; n < state.Lists.ProgramList.size(); ++n) {
        const ProgramRemap& p = state.Lists.ProgramList[n];
        SCOPED_TRACE("program " + std::to_string(p.SourceProgramNumber));
        ASSERT_EQ(probed.count(p.SourceProgramNumber), 1u);
        const ProbedProgram& expected = probed.at(p.SourceProgramNumber);
        EXPECT_EQ(p.SourcePmtPid, expected.pmt_pid);
        EXPECT_EQ(p.SourcePcrPid, expected.pcr_pid);
        EXPECT_EQ(p.SourceProvider, AsWritten(expected.provider));
        EXPECT_EQ(p.SourceName, AsWritten(expected.name));
        EXPECT_EQ(p.Selected, 1);

        const ContentNode& node = result.Tree.Children[n];
        EXPECT_EQ(node.Text, HexText("Programm number -0x%04X,content:", p.SourceProgramNumber));
        EXPECT_EQ(node.Data, std::optional<std::uint8_t>(n));
        ASSERT_EQ(node.Children.size(), expected.streams.size() + 1);
        EXPECT_EQ(node.Children[0].Text, HexText("Pid pcr -0x%04X", expected.pcr_pid));
        for (std::size_t s = 0; s < expected.streams.size(); ++s) {
            const ProbedStream& es = expected.streams[s];
            const std::string text = HexText("Pid stream -0x%04X", es.pid) + HexText(",type 0x%02X(", es.stream_type) +
                                     std::string(StreamClassText(static_cast<std::uint8_t>(es.stream_type)));
            EXPECT_EQ(node.Children[s + 1].Text, text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Muxed, AnalyzerFixture,
                         ::testing::Values("single_muxrate.ts", "single_vbr.ts", "multi3.ts", "h264.ts",
                                           "units192.m2ts", "cyrillic.ts", "long_4m.ts"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

}  // namespace
}  // namespace tscard
