// Generated PAT, PMT and SDT packets, and the PID operations of preparing.

#include <gtest/gtest.h>

#include "psi/crc32.h"
#include "psi/psi_builder.h"
#include "psi/psi_reader.h"
#include "support/psi_sections.h"
#include "support/test_support.h"

namespace tscard {
namespace {

std::vector<std::uint8_t> Bytes(const Packet& p, std::size_t from, std::size_t to) {
    return std::vector<std::uint8_t>(p.begin() + from, p.begin() + to);
}

TEST(Crc32Mpeg2, MatchesTheStandardCheckValue) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc32Mpeg2(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0x0376E6E7u);
    const auto section = test::WithCrc({0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00});
    EXPECT_EQ(Crc32Mpeg2(section.data(), section.size()), 0u) << "a whole section checks to 0";
}

TEST(BuildPat, WritesTheWorkedExampleByteForByte) {
    ProgramRemap r;
    r.TargetProgramNumber = 0x0800;
    r.TargetPmtPid = 0x0400;
    const Packet p = BuildPat(r);
    EXPECT_EQ(Bytes(p, 0, 5), (std::vector<std::uint8_t>{0x47, 0x40, 0x00, 0x10, 0x00}));
    EXPECT_EQ(Bytes(p, 5, 17),
              (std::vector<std::uint8_t>{0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC3, 0x00, 0x00, 0x08, 0x00, 0xE4, 0x00}));
    EXPECT_EQ(Crc32Mpeg2(p.data() + 5, 16), 0u);
    for (std::size_t i = 21; i < kPacketSize; ++i) ASSERT_EQ(p[i], 0xFF) << i;
}

TEST(BuildSdt, LaysOutNamesAndLengths) {
    struct Case {
        std::string provider, name;
        std::uint32_t video_type;
        std::uint8_t service_type;
    };
    const Case cases[] = {
        {"", "", 0x02, 0x01},
        {"Provider", "Channel", 0x1B, 0x19},
        {"P", "Radio", 0x04, 0x02},
        {"P", "N", 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        ProgramRemap r;
        r.TargetProgramNumber = 0x1234;
        r.VideoStreamType = c.video_type;
        Packet p;
        ASSERT_TRUE(BuildSdt(r, c.provider, c.name, p));
        const std::size_t P = c.provider.size(), N = c.name.size();
        EXPECT_EQ(p[2], 0x11);
        EXPECT_EQ(p[5], 0x42);
        EXPECT_EQ(((p[6] & 0x0F) << 8) | p[7], int(22 + P + N));
        EXPECT_EQ(p[16], 0x12);
        EXPECT_EQ(p[17], 0x34);
        EXPECT_EQ(p[20], P + N + 5) << "descriptors_loop_length";
        EXPECT_EQ(p[22], P + N + 3) << "descriptor_length";
        EXPECT_EQ(p[23], c.service_type);
        EXPECT_EQ(p[24], P);
        EXPECT_EQ(std::string(p.begin() + 25, p.begin() + 25 + P), c.provider);
        EXPECT_EQ(p[25 + P], N);
        EXPECT_EQ(std::string(p.begin() + 26 + P, p.begin() + 26 + P + N), c.name);
        EXPECT_EQ(Crc32Mpeg2(p.data() + 5, 25 + P + N), 0u) << "CRC at bytes 26+P+N..29+P+N";
        EXPECT_EQ(p[30 + P + N], 0xFF);
    }
}

TEST(BuildSdt, RefusesNamesThatDoNotFitThePacket) {
    ProgramRemap r;
    Packet p;
    EXPECT_TRUE(BuildSdt(r, std::string(20, 'a'), std::string(138, 'b'), p));
    EXPECT_FALSE(BuildSdt(r, std::string(20, 'a'), std::string(139, 'b'), p));
}

// The stored first PMT packet of a source, as the reader keeps it.
Packet SourcePmt(const std::vector<test::PmtStream>& streams, std::uint16_t pid = 0x100) {
    const auto packets = test::SectionPackets(pid, test::PmtSection(1, 0x200, streams), 7);
    return packets.front();
}

TEST(BuildPmt, RewritesPidsByStreamTypeAndKeepsTheRest) {
    Packet pmt = SourcePmt({{0x02, 0x200, {0x02, 0x01, 0x55}},
                            {0x05, 0x201, {}},
                            {0x03, 0x202, {}},
                            {0x06, 0x203, {0x0A, 0x04, 'r', 'u', 's', 0x00}},
                            {0x81, 0x204, {}},
                            {0x0F, 0x205, {}}});
    ProgramRemap r;
    r.TargetPmtPid = 0x0401;
    r.TargetProgramNumber = 0x0800;
    r.TargetPcrPid = 0x0501;
    r.TargetVideoPid = 0x0501;
    r.TargetAudioPids = {0x0601, 0x0602};
    r.TargetPesPids = {0x0701};
    const Packet before = pmt;
    ASSERT_TRUE(BuildPmt(r, pmt));
    EXPECT_EQ(FoldPid(pmt.data()), 0x0401);
    EXPECT_EQ(pmt[1] & 0xE0, before[1] & 0xE0);
    EXPECT_EQ(pmt[3], before[3]) << "continuity counter kept";
    // Read the rewritten section back.
    StreamAnalysis a;
    ResultLists lists;
    ProcessPacket(a, lists, BuildPat(r).data());
    ASSERT_EQ(ProcessPacket(a, lists, pmt.data()), kPsiSectionRead);
    const ProgramEntry& e = lists.ParsedPrograms.at(0);
    EXPECT_EQ(e.ProgramNumber, 0x0800);
    EXPECT_EQ(e.PcrPid, 0x0501);
    const std::vector<std::pair<std::uint8_t, std::uint16_t>> expected = {
        {0x02, 0x0501}, {0x05, 0x0501}, {0x03, 0x0601}, {0x06, 0x0701}, {0x81, 0x0204}, {0x0F, 0x0602}};
    ASSERT_EQ(e.Streams.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(e.Streams[i].StreamType, expected[i].first);
        EXPECT_EQ(e.Streams[i].Pid, expected[i].second);
    }
    // Descriptors untouched.
    const std::string language = "rus";
    EXPECT_NE(std::search(pmt.begin(), pmt.end(), language.begin(), language.end()), pmt.end());
}

TEST(BuildPmt, RefusesSectionsItCannotRewrite) {
    ProgramRemap r;
    r.TargetAudioPids = {};
    Packet with_audio = SourcePmt({{0x03, 0x202, {}}});
    EXPECT_FALSE(BuildPmt(r, with_audio)) << "fewer target audio PIDs than audio entries";

    std::vector<std::uint8_t> big(180, 0x41);
    big[0] = 0x05;
    big[1] = 178;
    const auto packets = test::SectionPackets(0x100, test::PmtSection(1, 0x200, {{0x02, 0x200, big}}));
    Packet first = packets.front();
    const Packet untouched = first;
    EXPECT_FALSE(BuildPmt(r, first)) << "a section longer than its first packet";
    EXPECT_EQ(first, untouched);
}

TEST(SectionTableId, FindsTheTableAfterHeaderAndPointer) {
    Packet p = test::PayloadPacket(0x11, 0xFF, 0, true);
    p[4] = 0x00;
    p[5] = 0x42;
    EXPECT_EQ(SectionTableId(p.data()), 0x42);
    p[4] = 0x02;
    p[7] = 0x46;
    EXPECT_EQ(SectionTableId(p.data()), 0x46) << "pointer_field honoured";
    p[1] &= ~0x40;
    EXPECT_EQ(SectionTableId(p.data()), 0) << "no section start";
    Packet af = test::PayloadPacket(0x11, 0xFF, 0, true);
    af[3] = 0x30;
    af[4] = 3;
    af[8] = 0;
    af[9] = 0x42;
    EXPECT_EQ(SectionTableId(af.data()), 0x42);
    af[4] = 200;
    EXPECT_EQ(SectionTableId(af.data()), 0) << "adaptation field past the packet";
}

TEST(ClassifyPsiPid, ReplacesOnlyKnownPids) {
    const std::vector<std::uint16_t> known = {0x0000, 0x0011, 0x0200, 0x0100};
    const std::vector<std::uint16_t> pmts = {0x0100};
    EXPECT_EQ(ClassifyPsiPid(0x0000, 0, known, pmts), PsiKind::Pat);
    EXPECT_EQ(ClassifyPsiPid(0x0011, 0x42, known, pmts), PsiKind::Sdt);
    EXPECT_EQ(ClassifyPsiPid(0x0011, 0x00, known, pmts), PsiKind::None) << "no section start";
    EXPECT_EQ(ClassifyPsiPid(0x0100, 0x02, known, pmts), PsiKind::Pmt);
    EXPECT_EQ(ClassifyPsiPid(0x0200, 0, known, pmts), PsiKind::None);
    EXPECT_EQ(ClassifyPsiPid(0x0000, 0, {0x1FFF, 0x1FFF}, pmts), PsiKind::None) << "no PAT was read";
}

TEST(RemapPids, LastMatchWinsAndAbsentSourcesNeverMatch) {
    ProgramRemap r;
    r.SourcePcrPid = 0x100;
    r.TargetPcrPid = 0x500;
    r.SourceVideoPid = 0x100;
    r.TargetVideoPid = 0x600;
    r.SourceAudioPids = {0x101, 0x102};
    r.TargetAudioPids = {0x701, 0x702};
    r.SourcePesPids = {0x102};
    r.TargetPesPids = {0x801};
    struct Case {
        std::uint16_t in, out;
    };
    for (const Case& c : {Case{0x100, 0x600}, Case{0x101, 0x701}, Case{0x102, 0x801}, Case{0x103, 0x103},
                          Case{0x0000, 0x0000}, Case{0x1FFF, 0x1FFF}}) {
        Packet p = test::PayloadPacket(c.in);
        p[1] |= 0xA0;
        RemapPids(p.data(), r);
        EXPECT_EQ(FoldPid(p.data()), c.out) << std::hex << c.in;
        EXPECT_EQ(p[1] & 0xE0, 0xA0);
    }
    ProgramRemap no_video;  // SourceVideoPid 0, SourcePcrPid 0x1FFF
    no_video.SourcePcrPid = kNullPid;
    no_video.TargetPcrPid = 0x300;
    no_video.TargetVideoPid = 0x400;
    Packet pat = BuildPat(no_video);
    RemapPids(pat.data(), no_video);
    EXPECT_EQ(FoldPid(pat.data()), 0) << "the PAT stays on PID 0";
    Packet null = NullPacket();
    RemapPids(null.data(), no_video);
    EXPECT_EQ(null, NullPacket());
    Packet reserved = test::PayloadPacket(0x0005);
    ProgramRemap folded;
    folded.SourceVideoPid = 15;
    folded.TargetVideoPid = 0x222;
    RemapPids(reserved.data(), folded);
    EXPECT_EQ(FoldPid(reserved.data()), 0x222) << "PID 5 is matched as 15";
}

TEST(RemapDiffers, ComparesEveryTargetWithItsSource) {
    ProgramRemap same;
    same.SourceAudioPids = same.TargetAudioPids = {1, 2};
    same.SourcePesPids = same.TargetPesPids = {3};
    same.SourceName = same.TargetName = "x";
    EXPECT_FALSE(RemapDiffers(same));
    auto changed = [&](auto edit) {
        ProgramRemap r = same;
        edit(r);
        return RemapDiffers(r);
    };
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetPmtPid = 9; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetProgramNumber = 9; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetPcrPid = 9; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetVideoPid = 9; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetProvider = "p"; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetName = "y"; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetAudioPids[1] = 9; }));
    EXPECT_TRUE(changed([](ProgramRemap& r) { r.TargetPesPids[0] = 9; }));
}

}  // namespace
}  // namespace tscard
