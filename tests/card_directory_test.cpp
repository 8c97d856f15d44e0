// Loading and storing the directory: the two passes, the free-space
// figure, and what WriteDirectory writes back.

#include <gtest/gtest.h>

#include "card/card_directory.h"
#include "card_test_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::EmptyRegion;
using test::PutEntry;

TEST(CardDirectoryLoad, FreeEntryBetweenUsedOnesIsPackedThenAppended) {
    // FileCount 2, entries 0 and 2 used, entry 1 free (all 0xFF).
    std::vector<std::uint8_t> region = EmptyRegion();
    region[1] = 2;
    PutEntry(region, 0, 61, 2, 13, "first.ts");
    PutEntry(region, 2, 109, 0, 5, "second.ts");
    ASSERT_TRUE(IsInCardLayout(region.data()));

    CardDirectory directory;
    FillDirectoryFromRegion(region.data(), directory);
    ASSERT_EQ(directory.Records.size(), 240u);
    EXPECT_EQ(directory.Records[0].StartSector, 61u);
    EXPECT_EQ(directory.Records[0].NameBytes(), "first.ts");
    EXPECT_EQ(directory.Records[1].StartSector, 109u);
    EXPECT_EQ(directory.Records[1].LastSlot, 5);
    EXPECT_EQ(directory.Records[1].NameBytes(), "second.ts");
    // The second pass appends entry 1, whose StartSector 0xFFFFFFFF
    // matches no record, with its StartSector and Length only.
    EXPECT_EQ(directory.Records[2].StartSector, 0xFFFFFFFFu);
    EXPECT_EQ(directory.Records[2].Length, 0xFFFFFFFFu);
    EXPECT_EQ(directory.Records[2].LastSlot, 0);
    EXPECT_EQ(directory.Records[2].NameBytes(), "");
    for (std::size_t i = 3; i < 240; ++i) {
        const DirEntry& r = directory.Records[i];
        ASSERT_TRUE(r.StartSector == 0 && r.Length == 0 && r.LastSlot == 0 && r.NameBytes().empty()) << i;
    }
    EXPECT_EQ(directory.Header.FileCount, 2);
    // The appended free record adds no space, the used ones their Length.
    EXPECT_EQ(FreeUnitsOf(1000, directory), 998);
}

TEST(CardDirectoryLoad, SecondPassStopsAtAnEntryWithLengthZero) {
    // Entry 0 is a one-block stream (Length 0); the pass stops there, so
    // free entry 1 is not appended although FileCount is 2.
    std::vector<std::uint8_t> region = EmptyRegion();
    region[1] = 2;
    PutEntry(region, 0, 61, 0, 3, "one.ts");
    CardDirectory directory;
    FillDirectoryFromRegion(region.data(), directory);
    EXPECT_EQ(directory.Records[0].NameBytes(), "one.ts");
    EXPECT_EQ(directory.Records[1].StartSector, 0u);
    EXPECT_EQ(directory.Records[1].Length, 0u);
}

TEST(CardDirectoryLoad, FreeUnitsNeverNegative) {
    CardDirectory directory;
    ResetDirectory(directory);
    directory.Records[0].Length = 600;
    directory.Records[1].Length = 500;
    EXPECT_EQ(FreeUnitsOf(2000, directory), 900);  // Length itself, not Length + 1
    EXPECT_EQ(FreeUnitsOf(1000, directory), 0);
}

TEST(CardDirectoryStore, WritesSectorZeroAndEntriesInUseOnly) {
    // Entries 1 to 239 hold bytes that a load would not reproduce (names,
    // LastSlot of free entries); they must come back unchanged.
    std::vector<std::uint8_t> region = EmptyRegion();
    region[1] = 1;
    PutEntry(region, 0, 61, 9, 1, "old.ts");
    for (std::size_t i = 1; i < 240; ++i) PutEntry(region, i, 0x1000 + i, 0xFFFFFFFF, 7, "left " + std::to_string(i));
    test::TempDir dir;
    const auto path = dir / "card.img";
    test::MakeImage(path, 64 * 8192 + kHeaderRegionBytes, 0x00, region);

    CardDevice device = test::OpenImage(path);
    ASSERT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
    device.Directory.Header.Flags = 0x07;
    device.Directory.Header.Bitrate = 5000;
    device.Directory.Records[0].Length = 2;
    device.Directory.Records[0].SetName("new.ts");
    ASSERT_TRUE(device.WriteDirectory(device.Directory).ok());

    const std::vector<std::uint8_t> card = test::ReadFileBytes(path);
    std::vector<std::uint8_t> expected = region;
    expected[2] = 0x07;
    expected[3] = 0x88, expected[4] = 0x13;  // 5000
    PutEntry(expected, 0, 61, 2, 1, "new.ts");
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card.begin()));
    for (std::size_t i = kHeaderRegionBytes; i < card.size(); ++i) ASSERT_EQ(card[i], 0x00) << i;

    // The in-memory directory is empty until the card is read again.
    EXPECT_EQ(device.Directory.Records.size(), 240u);
    EXPECT_EQ(device.Directory.Records[0].Length, 0u);
    EXPECT_EQ(device.FreeUnits, device.DataUnits);
    ASSERT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
    EXPECT_EQ(device.Directory.Records[0].NameBytes(), "new.ts");
    EXPECT_EQ(device.FreeUnits, device.DataUnits - 2);
}

}  // namespace
}  // namespace tscard
