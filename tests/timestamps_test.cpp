// PCR and PES timestamp reading and writing within one packet.

#include <gtest/gtest.h>

#include "pes_packets.h"
#include "psi/timestamps.h"
#include "support/psi_sections.h"

namespace tscard {
namespace {

using test::PesPacket;
using test::PesFields;

TEST(Pcr, WriteThenReadGivesTheSameValue) {
    constexpr std::uint64_t kMaxPcr = (std::uint64_t(1) << 33) * 300 - 1;
    for (std::uint64_t ticks : {std::uint64_t(0), std::uint64_t(299), std::uint64_t(300), std::uint64_t(27000000),
                                std::uint64_t(0x1FFFFFFFFull) * 300 + 1, kMaxPcr}) {
        Packet p = test::PcrPacket(0x101, 12345);
        WritePcr(p.data(), PcrValue::FromTicks(ticks));
        PcrValue read;
        ASSERT_TRUE(ReadPcr(p.data(), read));
        EXPECT_EQ(read.Ticks(), ticks);
        EXPECT_EQ(PcrTicks(p.data()), ticks);
        EXPECT_EQ(p[10] & 0x7E, 0x7E) << "reserved bits written as 1";
        EXPECT_EQ(p[4], 183) << "the adaptation field header is not touched";
        EXPECT_EQ(p[5], 0x10);
    }
}

TEST(Pcr, ReadRefusesPacketsWithoutAUsablePcr) {
    struct Case {
        const char* what;
        void (*change)(Packet&);
        bool has_pcr;
    };
    const Case cases[] = {
        {"adaptation only (control 10)", [](Packet&) {}, true},
        {"adaptation field and payload (control 11)", [](Packet& p) { p[3] = (p[3] & 0xCF) | 0x30; }, true},
        {"transport_error_indicator", [](Packet& p) { p[1] |= 0x80; }, false},
        {"payload only (control 01)", [](Packet& p) { p[3] = (p[3] & 0xCF) | 0x10; }, false},
        {"reserved control 00", [](Packet& p) { p[3] &= 0xCF; }, false},
        {"adaptation field of length 0", [](Packet& p) { p[4] = 0; }, false},
        {"PCR_flag clear", [](Packet& p) { p[5] = 0x00; }, false},
    };
    for (const Case& c : cases) {
        Packet p = test::PcrPacket(0x101, 27000000);
        c.change(p);
        PcrValue pcr;
        EXPECT_EQ(ReadPcr(p.data(), pcr), c.has_pcr) << c.what;
        if (c.has_pcr) {
            EXPECT_EQ(pcr.Ticks(), 27000000u) << c.what;
        }
    }
}

TEST(PesTimestamps, ZeroDecodesAndEncodesToTheSameBytes) {
    const std::uint8_t field[5] = {0x21, 0x00, 0x01, 0x00, 0x01};
    EXPECT_EQ(DecodeTimestamp(field), 0u);
    Packet p;
    p.fill(0x00);
    TimestampPatch patch;
    patch.Offset = 100;
    patch.PtsPrefix = 0x2;
    patch.Pts = 0;
    patch.PtsOnly = 1;
    ASSERT_TRUE(WritePesTimestamps(p.data(), patch));
    EXPECT_EQ(std::vector<std::uint8_t>(p.begin() + 100, p.begin() + 105), std::vector<std::uint8_t>(field, field + 5));
    EXPECT_EQ(p[105], 0x00) << "PTS only: nothing after the PTS";
}

TEST(PesTimestamps, ReadsAudioAndVideoHeadersIntoTheirSlots) {
    PesTimestamps ts;
    PesFields audio;
    audio.stream_id = 0xC0;
    audio.pts = 0x1FFFFFFFFull;  // 33 bits
    ASSERT_TRUE(ReadPesTimestamps(PesPacket(audio).data(), ts));
    EXPECT_EQ(ts.Kind, kAudioKind);
    EXPECT_EQ(ts.PtsOnly, 1);
    EXPECT_TRUE(ts.HasPts);
    EXPECT_EQ(ts.AudioPts, 0x1FFFFFFFFull * 300);
    EXPECT_EQ(ts.PtsOffset, 4 + 9);

    PesFields video;
    video.pts_dts_flags = 3;
    video.pts = 183600;
    video.dts = 180000;
    video.pcr = true;
    ASSERT_TRUE(ReadPesTimestamps(PesPacket(video).data(), ts));
    EXPECT_EQ(ts.Kind, kVideoKind);
    EXPECT_EQ(ts.PtsOnly, 0);
    EXPECT_EQ(ts.VideoPts, 183600u * 300);
    EXPECT_EQ(ts.VideoDts, 180000u * 300);
    EXPECT_EQ(ts.PtsOffset, 5 + 7 + 9);
    EXPECT_EQ(ts.AudioPts, 0x1FFFFFFFFull * 300) << "the audio slot keeps its value";

    // A PTS-only video header keeps the video DTS slot.
    video.pts_dts_flags = 2;
    video.pts = 190000;
    ASSERT_TRUE(ReadPesTimestamps(PesPacket(video).data(), ts));
    EXPECT_EQ(ts.PtsOnly, 1);
    EXPECT_EQ(ts.VideoPts, 190000u * 300);
    EXPECT_EQ(ts.VideoDts, 180000u * 300);
}

TEST(PesTimestamps, ForbiddenFlags01CarryNoTimestamp) {
    PesTimestamps ts;
    PesFields video;
    video.pts = 4000;
    ASSERT_TRUE(ReadPesTimestamps(PesPacket(video).data(), ts));
    video.pts_dts_flags = 1;
    video.es = {0x12, 0x34, 0x56, 0x78, 0x9A};
    ASSERT_TRUE(ReadPesTimestamps(PesPacket(video).data(), ts));
    EXPECT_FALSE(ts.HasPts);
    EXPECT_EQ(ts.VideoPts, 4000u * 300) << "no slot changes";
}

TEST(PesTimestamps, RefusesPacketsThatCarryNoReadableTimestamp) {
    struct Case {
        const char* what;
        PesFields fields;
        void (*change)(Packet&);
    };
    auto none = [](Packet&) {};
    PesFields flags00;
    flags00.pts_dts_flags = 0;
    PesFields private2;
    private2.stream_id = 0xBF;
    PesFields padding;
    padding.stream_id = 0xBE;
    PesFields late;  // the adaptation field leaves 10 bytes: header fits, PTS does not
    late.adaptation_bytes = 173;
    PesFields late_dts;  // PTS fits, DTS does not
    late_dts.pts_dts_flags = 3;
    late_dts.adaptation_bytes = 165;
    const Case cases[] = {
        {"PTS_DTS_flags 00", flags00, none},
        {"private_stream_2", private2, none},
        {"padding stream", padding, none},
        {"transport_error_indicator", PesFields{}, [](Packet& p) { p[1] |= 0x80; }},
        {"no start code prefix", PesFields{}, [](Packet& p) { p[6] = 0x02; }},
        {"adaptation field of length 0",
         PesFields{},
         [](Packet& p) {
             p[3] = 0x30;
             p[4] = 0;
         }},
        {"adaptation only", PesFields{}, [](Packet& p) { p[3] = 0x20; }},
        {"PTS past the packet end", late, none},
        {"DTS past the packet end", late_dts, none},
    };
    for (const Case& c : cases) {
        Packet p = PesPacket(c.fields);
        c.change(p);
        PesTimestamps ts;
        ts.VideoPts = 77;
        EXPECT_FALSE(ReadPesTimestamps(p.data(), ts)) << c.what;
        EXPECT_EQ(ts.VideoPts, 77u) << c.what;
    }
}

TEST(PesTimestamps, EveryStreamWhoseHeaderHasTheOptionalFieldsIsRead) {
    struct Case {
        std::uint8_t stream_id;
        std::uint8_t kind;  // 0: refused
    };
    const Case cases[] = {
        {0xBD, kOtherPesKind}, {0xC0, kAudioKind},    {0xDF, kAudioKind},    {0xE0, kVideoKind},
        {0xEF, kVideoKind},    {0xF3, kOtherPesKind}, {0xF7, kOtherPesKind}, {0xF9, kOtherPesKind},
        {0xFE, kOtherPesKind}, {0xBC, 0},             {0xBE, 0},             {0xBF, 0},
        {0xF0, 0},             {0xF2, 0},             {0xF8, 0},             {0xFF, 0},
        {0xBB, 0},             {0x00, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.stream_id));
        EXPECT_EQ(HasOptionalPesHeader(c.stream_id), c.kind != 0);
        PesFields fields;
        fields.stream_id = c.stream_id;
        fields.pts = 123456;
        fields.dts = 120000;
        fields.pts_dts_flags = 3;
        PesTimestamps ts;
        ASSERT_EQ(ReadPesTimestamps(PesPacket(fields).data(), ts), c.kind != 0);
        if (c.kind == 0) continue;
        EXPECT_EQ(ts.Kind, c.kind);
        EXPECT_EQ(ts.Pts(), 123456u * 300);
        EXPECT_EQ(ts.Dts(), 120000u * 300);
    }
}

TEST(PesTimestamps, WrittenPtsAndDtsReadBack) {
    PesFields video;
    video.pts_dts_flags = 3;
    video.pts = 1;
    video.dts = 2;
    Packet p = PesPacket(video);
    const Packet before = p;
    PesTimestamps ts;
    ASSERT_TRUE(ReadPesTimestamps(p.data(), ts));
    TimestampPatch patch;
    patch.Offset = ts.PtsOffset;
    patch.PtsPrefix = 0x3;
    patch.Pts = 0x123456789ull & 0x1FFFFFFFFull;
    patch.Dts = 0x0FEDCBA98ull;
    patch.PtsOnly = 0;
    ASSERT_TRUE(WritePesTimestamps(p.data(), patch));
    ASSERT_TRUE(ReadPesTimestamps(p.data(), ts));
    EXPECT_EQ(ts.VideoPts, patch.Pts * 300);
    EXPECT_EQ(ts.VideoDts, patch.Dts * 300);
    for (std::size_t i = 0; i < kPacketSize; ++i) {
        if (i >= ts.PtsOffset && i < ts.PtsOffset + 10u) continue;
        ASSERT_EQ(p[i], before[i]) << "byte " << i;
    }

    patch.Offset = 180;
    EXPECT_FALSE(WritePesTimestamps(p.data(), patch)) << "ten bytes from 180 run past the packet";
}

}  // namespace
}  // namespace tscard
