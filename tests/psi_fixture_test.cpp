// The PSI readers against ffprobe's view of streams made by ffmpeg.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>

#include "psi/psi_reader.h"
#include "support/test_support.h"

namespace tscard {
namespace {

struct ProbedProgram {
    int pmt_pid = 0;
    int pcr_pid = 0;
    std::vector<std::pair<int, int>> streams;  // PID, stream type
};

std::map<int, ProbedProgram> Probe(const std::filesystem::path& file) {
    const auto r = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", file.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    std::map<int, ProbedProgram> programs;
    for (const auto& p : json.at("programs")) {
        ProbedProgram& out = programs[p.at("program_num").get<int>()];
        out.pmt_pid = p.at("pmt_pid").get<int>();
        out.pcr_pid = p.at("pcr_pid").get<int>();
        for (const auto& s : p.at("streams"))
            out.streams.emplace_back(std::stoi(s.at("id").get<std::string>(), nullptr, 16),
                                     std::stoi(s.at("codec_tag").get<std::string>(), nullptr, 16));
    }
    return programs;
}

std::map<int, ProbedProgram> Read(const std::filesystem::path& file, std::size_t unit) {
    const auto bytes = test::ReadFileBytes(file);
    StreamAnalysis analysis;
    ResultLists lists;
    const std::size_t prefix = unit - kPacketSize;
    for (std::size_t at = 0; at + unit <= bytes.size(); at += unit) {
        if (ProcessPacket(analysis, lists, bytes.data() + at + prefix) == kPsiComplete) break;
    }
    EXPECT_TRUE(DescriptionComplete(analysis, lists)) << file;
    std::map<int, ProbedProgram> programs;
    for (const ProgramEntry& e : lists.ParsedPrograms) {
        ProbedProgram& out = programs[e.ProgramNumber];
        out.pmt_pid = e.PmtPid;
        out.pcr_pid = e.PcrPid;
        for (const EsEntry& s : e.Streams) out.streams.emplace_back(s.Pid, s.StreamType);
    }
    return programs;
}

TEST(PsiReadersOnFfmpegStreams, AgreeWithFfprobe) {
    struct Case {
        const char* file;
        std::size_t unit;
    };
    for (const Case& c : {Case{"single_muxrate.ts", 188}, Case{"single_vbr.ts", 188}, Case{"multi3.ts", 188},
                          Case{"h264.ts", 188}, Case{"units192.m2ts", 192}, Case{"cyrillic.ts", 188}}) {
        if (!test::HasFixture(c.file)) continue;  // h264 needs libx264
        const auto probed = Probe(test::Fixture(c.file));
        const auto read = Read(test::Fixture(c.file), c.unit);
        ASSERT_EQ(read.size(), probed.size()) << c.file;
        for (const auto& [number, p] : probed) {
            ASSERT_TRUE(read.count(number)) << c.file << " program " << number;
            const ProbedProgram& r = read.at(number);
            EXPECT_EQ(r.pmt_pid, p.pmt_pid) << c.file;
            EXPECT_EQ(r.pcr_pid, p.pcr_pid) << c.file;
            EXPECT_EQ(r.streams, p.streams) << c.file;
        }
    }
}

TEST(PsiReadersOnFfmpegStreams, SingleProgramFixtureCarriesTheChosenValues) {
    const auto read = Read(test::Fixture("single_muxrate.ts"), 188);
    ASSERT_EQ(read.size(), 1u);
    const auto& [number, p] = *read.begin();
    EXPECT_EQ(number, 0x0800);
    EXPECT_EQ(p.pmt_pid, 0x0400);
    EXPECT_EQ(p.streams, (std::vector<std::pair<int, int>>{{0x0201, 0x02}, {0x0202, 0x03}}));
}

}  // namespace
}  // namespace tscard
