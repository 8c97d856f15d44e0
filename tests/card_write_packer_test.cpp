// Packing a stream into card blocks: the stored packet form, the null
// counts across blocks, 192-byte units, resynchronisation, and results that
// do not depend on where the windows end.

#include <gtest/gtest.h>

#include "card_write_util.h"

namespace tscard {
namespace {

using test::PackInWindows;
using test::SourceStream;

TEST(CardPacking, StoredPacketFormOfTypicalSources) {
    struct Case {
        const char* name;
        SourceStream source;
        std::uint32_t length;
        std::uint8_t last_slot;
    };
    std::vector<Case> cases;
    cases.push_back({"100 packets", SourceStream{}.Stored(100), 2, 13});
    cases.push_back({"86 packets", SourceStream{}.Stored(86), 1, 0});
    cases.push_back({"43 packets", SourceStream{}.Stored(43), 0, 0});
    cases.push_back({"one packet", SourceStream{}.Stored(1), 0, 0});
    cases.push_back({"5 leading null packets", SourceStream{}.Nulls(5).Stored(10), 0, 9});
    cases.push_back({"7 trailing null packets", SourceStream{}.Stored(10).Nulls(7), 0, 9});
    cases.push_back({"nulls between packets", SourceStream{}.Stored(3).Nulls(2).Stored(1).Nulls(1).Stored(40), 1, 0});
    cases.push_back({"a null run over a block's end", SourceStream{}.Stored(43).Nulls(5).Stored(50).Nulls(2), 2, 6});
    cases.push_back({"nulls after a full final block", SourceStream{}.Stored(86).Nulls(4), 1, 0});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Packed packed = PackInWindows(c.source.Bytes, false);
        test::ExpectBlocks(packed.Blocks, c.source.Packets);
        const StreamExtent extent = ExtentOfPackets(packed.PacketsStored);
        EXPECT_EQ(extent.Length, c.length);
        EXPECT_EQ(extent.LastSlot, c.last_slot);
        EXPECT_EQ(packed.NullRuns.Runs, 0u);
    }
}

TEST(CardPacking, TrailingNullsAreCountedAndTheFreeSlotHoldsTheDroppedImage) {
    const SourceStream source = SourceStream{}.Stored(10).Nulls(7);
    const test::Packed packed = PackInWindows(source.Bytes, false);
    ASSERT_EQ(packed.Blocks.size(), 1u);
    const std::uint8_t* block = packed.Blocks[0].data();
    EXPECT_EQ(ReadTrailer(block, 9), 7);
    // The last null packet was read into slot 10, replaced by the image of
    // NullPacket, and left free with a zero trailer.
    EXPECT_EQ(std::memcmp(block + kSlotSize * 10, NullPacket().data(), kPacketSize), 0);
    EXPECT_EQ(ReadTrailer(block, 10), 0);
    for (std::size_t i = kSlotSize * 11; i < kUnitSize; ++i) ASSERT_EQ(block[i], 0xFF) << i;
}

TEST(CardPacking, NullsAfterAFullBlockPatchTheHeldBlockWhichGoesOutWithTheNextPacket) {
    struct Sink final : CopyingBlockSink {
        const CardPacker* packer = nullptr;
        std::vector<std::uint64_t> stored_when_written;
        std::vector<CardBlock> blocks;
        void WriteBlock(const std::uint8_t* block) override {
            stored_when_written.push_back(packer->PacketsStored());
            blocks.emplace_back();
            std::memcpy(blocks.back().data(), block, kUnitSize);
        }
    } sink;
    CardPacker packer(false, sink);
    sink.packer = &packer;
    const SourceStream source = SourceStream{}.Stored(43).Nulls(3).Stored(1);
    packer.FinishPacking(source.Bytes.data(), source.Bytes.size());
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.stored_when_written[0], 44u);  // written when packet 44 arrived
    EXPECT_EQ(ReadTrailer(sink.blocks[0].data(), 42), 3);
    EXPECT_EQ(std::memcmp(sink.blocks[1].data(), test::NumberedPacket(43).data(), kPacketSize), 0);
    test::ExpectBlocks(sink.blocks, source.Packets);
}

TEST(CardPacking, NothingToStoreGivesNoBlock) {
    for (std::size_t nulls : {0, 1, 500}) {
        const test::Packed packed = PackInWindows(SourceStream{}.Nulls(nulls).Bytes, false);
        EXPECT_TRUE(packed.Blocks.empty());
        EXPECT_EQ(packed.PacketsStored, 0u);
    }
}

TEST(CardPacking, UnitsOf192BytesStoreOnlyThePackets) {
    SourceStream plain;
    SourceStream units;
    units.Packet192 = true;
    for (SourceStream* s : {&plain, &units}) s->Nulls(3).Stored(500).Nulls(9).Stored(700).Nulls(2);
    const test::Packed a = PackInWindows(plain.Bytes, false);
    const test::Packed b = PackInWindows(units.Bytes, true);
    EXPECT_EQ(b.PacketsStored, 1200u);
    ASSERT_EQ(a.Blocks.size(), b.Blocks.size());
    for (std::size_t i = 0; i < a.Blocks.size(); ++i) ASSERT_EQ(a.Blocks[i], b.Blocks[i]) << "block " << i;
}

// Windows end inside packets (and, with 192-byte units, inside prefixes):
// the packet that straddles two windows is packed whole, with its prefix.
TEST(CardPacking, TheResultDoesNotDependOnWhereWindowsEnd) {
    for (bool packet192 : {false, true}) {
        SourceStream source;
        source.Packet192 = packet192;
        source.Stored(700).Nulls(1000).Stored(800).Nulls(3);
        const test::Packed whole = PackInWindows(source.Bytes, packet192, 0);
        test::ExpectBlocks(whole.Blocks, source.Packets);
        for (std::size_t window : {std::size_t(65536), std::size_t(65536 + 190), std::size_t(8084 * 2 + 7), std::size_t(1000)}) {
            SCOPED_TRACE(std::string(packet192 ? "192" : "188") + "-byte units, window " + std::to_string(window));
            const test::Packed windowed = PackInWindows(source.Bytes, packet192, window);
            EXPECT_EQ(windowed.PacketsStored, 1500u);
            EXPECT_EQ(windowed.Blocks, whole.Blocks);
        }
    }
}

// A packet whose sync byte is damaged is lost with the bytes read for it;
// the search confirms the next packet start, even when its confirming
// bytes lie in the next window.
TEST(CardPacking, ADamagedPacketAnywhereLosesOnlyItself) {
    for (bool packet192 : {false, true}) {
        SourceStream source;
        source.Packet192 = packet192;
        source.Stored(1100);
        const std::size_t unit = packet192 ? kUnit192Size : kPacketSize;
        const std::size_t prefix = unit - kPacketSize;
        for (std::size_t k = 0; k + 4 < 1100; ++k) {
            std::vector<std::uint8_t> bytes = source.Bytes;
            bytes[k * unit + prefix] = 0x00;
            std::vector<Packet> expected = source.Packets;
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(k));
            const test::Packed packed = PackInWindows(bytes, packet192);
            ASSERT_EQ(packed.PacketsStored, 1099u) << (packet192 ? "192" : "188") << "-byte units, damaged " << k;
            test::ExpectBlocks(packed.Blocks, expected);
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(CardPacking, GarbageBetweenPacketsIsSkipped) {
    // 100 bytes without a sync byte after packet 9: the read at that place
    // takes the garbage and the start of packet 10, the search finds 11.
    SourceStream source = SourceStream{}.Stored(60);
    std::vector<std::uint8_t> bytes = source.Bytes;
    bytes.insert(bytes.begin() + 10 * 188, 100, 0x00);
    std::vector<Packet> expected = source.Packets;
    expected.erase(expected.begin() + 10);
    const test::Packed packed = PackInWindows(bytes, false);
    test::ExpectBlocks(packed.Blocks, expected);
}

TEST(CardPacking, LongNullRunsAreKeptAsTheTrailerCarriesThemAndReported) {
    struct Case {
        std::size_t nulls;
        bool trailing;
        std::uint16_t trailer;
        std::uint16_t read_back;
        bool reported;
    };
    const Case cases[] = {
        {0x3FFF, false, 0x3FFF, 0x3FFF, false},  // the largest count that reads back unchanged
        {0x4800, false, 0x4800, 0x0000, true},   // bits 14 and 11 cleared on reading
        {70000, false, 70000 - 65536, 70000 - 65536, true},  // the counter wrapped
        {70000, true, 70000 - 65536, 70000 - 65536, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.nulls) + (c.trailing ? " trailing" : ""));
        SourceStream source = SourceStream{}.Stored(2).Nulls(c.nulls);
        if (!c.trailing) source.Stored(1);
        const test::Packed packed = PackInWindows(source.Bytes, false);
        ASSERT_EQ(packed.Blocks.size(), 1u);
        EXPECT_EQ(ReadTrailer(packed.Blocks[0].data(), 1), c.trailer);
        EXPECT_EQ(TrailerNullCount(c.trailer), c.read_back);
        EXPECT_EQ(packed.NullRuns.Runs, c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(packed.NullRuns.FirstAfterPacket, 1u);
            EXPECT_EQ(packed.NullRuns.FirstLength, c.nulls);
            EXPECT_EQ(packed.NullRuns.FirstReadBack, c.read_back);
        }
    }
}

}  // namespace
}  // namespace tscard
