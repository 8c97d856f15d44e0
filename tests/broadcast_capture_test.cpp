// Streams shaped like broadcast captures, made from the muxer's fixture:
// a PMT that names no PCR PID (0x1FFF, or the PAT's PID) while the PCRs
// ride on the video PID; no PCR at all, or a single one; PAT and PMT sent
// once; audio as private stream 1. Each is analysed, prepared and written
// to a card end to end.

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "card_test_util.h"
#include "prepare/mux_rate.h"
#include "psi/crc32.h"
#include "psi/timestamps.h"
#include "support/test_support.h"

namespace tscard {
namespace {

// single_vbr.ts: PMT PID 0x400, video 0x201 carrying the PCR, audio 0x202.
constexpr std::uint16_t kPmt = 0x400;
constexpr std::uint16_t kVideo = 0x201;
constexpr std::uint16_t kAudio = 0x202;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using Packets = std::vector<Packet>;

bool StartsSection(const Packet& p, std::uint16_t pid) { return FoldPid(p.data()) == pid && PayloadUnitStart(p.data()); }

// The PMT's PCR_PID, its CRC computed again (the section starts at byte 5
// and fits in the packet, as the muxer writes it).
void SetPmtPcrPid(Packets& packets, std::uint16_t pcr_pid) {
    for (Packet& p : packets) {
        if (!StartsSection(p, kPmt)) continue;
        ASSERT_EQ(p[4], 0) << "pointer_field";
        const std::size_t length = ((p[6] & 0x0F) << 8) | p[7];
        p[13] = static_cast<std::uint8_t>(0xE0 | (pcr_pid >> 8));
        p[14] = static_cast<std::uint8_t>(pcr_pid & 0xFF);
        const std::uint32_t crc = Crc32Mpeg2(p.data() + 5, length - 1);
        for (int i = 0; i < 4; ++i) p[5 + length - 1 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
}

// Clears PCR_flag in every adaptation field after the first `keep` PCRs.
void StripPcrs(Packets& packets, std::size_t keep = 0) {
    for (Packet& p : packets) {
        if (!HasPcr(p.data())) continue;
        if (keep > 0) {
            --keep;
            continue;
        }
        p[5] &= ~0x10;
    }
}

// Only the first PAT and the first PMT packet stay.
void SendPsiOnce(Packets& packets) {
    bool pat = false, pmt = false;
    Packets kept;
    for (const Packet& p : packets) {
        const std::uint16_t pid = FoldPid(p.data());
        bool& seen = pid == kPatPid ? pat : pmt;
        if (pid == kPatPid || pid == kPmt) {
            if (seen) continue;
            seen = true;
        }
        kept.push_back(p);
    }
    packets = kept;
}

// The audio PES headers' stream_id `from` becomes `to`.
void SetAudioStreamId(Packets& packets, std::uint8_t from, std::uint8_t to) {
    for (Packet& p : packets) {
        if (!StartsSection(p, kAudio)) continue;
        const std::size_t o = AdaptationFieldControl(p.data()) == 3 ? 5 + p[4] : 4;
        ASSERT_EQ(p[o + 3], from);
        p[o + 3] = to;
    }
}

std::uint16_t PmtPcrPid(const std::filesystem::path& file, std::uint16_t pmt_pid) {
    for (const Packet& p : test::SplitPackets(test::ReadFileBytes(file)))
        if (StartsSection(p, pmt_pid)) return static_cast<std::uint16_t>(((p[13] & 0x1F) << 8) | p[14]);
    ADD_FAILURE() << "no PMT on " << pmt_pid;
    return 0;
}

class BroadcastCapture : public ::testing::Test {
protected:
    void SetUp() override { source_ = test::SplitPackets(test::ReadFileBytes(test::Fixture("single_vbr.ts"))); }

    std::filesystem::path Make(const std::string& name, const std::function<void(Packets&)>& change) {
        Packets packets = source_;
        change(packets);
        const auto path = dir_ / name;
        test::WriteFileBytes(path, test::JoinPackets(packets));
        return path;
    }

    nlohmann::json Analyse(const std::filesystem::path& file) {
        const auto r = test::RunCli({"analyze", file.string(), "--json"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return nlohmann::json::parse(r.out);
    }

    // Writes the file to a fresh card image and reads it back rebuilt.
    std::vector<std::uint8_t> ThroughACard(const std::filesystem::path& file) {
        const auto card = dir_ / "card.img";
        test::MakeImage(card, 16 << 20, 0x00);
        EXPECT_EQ(test::RunCli({"card", "format", card.string()}).exit_code, 0);
        auto r = test::RunCli({"card", "write", card.string(), file.string()});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        r = test::RunCli({"card", "read", card.string(), "0", (dir_ / "back.ts").string(), "--original"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return test::ReadFileBytes(dir_ / "back.ts");
    }

    test::TempDir dir_;
    Packets source_;
};

TEST_F(BroadcastCapture, APmtThatNamesNoPcrPidTakesTheStreamThatCarriesThePcrs) {
    for (const std::uint16_t named : {kNullPid, kPatPid}) {
        SCOPED_TRACE(named);
        const auto clip = Make("clip.ts", [&](Packets& p) { SetPmtPcrPid(p, named); });

        // The analysis gives the video PID as the program's PCR PID, linked.
        const auto j = Analyse(clip);
        EXPECT_EQ(j["PcrPids"], nlohmann::json::array({kVideo}));
        EXPECT_EQ(j["CurrentRemap"]["SourcePcrPid"], kVideo);
        EXPECT_EQ(j["CurrentRemap"]["PcrInVideo"], 1);
        EXPECT_EQ(j["Tree"]["Children"][0]["Children"][0]["Text"], "Pid pcr -0x0201");

        // The PCR moves with the video, and the output's PMT names it.
        const auto out = dir_ / "clip_pre.ts";
        const auto r = test::RunCli({"prepare", clip.string(), out.string(), "--video-pid", "0x1001"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(test::HasField(r.out, "PCR PID",
                                   "the source's PMT names PCR PID " + std::string(named ? "0x1FFF" : "0x0000") +
                                       "; its PCRs ride on the video PID (0x0201): the output's PMT names 0x1001"))
            << r.out;
        EXPECT_EQ(PmtPcrPid(out, kPmt), 0x1001);
        const auto probe = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", out.string()});
        ASSERT_EQ(probe.exit_code, 0) << probe.err;
        EXPECT_EQ(nlohmann::json::parse(probe.out)["programs"][0]["pcr_pid"], 0x1001);

        EXPECT_EQ(ThroughACard(out), test::ReadFileBytes(out));
        EXPECT_EQ(Analyse(dir_ / "back.ts")["PcrPids"], nlohmann::json::array({0x1001}));
    }
}

TEST_F(BroadcastCapture, WithoutAPcrIntervalThereIsNothingToPrepare) {
    struct Case {
        const char* what;
        std::function<void(Packets&)> change;
        std::uint16_t pcr_pid;  // as the analysis gives it
        const char* message;
    };
    const Case cases[] = {
        {"the PMT names no PCR PID and no packet carries one",
         [](Packets& p) {
             SetPmtPcrPid(p, kNullPid);
             StripPcrs(p);
         },
         kNullPid, "no PCR in the program: nothing to prepare"},
        {"the PCR PID never carries one", [](Packets& p) { StripPcrs(p); }, kVideo,
         "no PCR in the program: nothing to prepare"},
        {"a short capture with a single PCR", [](Packets& p) { StripPcrs(p, 1); }, kVideo,
         "a single PCR in the program (no PCR interval): nothing to prepare"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto clip = Make("clip.ts", c.change);
        EXPECT_EQ(Analyse(clip)["PcrPids"], nlohmann::json::array({c.pcr_pid}));

        test::WriteFileBytes(dir_ / "old.ts", {1, 2, 3});
        for (const auto& out : {dir_ / "old.ts", dir_ / "new.ts"}) {
            const auto r = test::RunCli({"prepare", clip.string(), out.string()});
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_TRUE(Contains(r.err, clip.string() + ": " + c.message)) << r.err;
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
        EXPECT_EQ(test::ReadFileBytes(dir_ / "old.ts"), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_FALSE(std::filesystem::exists(dir_ / "new.ts"));

        // The card takes the stream as it is.
        EXPECT_EQ(ThroughACard(clip), test::ReadFileBytes(clip));
    }
}

TEST_F(BroadcastCapture, PatAndPmtSentOnceAreRepeatedInThePreparedStream) {
    const auto clip = Make("clip.ts", SendPsiOnce);
    EXPECT_EQ(Analyse(clip)["PmtPids"], nlohmann::json::array({kPmt}));
    const auto out = dir_ / "clip_pre.ts";
    const auto r = test::RunCli({"prepare", clip.string(), out.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;

    // A PAT and a PMT within every 0.5 s of PCR time and one PCR interval.
    const Packets prepared = test::SplitPackets(test::ReadFileBytes(out));
    std::uint64_t longest_interval = 0, previous_pcr_slot = 0;
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        if (!HasPcr(prepared[i].data())) continue;
        longest_interval = std::max(longest_interval, SlotPcr(i) - SlotPcr(previous_pcr_slot));
        previous_pcr_slot = i;
    }
    for (const std::uint16_t pid : {kPatPid, kPmt}) {
        SCOPED_TRACE(pid);
        std::size_t previous = 0, count = 0;
        for (std::size_t i = 0; i < prepared.size(); ++i) {
            if (FoldPid(prepared[i].data()) != pid) continue;
            EXPECT_LT(SlotPcr(i) - SlotPcr(previous), kPsiRepeatTicks + longest_interval) << "packet " << i;
            previous = i;
            ++count;
        }
        EXPECT_GE(count, 6u) << "a 4 s stream";
    }
    const auto probe = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", out.string()});
    ASSERT_EQ(probe.exit_code, 0) << probe.err;
    EXPECT_EQ(nlohmann::json::parse(probe.out)["programs"][0]["program_num"], 0x800);
    EXPECT_EQ(ThroughACard(out), test::ReadFileBytes(out));
}

TEST_F(BroadcastCapture, PrivateStreamTimestampsMoveWithTheVideo) {
    // Audio as private stream 1 prepares to the same bytes as MPEG audio,
    // stream_id aside: its timestamps follow the output clock alike; in a
    // spliced source as well.
    const auto mpeg = Make("mpeg.ts", [](Packets&) {});
    const auto ac3 = Make("ac3.ts", [](Packets& p) { SetAudioStreamId(p, 0xC0, 0xBD); });
    for (const bool spliced : {false, true}) {
        SCOPED_TRACE(spliced ? "spliced" : "one clip");
        std::vector<Packets> prepared;
        for (const auto& clip : {mpeg, ac3}) {
            auto input = clip;
            if (spliced) {
                input = dir_ / "spliced.ts";
                ASSERT_EQ(test::RunCli({"splice", input.string(), clip.string(), clip.string()}).exit_code, 0);
            }
            const auto r = test::RunCli({"prepare", input.string(), (dir_ / "out.ts").string()});
            ASSERT_EQ(r.exit_code, 0) << r.err;
            prepared.push_back(test::SplitPackets(test::ReadFileBytes(dir_ / "out.ts")));
        }
        SetAudioStreamId(prepared[1], 0xBD, 0xC0);
        EXPECT_TRUE(prepared[0] == prepared[1]);
        if (!spliced) {
            EXPECT_EQ(ThroughACard(dir_ / "out.ts"), test::ReadFileBytes(dir_ / "out.ts"));
        }
    }
}

}  // namespace
}  // namespace tscard
