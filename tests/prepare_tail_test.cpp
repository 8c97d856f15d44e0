// The tail of a prepared MPEG-2 stream: cut before its last group of
// pictures, broken_link on the group that is now last, its trailing B
// pictures made P; group-of-pictures packets are found by identity, also
// when they carry the PCR.

#include <gtest/gtest.h>

#include "prepare_streams.h"
#include "psi/frame_types.h"
#include "support/quiet_log.h"

namespace tscard {
namespace {

using test::Cat;
using test::GopHeader;
using test::k40ms;
using test::Mux;
using test::PesFields;
using test::PictureHeader;

class PrepareTailTest : public test::QuietLogTest {
protected:
    test::TempDir dir;
};

PesFields Picture(std::vector<std::uint8_t> es) {
    PesFields s;
    s.es = std::move(es);
    return s;
}

PesFields PcrPicture(std::uint64_t pcr, std::vector<std::uint8_t> es) {
    PesFields s = Picture(std::move(es));
    s.pcr = true;
    s.pcr_ticks = pcr;
    return s;
}

// Where the output's pictures lie.
std::vector<std::size_t> Pictures(const std::vector<Packet>& out) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (FirstPictureType(out[i].data()) != kNoPicture) at.push_back(i);
    return at;
}

bool BrokenLink(const Packet& p) {
    for (std::size_t i = 4; i + 8 <= kPacketSize; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && p[i + 3] == 0xB8) return (p[i + 7] & 0x20) != 0;
    return false;
}

// Three groups: the first starts in the packet that starts the run, the
// last in a packet that carries a PCR (restamped before it is written).
// The second group holds a picture of each of `types`, the first with the
// GOP header.
Mux ThreeGroups(std::vector<int> types = {kIPicture, kBPicture, kPPicture, kBPicture, kBPicture}) {
    Mux m;
    m.Pat().Pmt();
    m.Pes(PcrPicture(k40ms, Cat({test::SequenceHeader(), GopHeader(), PictureHeader(1)}))).Pes(Picture(PictureHeader(2)));
    m.Pcr(2 * k40ms);
    m.Pes(Picture(Cat({GopHeader(), PictureHeader(types[0])})));
    for (std::size_t i = 1; i < types.size(); ++i) m.Pes(Picture(PictureHeader(types[i])));
    m.Pes(PcrPicture(3 * k40ms, Cat({GopHeader(), PictureHeader(1)}))).Pes(Picture(PictureHeader(3)));
    m.Pcr(4 * k40ms).Video(2);
    return m;
}

TEST_F(PrepareTailTest, CutsBeforeTheLastGroupAndMakesItsPredecessorEndOnReferencePictures) {
    const auto r = test::PrepareStream(dir, ThreeGroups().Bytes(), test::HandJob("s", "o"));
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << r.result.Message;
    const EndPassResult& tail = r.result.EndPass;
    ASSERT_TRUE(tail.Run);
    // Intervals: [group 1 I, P] 661 slots, [PCR, I, B, P, B, B] 661 slots, then
    // the third group's PCR packet opens the next interval: the cut is there.
    EXPECT_EQ(tail.TruncatedAt, 2 * 661u * kPacketSize);
    EXPECT_EQ(r.bytes.size(), tail.TruncatedAt);
    test::ExpectMultiplexRate(r.out);

    const auto pictures = Pictures(r.out);
    ASSERT_EQ(pictures.size(), 7u);
    std::vector<int> types;
    for (std::size_t at : pictures) types.push_back(FirstPictureType(r.out[at].data()));
    EXPECT_EQ(types, (std::vector<int>{kIPicture, kPPicture, kIPicture, kBPicture, kPPicture, kPPicture, kPPicture}))
        << "the B pictures after the last P picture became P; the one before it stays B";
    EXPECT_EQ(tail.DemotedPictures, 2u);
    EXPECT_TRUE(BrokenLink(r.out[pictures[0]])) << "the run's first group";
    EXPECT_TRUE(BrokenLink(r.out[pictures[2]])) << "the group that is now last";
}

TEST_F(PrepareTailTest, TailRepairNeedsTwoGroupsAndAReferencePicture) {
    struct Case {
        const char* what;
        Mux mux;
        bool h264;
        bool run;
        std::uint64_t demoted;
    };
    Mux one_group;
    one_group.Pat().Pmt().Pes(PcrPicture(k40ms, Cat({GopHeader(), PictureHeader(1)}))).Pes(Picture(PictureHeader(3)));
    one_group.Pcr(2 * k40ms).Pes(Picture(PictureHeader(3))).Pcr(3 * k40ms);
    const Case cases[] = {
        {"one group only", one_group, false, false, 0},
        {"no I or P picture in the last group", ThreeGroups({kBPicture, kBPicture, kBPicture}), false, true, 0},
        {"H.264: no tail repair", ThreeGroups(), true, false, 0},
    };
    for (const Case& c : cases) {
        PrepareJob job = test::HandJob("s", "o");
        job.Source.IsH264Stream = c.h264 ? 1 : 0;
        const auto r = test::PrepareStream(dir, c.mux.Bytes(), job);
        ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << c.what;
        EXPECT_EQ(r.result.EndPass.Run, c.run) << c.what;
        EXPECT_EQ(r.result.EndPass.DemotedPictures, c.demoted) << c.what;
        if (!c.run) {
            EXPECT_EQ(r.result.OutputBytes, 661u * kPacketSize * r.result.Intervals) << c.what << ": nothing cut";
            const auto pictures = Pictures(r.out);
            for (std::size_t n = 1; n < pictures.size(); ++n) EXPECT_FALSE(BrokenLink(r.out[pictures[n]])) << c.what;
        }
    }
}

}  // namespace
}  // namespace tscard
