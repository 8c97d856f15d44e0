// The card layout: size figures, the panel's MB text, stream length
// fields, trailers, conversions, the header bytes and the recognition test.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "card/card_layout.h"
#include "card/card_panel.h"

namespace tscard {
namespace {

TEST(CardLayout, SizeFiguresOfCards) {
    struct Case {
        std::uint64_t bytes;
        std::uint64_t sectors;
        std::uint64_t capacity_mb;
        std::int64_t data_units;
    };
    const Case cases[] = {
        {1977614336, 3862528, 1886, 241404},
        // The data area (160 sectors after sector 60) is an exact multiple
        // of 16 sectors: one unit fewer is counted.
        {221 * 512, 221, 0, 9},
        {222 * 512, 222, 0, 10},
        {222 * 512 + 100, 222, 0, 10},  // a trailing part sector does not count
        {62 * 512, 62, 0, 0},
        {31232, 61, 0, 0},  // no room for any unit: 0, not a wrapped figure
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const CardFigures f = FiguresOfLength(c.bytes);
        EXPECT_EQ(f.TotalSectors, c.sectors) << c.bytes;
        EXPECT_EQ(f.CapacityMB, c.capacity_mb) << c.bytes;
        EXPECT_EQ(f.DataUnits, c.data_units) << c.bytes;
    }
}

TEST(CardLayout, MegabyteFiguresAsThePanelShowsThem) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {241404, "1885.9688"},      // the 1977614336-byte card
        {0, "0.0000"},
        {1, "0.0078"},
        {4, "0.0313"},              // 0.03125: a tie rounds away from zero
        {1944800, "15193.7500"},
        {1944801, "15193.7580"},    // 15193.7578125 kept to 8 significant digits
        {128LL * 123456789, "123456789.0000"},
    };
    for (const auto& [units, text] : cases) EXPECT_EQ(UnitsAsMegabytes(units), text) << units;
}

TEST(CardLayout, LengthFieldsOfStreams) {
    struct Case {
        std::uint64_t packets;
        std::uint64_t blocks;
        std::uint32_t length;
        std::uint8_t last_slot;
        std::size_t slots_in_final_block;
    };
    const Case cases[] = {
        {100, 3, 2, 13, 14},
        {86, 2, 1, 0, 43},
        {43, 1, 0, 0, 43},
        {44, 2, 1, 0, 43},  // one packet in the final block: LastSlot 0 as for a full one
        {45, 2, 1, 1, 2},
        {1, 1, 0, 0, 43},
    };
    for (const Case& c : cases) {
        const StreamExtent e = ExtentOfPackets(c.packets);
        EXPECT_EQ(e.Blocks, c.blocks) << c.packets;
        EXPECT_EQ(e.Length, c.length) << c.packets;
        EXPECT_EQ(e.LastSlot, c.last_slot) << c.packets;
        DirEntry entry;
        entry.Length = e.Length;
        entry.LastSlot = e.LastSlot;
        EXPECT_EQ(SlotsInBlock(entry, e.Blocks - 1), c.slots_in_final_block) << c.packets;
        if (e.Blocks > 1) {
            EXPECT_EQ(SlotsInBlock(entry, 0), kSlotsPerBlock) << c.packets;
        }
    }
}

TEST(CardLayout, TrailerCountsFollowTheTopBitsRule) {
    const std::pair<std::uint16_t, std::uint16_t> cases[] = {
        {0x0005, 5},      {0x3FFF, 16383}, {0x4800, 0},       {0x4FFF, 0x07FF}, {0x5000, 0x0000},
        {0x5FFF, 0x0FFF}, {0x6123, 0x0123}, {0x7FFF, 0x7FFF}, {0x8000, 0x8000}, {0xFFFF, 0xFFFF},
    };
    for (const auto& [trailer, count] : cases) EXPECT_EQ(TrailerNullCount(trailer), count) << std::hex << trailer;

    std::vector<std::uint8_t> block(kUnitSize, 0xFF);
    WriteTrailer(block.data(), 42, 0x1234);
    EXPECT_EQ(block[42 * 190 + 188], 0x34);  // low byte first
    EXPECT_EQ(block[42 * 190 + 189], 0x12);
    EXPECT_EQ(ReadTrailer(block.data(), 42), 0x1234);
    EXPECT_EQ(block[8170], 0xFF);  // padding untouched
}

TEST(CardLayout, UnitsSectorsAndOffsets) {
    EXPECT_EQ(UnitToSector(0), 61u);
    EXPECT_EQ(UnitToSector(2), 93u);
    EXPECT_EQ(SectorToUnit(61), 0u);
    EXPECT_EQ(SectorToUnit(76), 0u);
    EXPECT_EQ(SectorToUnit(77), 1u);
    EXPECT_EQ(UnitOffset(0), 0x7A00u);
    EXPECT_EQ(UnitOffset(3), 0x7A00u + 3 * 8192);
    EXPECT_EQ(UnitOffset(600000), 600000ull * 8192 + 0x7A00);  // beyond 4 GiB
    EXPECT_EQ(SectorOffset(UnitToSector(5)), UnitOffset(5));
    // Packet 44 of a stream at unit 2: block 1, slot 1.
    EXPECT_EQ(PacketOffset(2, 44), 0x7A00u + 8192 * 3 + 190);
}

TEST(CardLayout, EmptyHeaderRegionBytes) {
    std::vector<std::uint8_t> region(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(false, 0, region.data());
    const std::vector<std::uint8_t> start = {0x48, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(region.begin(), region.begin() + 7), start);
    for (std::size_t i = 7; i < kHeaderRegionBytes; ++i) ASSERT_EQ(region[i], 0xFF) << i;

    BuildEmptyHeaderRegion(true, 120000, region.data());
    const std::vector<std::uint8_t> start01 = {0x48, 0x00, 0x07, 0xC0, 0xD4, 0x01, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(region.begin(), region.begin() + 7), start01);
    const CardHeader header = CardHeader::Decode(region.data());
    EXPECT_TRUE(header.Formatted());
    EXPECT_TRUE(header.Version01());
    EXPECT_EQ(header.Bitrate, 120000u);
    std::vector<std::uint8_t> again(kSectorSize);
    header.Encode(again.data());
    EXPECT_TRUE(std::equal(again.begin(), again.end(), region.begin()));
}

TEST(CardLayout, DirEntryBytesAndNames) {
    DirEntry entry;
    entry.StartSector = 61;
    entry.Length = 0x01020304;
    entry.LastSlot = 13;
    entry.SetName("clip.ts");
    std::uint8_t bytes[kDirEntrySize];
    entry.Encode(bytes);
    EXPECT_EQ(bytes[0], 61);
    EXPECT_EQ(bytes[4], 0x04);
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(bytes[8], 13);
    EXPECT_EQ(bytes[9], 'c');
    EXPECT_EQ(bytes[16], 0);  // padded with zero bytes
    EXPECT_EQ(bytes[127], 0);
    EXPECT_EQ(DirEntry::Decode(bytes).NameBytes(), "clip.ts");

    const std::string long_name(130, 'x');
    entry.SetName(long_name);
    entry.Encode(bytes);
    EXPECT_EQ(bytes[127], 'x');  // 119 bytes, no terminating zero
    EXPECT_EQ(DirEntry::Decode(bytes).NameBytes(), std::string(119, 'x'));

    DirEntry::FreeEntry().Encode(bytes);
    for (std::uint8_t b : bytes) ASSERT_EQ(b, 0xFF);
    EXPECT_TRUE(DirEntry::Decode(bytes).IsFree());
}

TEST(CardLayout, RecognitionTest) {
    struct Case {
        const char* what;
        void (*change)(std::uint8_t* region);
        bool recognised;
    };
    const Case cases[] = {
        {"freshly formatted", [](std::uint8_t*) {}, true},
        {"first byte not 0x48", [](std::uint8_t* r) { r[0] = 0x49; }, false},
        {"FileCount 241", [](std::uint8_t* r) { r[1] = 241; }, false},
        {"FileCount 240", [](std::uint8_t* r) { r[1] = 240; }, true},
        {"entry with Length 0 and StartSector 0",
         [](std::uint8_t* r) { std::fill(r + 512 + 128 * 7, r + 512 + 128 * 8, 0x00); }, false},
        {"last entry starting at sector 60",
         [](std::uint8_t* r) {
             std::uint8_t* e = r + 512 + 128 * 239;
             e[0] = 60, e[1] = e[2] = e[3] = 0, e[4] = e[5] = e[6] = e[7] = 0;
         },
         false},
        {"entry starting at sector 61",
         [](std::uint8_t* r) {
             std::uint8_t* e = r + 512 + 128 * 3;
             e[0] = 61, e[1] = e[2] = e[3] = 0, e[4] = e[5] = e[6] = e[7] = 0;
         },
         true},
        {"free entry with StartSector 0", [](std::uint8_t* r) { std::fill(r + 512, r + 516, 0x00); }, true},
        {"formatted flag clear", [](std::uint8_t* r) { r[2] = 0; }, true},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> region(kHeaderRegionBytes);
        BuildEmptyHeaderRegion(false, 0, region.data());
        c.change(region.data());
        EXPECT_EQ(IsInCardLayout(region.data()), c.recognised) << c.what;
    }
}

}  // namespace
}  // namespace tscard
