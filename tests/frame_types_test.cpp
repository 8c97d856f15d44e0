// Group-of-pictures and picture headers within one packet.

#include <gtest/gtest.h>

#include "pes_packets.h"
#include "psi/frame_types.h"
#include "support/quiet_log.h"

namespace tscard {
namespace {

using test::Cat;
using test::GopHeader;
using test::PesPacket;
using test::PesFields;
using test::PictureHeader;
using test::SequenceHeader;

class FrameTypes : public test::QuietLogTest {};

Packet VideoStart(std::vector<std::uint8_t> es, std::uint8_t stream_id = 0xE0) {
    PesFields s;
    s.stream_id = stream_id;
    s.es = std::move(es);
    return PesPacket(s);
}

// Where the elementary stream starts in VideoStart packets: 4 + 9 + 5.
constexpr std::size_t kEs = 18;

// A packet whose start code begins at `at`, the PES header and stuffing
// before it.
Packet CodeAt(std::size_t at, std::vector<std::uint8_t> code) {
    PesFields s;
    s.extra_header_bytes = static_cast<std::uint8_t>(at - kEs);
    s.es = std::move(code);
    return PesPacket(s);
}

TEST_F(FrameTypes, OnlyTheFirstGopOfARunGetsBrokenLink) {
    GopMarking marking;
    Packet first = VideoStart(Cat({SequenceHeader(), GopHeader(), PictureHeader(1)}));
    const std::size_t flags = kEs + 8 + 7;
    ASSERT_TRUE(DetectGop(first.data(), marking));
    EXPECT_EQ(first[flags], 0x20);
    EXPECT_TRUE(marking.FirstGopMarked);

    Packet second = VideoStart(Cat({GopHeader(), PictureHeader(1)}));
    const Packet before = second;
    ASSERT_TRUE(DetectGop(second.data(), marking)) << "a later GOP is found";
    EXPECT_EQ(second, before) << "and left as it was";
}

TEST_F(FrameTypes, GopDetectionLooksOnlyIntoVideoPesStartsAfterTheirHeader) {
    struct Case {
        const char* what;
        Packet packet;
        bool found;
    };
    PesFields in_header;  // the start code bytes lie inside PES_header_data_length
    in_header.es = GopHeader();
    Packet hidden = PesPacket(in_header);
    hidden[12] = 13;  // the header now covers the GOP header
    PesFields not_start;
    not_start.es = GopHeader();
    Packet continuation = PesPacket(not_start);
    continuation[1] &= ~0x40;
    continuation[4] = 0xAA;  // no PES start where the payload begins
    const Case cases[] = {
        {"video stream_id 0xE0", VideoStart(GopHeader()), true},
        {"stream_id 0xFF counts as video", VideoStart(GopHeader(), 0xFF), true},
        {"audio", VideoStart(GopHeader(), 0xC0), false},
        {"private_stream_1", VideoStart(GopHeader(), 0xBD), false},
        {"inside the PES header", hidden, false},
        {"not a PES start", continuation, false},
        {"start code at byte 184", CodeAt(184, GopHeader()), true},
        {"start code at byte 185", CodeAt(185, GopHeader()), false},
    };
    for (const Case& c : cases) {
        GopMarking marking;
        Packet p = c.packet;
        EXPECT_EQ(DetectGop(p.data(), marking), c.found) << c.what;
        EXPECT_EQ(marking.FirstGopMarked, c.found) << c.what;
    }
}

TEST_F(FrameTypes, MarkBrokenLinkSetsDiscontinuityOnlyWithAnAdaptationField) {
    Packet plain = VideoStart(GopHeader());
    ASSERT_TRUE(MarkGopBrokenLink(plain.data()));
    EXPECT_EQ(plain[kEs + 7], 0x20);
    EXPECT_EQ(plain[5], 0x00) << "payload only: byte 5 belongs to the PES header";

    PesFields with_pcr;
    with_pcr.pcr = true;
    with_pcr.es = GopHeader(true);
    Packet pcr = PesPacket(with_pcr);
    ASSERT_TRUE(MarkGopBrokenLink(pcr.data()));
    EXPECT_EQ(pcr[5], 0x90) << "discontinuity_indicator beside PCR_flag";
    EXPECT_EQ(pcr[12 + 9 + 5 + 7], 0x60) << "closed_gop stays, broken_link set";

    Packet none = VideoStart(PictureHeader(2));
    const Packet before = none;
    EXPECT_FALSE(MarkGopBrokenLink(none.data()));
    EXPECT_EQ(none, before);
}

TEST_F(FrameTypes, FirstPictureTypeFindsTheFirstCodedPicture) {
    struct Case {
        const char* what;
        Packet packet;
        int type;
    };
    // An adaptation field of length 0 before the PES: the payload starts at 5.
    PesFields s;
    s.es = PictureHeader(3);
    Packet shifted = PesPacket(s);
    std::copy_backward(shifted.begin() + 4, shifted.end() - 1, shifted.end());
    shifted[3] = 0x30;
    shifted[4] = 0x00;
    const Case cases[] = {
        {"sequence, GOP, I", VideoStart(Cat({SequenceHeader(), GopHeader(), PictureHeader(1)})), kIPicture},
        {"P", VideoStart(PictureHeader(2)), kPPicture},
        {"B", VideoStart(PictureHeader(3)), kBPicture},
        {"type 0 is passed over", VideoStart(Cat({PictureHeader(0), PictureHeader(3)})), kBPicture},
        {"no picture", VideoStart(Cat({SequenceHeader(), GopHeader()})), kNoPicture},
        {"adaptation field of length 0 accepted", shifted, kBPicture},
        {"audio", VideoStart(PictureHeader(1), 0xC0), kNoPicture},
        {"private_stream_1", VideoStart(PictureHeader(1), 0xBD), kNoPicture},
        {"picture at byte 182", CodeAt(182, PictureHeader(1)), kIPicture},
        {"coding type byte past the packet", CodeAt(183, PictureHeader(1)), kNoPicture},
        {"picture at byte 185", CodeAt(185, PictureHeader(1)), kNoPicture},
    };
    for (const Case& c : cases) EXPECT_EQ(FirstPictureType(c.packet.data()), c.type) << c.what;
}

TEST_F(FrameTypes, DemoteTrailingBChangesOnlyAFirstBPicture) {
    Packet b = VideoStart(Cat({PictureHeader(3, 5), test::SliceStart()}));
    Packet expected = b;
    expected[kEs + 5] = static_cast<std::uint8_t>((expected[kEs + 5] & ~0x38) | (2 << 3));
    ASSERT_TRUE(DemoteTrailingB(b.data()));
    EXPECT_EQ(b, expected) << "coding type 3 becomes 2, nothing else changes";
    EXPECT_EQ(FirstPictureType(b.data()), kPPicture);

    struct Case {
        const char* what;
        Packet packet;
    };
    const Case unchanged[] = {
        {"P picture", VideoStart(Cat({PictureHeader(2), PictureHeader(3)}))},
        {"I picture", VideoStart(Cat({SequenceHeader(), GopHeader(), PictureHeader(1)}))},
        {"slice before any picture", VideoStart(Cat({test::SliceStart(), PictureHeader(3)}))},
        {"H.264 IDR slice", VideoStart(Cat({{0x00, 0x00, 0x01, 0x65}, PictureHeader(3)}))},
        {"H.264 non-IDR slice", VideoStart(Cat({{0x00, 0x00, 0x01, 0x41}, PictureHeader(3)}))},
        {"audio", VideoStart(PictureHeader(3), 0xC0)},
        {"coding type byte past the packet", CodeAt(183, PictureHeader(3))},
    };
    for (const Case& c : unchanged) {
        Packet p = c.packet;
        EXPECT_FALSE(DemoteTrailingB(p.data())) << c.what;
        EXPECT_EQ(p, c.packet) << c.what;
    }
}

}  // namespace
}  // namespace tscard
