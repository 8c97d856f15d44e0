// Raw access, formatting and clearing on card image files, and the test
// backend that fails after a number of units.

#include <gtest/gtest.h>

#include <numeric>

#include "card/card_format.h"
#include "card/failing_backend.h"
#include "card_test_util.h"
#include "platform/log.h"
#include "support/test_support.h"

namespace tscard {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;

class CardImage : public ::testing::Test {
protected:
    // A card of `size` bytes whose every byte is `fill`, or the region given.
    void Make(std::uint64_t size, std::uint8_t fill, const std::vector<std::uint8_t>& head = {}) {
        test::MakeImage(path_, size, fill, head);
    }
    std::vector<std::uint8_t> Bytes() const { return test::ReadFileBytes(path_); }

    test::TempDir dir_;
    std::filesystem::path path_ = dir_ / "card.img";
};

// Runs the body with the log captured and returns what it wrote.
template <typename Body>
std::string LogOf(Body body) {
    ::testing::internal::CaptureStderr();
    body();
    return ::testing::internal::GetCapturedStderr();
}

TEST_F(CardImage, RapidFormatRewritesOnlyTheHeaderRegion) {
    // A card holding a stream: recognised header, data in the units.
    std::vector<std::uint8_t> region = test::EmptyRegion(true, 120000);
    region[1] = 1;
    test::PutEntry(region, 0, 61, 2, 13, "clip.ts");
    Make(3 * kMiB, 0x5A, region);

    CardDevice device = test::OpenImage(path_);
    ASSERT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
    ASSERT_TRUE(FormatCard(device, false).ok());
    EXPECT_EQ(device.CardChanged, 1);
    EXPECT_EQ(device.FreeUnits, device.DataUnits);

    const std::vector<std::uint8_t> card = Bytes();
    const std::vector<std::uint8_t> expected = test::EmptyRegion();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card.begin()));
    EXPECT_EQ(std::vector<std::uint8_t>(card.begin(), card.begin() + 7),
              (std::vector<std::uint8_t>{0x48, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
    for (std::size_t i = kHeaderRegionBytes; i < card.size(); ++i) ASSERT_EQ(card[i], 0x5A) << i;

    CardDevice again = test::OpenImage(path_, false);
    ASSERT_EQ(again.LoadDirectory(again.Directory), DirectoryState::Valid);
    EXPECT_EQ(again.Directory.Header.FileCount, 0);
    EXPECT_TRUE(again.Directory.Header.Formatted());
    EXPECT_FALSE(again.Directory.Header.Version01());
    EXPECT_EQ(again.FreeUnits, again.DataUnits);
}

TEST_F(CardImage, ClearAllWritesTheSameBytesAsARapidFormatWhateverFullFormatSays) {
    Make(kMiB, 0x00);
    CardDevice device = test::OpenImage(path_);
    device.FullFormat = 1;
    ASSERT_TRUE(ClearAllCard(device).ok());
    EXPECT_EQ(device.FullFormat, 0);
    const std::vector<std::uint8_t> card = Bytes();
    const std::vector<std::uint8_t> expected = test::EmptyRegion();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card.begin()));
    EXPECT_EQ(card[kHeaderRegionBytes], 0x00);
}

TEST_F(CardImage, FullFormatFillsEverySectorIncludingThePartAfterTheLastMiB) {
    Make(3 * kMiB + 5 * 512 + 100, 0x00);  // 100 bytes past the last whole sector
    CardDevice device = test::OpenImage(path_);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;
    FillObserver observer;
    observer.Progress = [&](std::uint64_t done, std::uint64_t total) { steps.emplace_back(done, total); };
    ASSERT_TRUE(FormatCard(device, true, observer).ok());

    const std::vector<std::uint8_t> card = Bytes();
    ASSERT_EQ(card.size(), 3 * kMiB + 5 * 512 + 100);  // the image never grows
    const std::vector<std::uint8_t> expected = test::EmptyRegion();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card.begin()));
    const std::size_t sectors_end = card.size() - 100;
    for (std::size_t i = kHeaderRegionBytes; i < sectors_end; ++i) ASSERT_EQ(card[i], 0xFF) << i;
    for (std::size_t i = sectors_end; i < card.size(); ++i) ASSERT_EQ(card[i], 0x00) << i;
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected_steps = {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}};
    EXPECT_EQ(steps, expected_steps);
}

TEST_F(CardImage, StoppedFullFormatStillLeavesAnEmptyHeaderAndSaysSo) {
    Make(4 * kMiB, 0x00);
    CardDevice device = test::OpenImage(path_);
    StopFlag stop;
    FillObserver observer;
    observer.Stop = &stop;
    observer.Progress = [&](std::uint64_t done, std::uint64_t) {
        if (done == 2) stop.Request();
    };
    const Status status = FormatCard(device, true, observer);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.message().find("stopped after 2 of 4 MiB"), std::string::npos) << status.message();
    EXPECT_FALSE(stop.IsSet());  // taken by the one who acted on it

    const std::vector<std::uint8_t> card = Bytes();
    const std::vector<std::uint8_t> expected = test::EmptyRegion();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), card.begin()));
    EXPECT_EQ(card[2 * kMiB - 1], 0xFF);
    EXPECT_EQ(card[2 * kMiB], 0x00);
}

TEST_F(CardImage, FormatRefusesCardsTooSmallOrOpenedReadOnly) {
    Make(kMinimumCardBytes - 512, 0x00);
    {
        CardDevice small = test::OpenImage(path_);
        const Status status = FormatCard(small, false);
        EXPECT_NE(status.message().find("too small"), std::string::npos) << status.message();
        EXPECT_EQ(Bytes(), std::vector<std::uint8_t>(kMinimumCardBytes - 512, 0x00));
    }
    Make(kMinimumCardBytes, 0x00);
    CardDevice read_only = test::OpenImage(path_, false);
    const Status status = ClearAllCard(read_only);
    EXPECT_NE(status.message().find("read-only"), std::string::npos) << status.message();
    CardDevice writable = test::OpenImage(path_);
    EXPECT_TRUE(FormatCard(writable, true).ok());
    // A second writer of the same image is kept out.
    std::unique_ptr<CardBackend> second;
    const Status locked = OpenImageFileBackend(path_.string(), true, second);
    EXPECT_NE(locked.message().find("in use"), std::string::npos) << locked.message();
}

TEST_F(CardImage, HeaderRegionThatCannotBeReadInFull) {
    Make(kHeaderRegionBytes - 512, 0xFF);
    CardDevice device = test::OpenImage(path_, false);
    Status why;
    DirectoryState state{};
    const std::string log = LogOf([&] { state = device.LoadDirectory(device.Directory, &why); });
    EXPECT_EQ(state, DirectoryState::Unreadable);
    EXPECT_EQ(device.DirectoryLoaded, 0);
    EXPECT_NE(log.find("Seek Error"), std::string::npos);
    EXPECT_NE(why.message().find(path_.string()), std::string::npos);

    Make(kMiB, 0x00);  // readable, not in the layout
    CardDevice blank = test::OpenImage(path_, false);
    EXPECT_EQ(blank.LoadDirectory(blank.Directory), DirectoryState::NotInLayout);
    EXPECT_EQ(blank.DirectoryLoaded, 0);
}

TEST_F(CardImage, UnitsMoveInBatchesFromAnyBuffer) {
    Make(kHeaderRegionBytes + 10 * kUnitSize, 0x00);
    CardDevice device = test::OpenImage(path_);
    std::vector<std::uint8_t> data(3 * kUnitSize + 1);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    std::size_t done = 0;
    ASSERT_TRUE(device.WriteUnits(2, 3, data.data() + 1, &done).ok());  // not aligned
    EXPECT_EQ(done, 3u);

    AlignedBuffer back(3 * kUnitSize);
    ASSERT_TRUE(device.ReadUnits(2, 3, back.data(), &done).ok());
    EXPECT_TRUE(std::equal(back.data(), back.data() + back.size(), data.begin() + 1));
    const std::vector<std::uint8_t> card = Bytes();
    EXPECT_EQ(card[UnitOffset(2)], data[1]);
    EXPECT_EQ(card[UnitOffset(2) - 1], 0x00);
    EXPECT_EQ(card[UnitOffset(5)], 0x00);

    std::vector<std::uint8_t> one(kUnitSize, 0xAB);
    ASSERT_TRUE(device.WriteUnit(9, one.data()).ok());
    ASSERT_TRUE(device.ReadUnit(9, back.data()).ok());
    EXPECT_EQ(back.data()[kUnitSize - 1], 0xAB);
}

TEST_F(CardImage, UnitsPastTheEndFailWithoutGrowingTheImage) {
    Make(kHeaderRegionBytes + 4 * kUnitSize, 0x00);
    CardDevice device = test::OpenImage(path_);
    std::vector<std::uint8_t> data(3 * kUnitSize, 0x77);
    std::size_t done = 99;
    Status status;
    const std::string log = LogOf([&] { status = device.WriteUnits(2, 3, data.data(), &done); });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(done, 2u);  // units 2 and 3 reached the card
    EXPECT_NE(status.message().find(path_.string()), std::string::npos);
    EXPECT_NE(log.find("Read\\Write Error"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(path_), kHeaderRegionBytes + 4 * kUnitSize);

    const std::string read_log = LogOf([&] { status = device.ReadUnits(3, 2, data.data(), &done); });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(done, 1u);
    EXPECT_NE(read_log.find("Seek Error"), std::string::npos);
}

TEST_F(CardImage, FailingBackendStopsAfterItsUnitsAndKeepsTheHeaderWritable) {
    Make(kHeaderRegionBytes + 16 * kUnitSize, 0x00, test::EmptyRegion());
    std::unique_ptr<CardBackend> image;
    ASSERT_TRUE(OpenImageFileBackend(path_.string(), true, image).ok());
    auto failing = std::make_unique<FailingBackend>(std::move(image), 4);
    FailingBackend* control = failing.get();
    CardDevice device(std::move(failing));

    std::vector<std::uint8_t> data(6 * kUnitSize, 0x33);
    ASSERT_TRUE(device.WriteUnits(0, 2, data.data()).ok());
    std::size_t done = 0;
    Status status;
    LogOf([&] { status = device.WriteUnits(2, 6, data.data(), &done); });
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(done, 2u);  // units 2 and 3, then the budget is spent
    EXPECT_EQ(control->UnitsWritten(), 4u);
    LogOf([&] { EXPECT_FALSE(device.WriteUnit(8, data.data()).ok()); });

    const std::vector<std::uint8_t> card = Bytes();
    EXPECT_EQ(card[UnitOffset(3) + kUnitSize - 1], 0x33);
    EXPECT_EQ(card[UnitOffset(4)], 0x00);
    EXPECT_EQ(card[UnitOffset(8)], 0x00);

    // The directory can still be recorded after the failure.
    ASSERT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
    device.Directory.Header.FileCount = 1;
    device.Directory.Records[0].StartSector = 61;
    device.Directory.Records[0].Length = 3;
    EXPECT_TRUE(device.WriteDirectory(device.Directory).ok());
    EXPECT_TRUE(device.CheckPresent().ok());

    control->PullCard();
    EXPECT_FALSE(device.CheckPresent().ok());
    EXPECT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Unreadable);
}

TEST_F(CardImage, RemovalWatchNoticesADeletedImage) {
    Make(kMiB, 0x00);
    CardDevice device = test::OpenImage(path_, false);
    EXPECT_TRUE(device.CheckPresent().ok());
    std::filesystem::remove(path_);
    EXPECT_FALSE(device.CheckPresent().ok());
}

}  // namespace
}  // namespace tscard
