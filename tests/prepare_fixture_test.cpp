// Prepared streams made from a real muxer's output, checked against
// ffprobe: the target PIDs, the multiplex rate, the generated tables, the
// duration; 192-byte units and leading garbage prepare to the same bytes,
// and a spliced input prepares onto one clock.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "analysis/analyzer.h"
#include "prepare/prepare_targets.h"
#include "prepare_streams.h"
#include "psi/psi_builder.h"
#include "support/quiet_log.h"

namespace tscard {
namespace {

class PrepareFixtureTest : public test::QuietLogTest {
protected:

    // Analyses the file for preparing and makes the job.
    PrepareJob Job(const std::filesystem::path& source, const std::filesystem::path& output) {
        StreamState state;
        StopFlag stop;
        NullEventSink events;
        Analyzer analyzer;
        AnalysisRequest request;
        request.Mode = AnalysisMode::ModePrepare;
        request.Path = source.string();
        const AnalysisResult analysis = analyzer.Run(request, state, events, stop);
        EXPECT_EQ(analysis.Ending, AnalysisEnding::Complete) << analysis.Message;
        PrepareJob job;
        EXPECT_TRUE(MakePrepareJob(state, output.string(), job).ok());
        return job;
    }

    PrepareResult Run(const PrepareJob& job) {
        NullEventSink events;
        StopFlag stop;
        PrepareWorker worker;
        return worker.Run(job, events, stop);
    }

    test::TempDir dir;
};

struct Probe {
    int exit_code = -1;
    std::string errors;
    nlohmann::json doc;
};

Probe Ffprobe(const std::filesystem::path& path) {
    const auto r = test::RunProgram(
        "ffprobe", {"-v", "error", "-show_programs", "-show_streams", "-show_format", "-of", "json", path.string()});
    Probe p;
    p.exit_code = r.exit_code;
    p.errors = r.err;
    if (r.exit_code == 0) p.doc = nlohmann::json::parse(r.out);
    return p;
}

double Duration(const Probe& p) { return std::stod(p.doc["format"]["duration"].get<std::string>()); }

unsigned StreamId(const nlohmann::json& stream) {
    return static_cast<unsigned>(std::stoul(stream["id"].get<std::string>(), nullptr, 16));
}

// Every packet on the PID is the generated one, its counter advancing by
// one per use.
void ExpectGenerated(const std::vector<Packet>& out, std::uint16_t pid, Packet generated, const char* what) {
    std::size_t uses = 0;
    for (const Packet& p : out) {
        if (FoldPid(p.data()) != pid) continue;
        SetContinuityCounter(generated.data(), ContinuityCounter(generated.data()) + 1);
        ASSERT_EQ(p, generated) << what << " use " << uses;
        ++uses;
    }
    EXPECT_GT(uses, 0u) << what;
}

TEST_F(PrepareFixtureTest, PreparedFixturesReadBackWithTheTargetPidsAtTheMultiplexRate) {
    struct Case {
        const char* file;
        double gop_seconds;
    };
    const Case cases[] = {
        {"single_muxrate.ts", 12 / 25.0}, {"single_vbr.ts", 12 / 25.0}, {"units192.m2ts", 12 / 25.0},
        {"cyrillic.ts", 12 / 25.0},       {"h264.ts", 25 / 25.0},
    };
    for (const Case& c : cases) {
        if (!test::HasFixture(c.file)) continue;
        SCOPED_TRACE(c.file);
        const auto source = test::Fixture(c.file);
        const auto output = dir / (std::string("prepared_") + c.file);
        PrepareJob job = Job(source, output);
        ProgramRemap& r = job.Remap;
        r.TargetProgramNumber = 0x801;
        r.TargetPmtPid = 0x500;
        ASSERT_TRUE(r.PcrInVideo);
        SetTargetVideoPid(r, 0x1001);
        // Audio on 0x1002 (ffmpeg's 192-byte mode carries it as private PES).
        ASSERT_EQ(r.TargetAudioPids.size() + r.TargetPesPids.size(), 1u);
        for (auto* list : {&r.TargetAudioPids, &r.TargetPesPids})
            for (std::uint16_t& pid : *list) pid = 0x1002;
        const PrepareResult result = Run(job);
        ASSERT_EQ(result.Ending, PrepareEnding::Completed) << result.Message;
        EXPECT_EQ(result.EndPass.Run, job.Source.IsH264Stream == 0);

        const auto out = test::SplitPackets(test::ReadFileBytes(output));
        test::ExpectMultiplexRate(out);
        Packet pmt = job.Source.FirstPmtPacket;
        ASSERT_TRUE(BuildPmt(r, pmt));
        Packet sdt;
        ASSERT_TRUE(BuildSdt(r, r.TargetProvider, r.TargetName, sdt));
        ExpectGenerated(out, kPatPid, BuildPat(r), "PAT");
        ExpectGenerated(out, 0x500, pmt, "PMT");
        ExpectGenerated(out, kSdtPid, sdt, "SDT");

        const Probe before = Ffprobe(source);
        const Probe after = Ffprobe(output);
        ASSERT_EQ(after.exit_code, 0);
        EXPECT_EQ(after.errors, "");
        ASSERT_EQ(after.doc["programs"].size(), 1u);
        const auto& program = after.doc["programs"][0];
        EXPECT_EQ(program["program_num"], 0x801);
        EXPECT_EQ(program["pmt_pid"], 0x500);
        EXPECT_EQ(program["pcr_pid"], 0x1001);
        EXPECT_EQ(program["tags"]["service_name"], before.doc["programs"][0]["tags"]["service_name"]);
        EXPECT_EQ(program["tags"]["service_provider"], before.doc["programs"][0]["tags"]["service_provider"]);
        std::multiset<std::string> codecs_before, codecs_after;
        std::set<unsigned> ids;
        for (const auto& s : before.doc["streams"]) codecs_before.insert(s["codec_name"].get<std::string>());
        for (const auto& s : after.doc["streams"]) {
            codecs_after.insert(s["codec_name"].get<std::string>());
            ids.insert(StreamId(s));
        }
        EXPECT_EQ(codecs_after, codecs_before);
        EXPECT_EQ(ids, (std::set<unsigned>{0x1001, 0x1002}));
        // The tail after the last PCR and, for MPEG-2, the last group are cut.
        const double lost = Duration(before) - Duration(after);
        EXPECT_GE(lost, 0.0);
        EXPECT_LE(lost, c.gop_seconds + 0.1);
    }
}

TEST_F(PrepareFixtureTest, PacketSizeAndLeadingBytesDoNotChangeTheOutput) {
    const auto units = test::ReadFileBytes(test::Fixture("units192.m2ts"));
    std::vector<std::uint8_t> packets;
    for (std::size_t at = 4; at + kPacketSize <= units.size(); at += kUnit192Size)
        packets.insert(packets.end(), units.begin() + at, units.begin() + at + kPacketSize);
    std::vector<std::uint8_t> garbage(1000 + packets.size(), 0x11);
    std::copy(packets.begin(), packets.end(), garbage.begin() + 1000);
    test::WriteFileBytes(dir / "plain.ts", packets);
    test::WriteFileBytes(dir / "garbage.ts", garbage);

    std::vector<std::vector<std::uint8_t>> outputs;
    for (const char* name : {"plain.ts", "garbage.ts"}) {
        const PrepareResult r = Run(Job(dir / name, dir / (std::string("out_") + name)));
        ASSERT_EQ(r.Ending, PrepareEnding::Completed) << r.Message;
        outputs.push_back(test::ReadFileBytes(dir / (std::string("out_") + name)));
    }
    const PrepareResult r = Run(Job(test::Fixture("units192.m2ts"), dir / "out_units.ts"));
    ASSERT_EQ(r.Ending, PrepareEnding::Completed) << r.Message;
    outputs.push_back(test::ReadFileBytes(dir / "out_units.ts"));
    ASSERT_GT(outputs[0].size(), 100000u);
    EXPECT_EQ(outputs[1], outputs[0]) << "1000 bytes before the first packet";
    EXPECT_EQ(outputs[2], outputs[0]) << "192-byte units";
}

// PTS of each video PES start minus the PCR before it, in seconds.
std::vector<double> VideoLeads(const std::vector<Packet>& packets) {
    std::vector<double> leads;
    std::optional<std::uint64_t> pcr;
    for (const Packet& p : packets) {
        PcrValue value;
        if (ReadPcr(p.data(), value)) pcr = value.Ticks();
        PesTimestamps ts;
        if (pcr && ReadPesTimestamps(p.data(), ts) && ts.HasPts && ts.Kind == kVideoKind)
            leads.push_back((double(ts.VideoPts) - double(*pcr)) / 27e6);
    }
    return leads;
}

TEST_F(PrepareFixtureTest, ASplicedInputPreparesOntoOneClock) {
    const auto first = test::ReadFileBytes(test::Fixture("single_vbr.ts"));
    const auto second = test::ReadFileBytes(test::Fixture("single_muxrate.ts"));
    std::vector<std::uint8_t> spliced = first;
    spliced.insert(spliced.end(), SeparatorPacket().begin(), SeparatorPacket().end());
    spliced.insert(spliced.end(), second.begin(), second.end());
    test::WriteFileBytes(dir / "spliced.ts", spliced);

    const PrepareResult r = Run(Job(dir / "spliced.ts", dir / "out.ts"));
    ASSERT_EQ(r.Ending, PrepareEnding::Completed) << r.Message;
    EXPECT_EQ(r.Separators, 1u);
    const auto out = test::SplitPackets(test::ReadFileBytes(dir / "out.ts"));
    test::ExpectMultiplexRate(out);
    const Probe probe = Ffprobe(dir / "out.ts");
    ASSERT_EQ(probe.exit_code, 0);
    EXPECT_EQ(probe.errors, "");
    EXPECT_GT(Duration(probe), Duration(Ffprobe(test::Fixture("single_vbr.ts"))));

    // The second clip's pictures keep their lead over the (output) PCR.
    const auto source_leads = VideoLeads(test::SplitPackets(second));
    const auto [low, high] = std::minmax_element(source_leads.begin(), source_leads.end());
    const auto leads = VideoLeads(out);
    ASSERT_GT(leads.size(), 10u);
    for (std::size_t i = leads.size() - 10; i < leads.size(); ++i) {
        EXPECT_GE(leads[i], *low - 0.001) << i;
        EXPECT_LE(leads[i], *high + 0.001) << i;
    }
}

TEST_F(PrepareFixtureTest, OnlyACompleteSingleProgramAnalysisCanBePrepared) {
    StreamState empty;
    empty.Path = "clip.ts";
    PrepareSource source;
    const Status none = ReadPrepareSource(empty, source);
    EXPECT_FALSE(none.ok());
    EXPECT_NE(none.message().find("clip.ts"), std::string::npos);

    StreamState state;
    StopFlag stop;
    NullEventSink events;
    Analyzer analyzer;
    AnalysisRequest request;
    request.Mode = AnalysisMode::ModePrepare;
    request.Path = test::Fixture("multi3.ts").string();
    ASSERT_EQ(analyzer.Run(request, state, events, stop).Ending, AnalysisEnding::Complete);
    const Status multi = ReadPrepareSource(state, source);
    EXPECT_FALSE(multi.ok());
    EXPECT_NE(multi.message().find("use demux first"), std::string::npos) << multi.message();
}

}  // namespace
}  // namespace tscard
