// The card write on card images: the bytes the card gets, the directory
// entry and its store, the events, stops, failing cards, full cards and the
// refusals that touch nothing.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>

#include "card/card_write.h"
#include "card/card_write_batch.h"
#include "card/card_write_verify.h"
#include "card/failing_backend.h"
#include "card_test_util.h"
#include "card_write_util.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::SourceStream;

constexpr std::uint32_t kBitrate = 0x01020304;

struct WriteRun {
    CardWriteResult result;
    CardWriteState write;
    std::vector<EventId> seen;
};

class CardWrite : public ::testing::Test {
protected:
    // A formatted card that holds an older stream: two entries, and units
    // full of 0x5A.
    void MakeCard(std::uint64_t bytes) {
        std::vector<std::uint8_t> region = test::EmptyRegion(true, 9000);
        region[1] = 2;
        test::PutEntry(region, 0, 61, 40, 3, "old one.ts");
        test::PutEntry(region, 1, 61 + 16 * 41, 10, 0, "old two.ts");
        test::MakeImage(card_, bytes, 0x5A, region);
        before_ = test::ReadFileBytes(card_);
    }

    CardDevice OpenCard(std::optional<std::uint64_t> fail_after_units = {}, FailingBackend** control = nullptr) {
        std::unique_ptr<CardBackend> backend;
        EXPECT_TRUE(OpenImageFileBackend(card_.string(), true, backend).ok());
        if (fail_after_units) {
            auto failing = std::make_unique<FailingBackend>(std::move(backend), *fail_after_units);
            if (control) *control = failing.get();
            backend = std::move(failing);
        }
        CardDevice device(std::move(backend));
        EXPECT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
        return device;
    }

    CardWriteJob Job(const SourceStream& source, std::uint64_t start = 0, const std::vector<std::uint8_t>& head = {},
                     const std::string& name = "clip.ts") {
        std::vector<std::uint8_t> bytes = head;
        bytes.insert(bytes.end(), source.Bytes.begin(), source.Bytes.end());
        const std::filesystem::path path = dir_ / name;
        test::WriteFileBytes(path, bytes);
        source_bytes_ = bytes;
        CardWriteJob job;
        File file;
        EXPECT_TRUE(File::OpenRead(path.string(), file).ok());
        EXPECT_TRUE(job.Source.Open(std::move(file)).ok());
        job.StartOffset = start;
        job.Packet192Mode = source.Packet192;
        job.FileName = "clip \xE9.ts";
        job.Bitrate = kBitrate;
        return job;
    }

    // Raises the stop flag at the given progress event.
    WriteRun Write(CardDevice& device, CardWriteJob& job, std::optional<std::uint64_t> stop_at_window = {}) {
        WriteRun run;
        StopFlag stop;
        test::RecordingSink sink;
        sink.OnSignal = [&](EventId id, int n) {
            if (id == EventId::ChangeProgressPosG1 && stop_at_window && std::uint64_t(n) == *stop_at_window)
                stop.Request();
        };
        CardWriteWorker writer;
        run.result = writer.Run(job, device, run.write, sink, stop);
        run.seen = sink.Seen();
        EXPECT_FALSE(stop.IsSet());
        return run;
    }

    // The card as it must be: an empty version-0.1 header with the bit
    // rate and one entry (none for blocks == 0), the first `blocks` blocks
    // of the packed source from unit 0, everything else as it was.
    std::vector<std::uint8_t> Expected(const std::vector<CardBlock>& packed, std::uint64_t blocks,
                                       std::uint8_t last_slot) const {
        std::vector<std::uint8_t> image = before_;
        std::vector<std::uint8_t> region = test::EmptyRegion(true, kBitrate);
        if (blocks > 0) {
            region[1] = 1;
            test::PutEntry(region, 0, 61, static_cast<std::uint32_t>(blocks - 1), last_slot, "clip \xE9.ts");
        }
        std::copy(region.begin(), region.end(), image.begin());
        for (std::uint64_t b = 0; b < blocks; ++b)
            std::copy(packed[b].begin(), packed[b].end(), image.begin() + static_cast<std::ptrdiff_t>(UnitOffset(b)));
        return image;
    }

    static void ExpectSameImage(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
        ASSERT_EQ(got.size(), want.size());
        const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
        EXPECT_TRUE(diff.first == got.end()) << "first difference at byte " << (diff.first - got.begin());
    }

    test::TempDir dir_;
    std::filesystem::path card_ = dir_ / "card.img";
    std::vector<std::uint8_t> before_;
    std::vector<std::uint8_t> source_bytes_;
};

TEST_F(CardWrite, TheCardGetsTheWholeStreamFromItsFirstPacketAndOneEntry) {
    struct Case {
        const char* name;
        SourceStream source;
        std::vector<std::uint8_t> head;  // what precedes the first packet to store
        std::uint32_t length;
        std::uint8_t last_slot;
    };
    std::vector<Case> cases;
    cases.push_back({"100 packets", SourceStream{}.Stored(100), {}, 2, 13});
    // Leading garbage and null packets before the first packet; many
    // windows; the file's end holds packets the first-packet offset must
    // not cut off.
    SourceStream tail_nulls = SourceStream{}.Stored(9000).Nulls(11);
    std::vector<std::uint8_t> head(1000, 0x00);
    const std::vector<std::uint8_t> nulls = SourceStream{}.Nulls(30).Bytes;
    head.insert(head.end(), nulls.begin(), nulls.end());
    cases.push_back({"after garbage and null packets", tail_nulls, head, 209, 12});
    // Exactly four windows after the first packet: no partial window.
    SourceStream exact;
    exact.Stored(1394);
    exact.Bytes.resize(4 * 65536, 0xFF);  // the end is a fragment of a packet
    cases.push_back({"whole windows only", exact, {}, 32, 17});
    SourceStream units;
    units.Packet192 = true;
    units.Nulls(2).Stored(3000).Nulls(1).Stored(20);
    cases.push_back({"192-byte units", units, {}, 70, 9});

    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeCard(8 << 20);
        CardDevice device = OpenCard();
        CardWriteJob job = Job(c.source, c.head.size(), c.head);
        const WriteRun run = Write(device, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Complete) << run.result.Message;
        EXPECT_TRUE(run.write.DirectoryStored);
        EXPECT_TRUE(run.write.WriteFinished);
        EXPECT_FALSE(run.write.CardWriteBusy);
        ASSERT_TRUE(run.result.Recorded);
        EXPECT_EQ(run.result.Entry.Length, c.length);
        EXPECT_EQ(run.result.Entry.LastSlot, c.last_slot);
        EXPECT_FALSE(job.Source.IsOpen());

        const std::vector<std::uint8_t> from_first(source_bytes_.begin() + static_cast<std::ptrdiff_t>(c.head.size()),
                                                   source_bytes_.end());
        const test::Packed packed = test::PackInWindows(from_first, c.source.Packet192);
        EXPECT_EQ(run.result.PacketsStored, packed.PacketsStored);
        test::ExpectBlocks(packed.Blocks, c.source.Packets);
        ExpectSameImage(test::ReadFileBytes(card_), Expected(packed.Blocks, packed.Blocks.size(), c.last_slot));

        const std::uint64_t windows = from_first.size() / 65536;
        EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::ChangeProgressPosG1),
                  static_cast<std::ptrdiff_t>(windows));
        EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::CompleteWriteFile), 1);
        EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::evRefreshGauge), 1);
        EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::evBreakWrite), 0);
    }
}

// The blocks packed before the stop was seen after window `windows`.
std::uint64_t BlocksAfterWindows(const std::vector<std::uint8_t>& bytes, std::uint64_t windows) {
    test::CollectingSink sink;
    CardPacker packer(false, sink);
    std::size_t kept = 0;
    for (std::uint64_t i = 0; i < windows; ++i)
        kept = packer.PackWindow(bytes.data() + i * 65536 - kept, kept + 65536);
    return sink.Blocks.size();
}

TEST_F(CardWrite, AStopRecordsTheFullBlocksOnTheCardAndDropsTheRest) {
    MakeCard(8 << 20);
    CardDevice device = OpenCard();
    const SourceStream source = SourceStream{}.Stored(40000);
    CardWriteJob job = Job(source);
    const WriteRun run = Write(device, job, 30);  // after the 30th window
    EXPECT_EQ(run.result.Ending, CardWriteEnding::Stopped);
    EXPECT_EQ(run.result.StopReason, CardWriteStop::Operator);
    const std::uint64_t blocks = BlocksAfterWindows(source.Bytes, 30);
    ASSERT_GT(blocks, 128u);  // more than one batch
    EXPECT_EQ(run.result.BlocksWritten, blocks);
    EXPECT_EQ(run.result.Entry.Length, blocks - 1);
    EXPECT_EQ(run.result.Entry.LastSlot, 0);
    EXPECT_TRUE(run.write.DirectoryStored);
    EXPECT_TRUE(run.write.WriteFinished);
    EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::evBreakWrite), 1);
    EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::CompleteWriteFile), 1);
    EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::ChangeProgressPosG1), 30);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    ExpectSameImage(test::ReadFileBytes(card_), Expected(packed.Blocks, blocks, 0));
}

TEST_F(CardWrite, AWriteThatPutsNoBlockOnTheCardRecordsNoEntry) {
    // Stopped before the first block reached the card.
    MakeCard(4 << 20);
    CardDevice device = OpenCard();
    CardWriteJob job = Job(SourceStream{}.Nulls(1000).Stored(5000));
    const WriteRun run = Write(device, job, 1);
    EXPECT_EQ(run.result.Ending, CardWriteEnding::Stopped);
    EXPECT_FALSE(run.result.Recorded);
    EXPECT_EQ(run.result.BlocksWritten, 0u);
    EXPECT_TRUE(run.write.DirectoryStored);
    ExpectSameImage(test::ReadFileBytes(card_), Expected({}, 0, 0));
}

TEST_F(CardWrite, AFailingCardEndsAsAStopWithTheBlocksThatGotThere) {
    const SourceStream source = SourceStream{}.Stored(300 * 43 + 5).Nulls(3);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    ASSERT_EQ(packed.Blocks.size(), 301u);
    // Units before the failure: none, within the first batch, at a batch's
    // end, after it, and the very last block (written after the last window).
    for (std::uint64_t good : {0u, 1u, 128u, 129u, 300u}) {
        SCOPED_TRACE("fails after " + std::to_string(good) + " units");
        MakeCard(8 << 20);
        CardDevice device = OpenCard(good);
        CardWriteJob job = Job(source);
        const WriteRun run = Write(device, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Stopped);
        EXPECT_EQ(run.result.StopReason, CardWriteStop::WriteFailed);
        EXPECT_NE(run.result.Message.English().find(card_.string()), std::string::npos) << run.result.Message;
        EXPECT_EQ(run.result.BlocksWritten, good);
        EXPECT_EQ(run.result.Recorded, good > 0);
        EXPECT_TRUE(run.write.DirectoryStored);
        ExpectSameImage(test::ReadFileBytes(card_), Expected(packed.Blocks, good, 0));
    }
}

// A source that shrinks under the write ends it as a stop does: the blocks
// on the card are recorded, and the message names the file and its sizes.
TEST_F(CardWrite, ASourceThatShrinksEndsTheWriteWithAnEntryForWhatIsOnTheCard) {
    const SourceStream source = SourceStream{}.Stored(40000);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    for (const std::uint64_t to : {std::uint64_t(source.Bytes.size() / 2), std::uint64_t(0)}) {
        SCOPED_TRACE("cut to " + std::to_string(to));
        MakeCard(8 << 20);
        CardDevice device = OpenCard();
        CardWriteJob job = Job(source);
        StopFlag stop;
        test::RecordingSink sink;
        sink.OnSignal = [&](EventId id, int n) {
            if (id == EventId::ChangeProgressPosG1 && n == 1) std::filesystem::resize_file(dir_ / "clip.ts", to);
        };
        CardWriteState write;
        CardWriteWorker writer;
        const CardWriteResult result = writer.Run(job, device, write, sink, stop);
        EXPECT_EQ(result.Ending, CardWriteEnding::Stopped);
        EXPECT_EQ(result.StopReason, CardWriteStop::SourceFailed);
        EXPECT_EQ(result.Message, (dir_ / "clip.ts").string() + ": the file shrank while it was read (was " +
                                      std::to_string(source.Bytes.size()) + " bytes, now " + std::to_string(to) + ")");
        ASSERT_TRUE(result.Recorded);
        EXPECT_GT(result.BlocksWritten, 0u);
        EXPECT_LT(result.BlocksWritten, packed.Blocks.size());
        EXPECT_EQ(result.Entry.Length + 1u, result.BlocksWritten);
        EXPECT_TRUE(write.DirectoryStored);
        EXPECT_FALSE(job.Source.IsOpen());
        ExpectSameImage(test::ReadFileBytes(card_), Expected(packed.Blocks, result.BlocksWritten, 0));
    }
}

// Cut before the write began (after the file was opened): the worker's
// look at what the stream takes finds it short, and the card stays as it
// was.
TEST_F(CardWrite, ASourceThatShrankBeforeTheWriteIsRefusedAndTheCardStaysAsItWas) {
    const SourceStream source = SourceStream{}.Stored(4000);
    for (const std::uint64_t to : {std::uint64_t(source.Bytes.size() / 2), std::uint64_t(0)}) {
        SCOPED_TRACE("cut to " + std::to_string(to));
        MakeCard(8 << 20);
        CardDevice device = OpenCard();
        CardWriteJob job = Job(source);
        const std::vector<std::uint8_t> before = test::ReadFileBytes(card_);
        std::filesystem::resize_file(dir_ / "clip.ts", to);
        const WriteRun run = Write(device, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Refused);
        EXPECT_EQ(run.result.Message, (dir_ / "clip.ts").string() + ": the file shrank while it was read (was " +
                                          std::to_string(source.Bytes.size()) + " bytes, now " + std::to_string(to) +
                                          ")");
        EXPECT_TRUE(run.seen.empty());
        EXPECT_EQ(test::ReadFileBytes(card_), before);
    }
}

TEST_F(CardWrite, AStreamLargerThanTheCardKeepsWhatFitted) {
    // Room for 50 whole units and part of one more.
    MakeCard(kHeaderRegionBytes + 50 * kUnitSize + 3 * 512);
    CardDevice device = OpenCard();
    const SourceStream source = SourceStream{}.Stored(200 * 43);
    CardWriteJob job = Job(source);
    const WriteRun run = Write(device, job);
    EXPECT_EQ(run.result.Ending, CardWriteEnding::Stopped);
    EXPECT_EQ(run.result.StopReason, CardWriteStop::CardFull);
    EXPECT_EQ(run.result.BlocksWritten, 50u);
    EXPECT_EQ(run.result.Entry.Length, 49u);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    std::vector<std::uint8_t> want = Expected(packed.Blocks, 50, 0);
    // The partial unit at the end takes what fits of block 50: it is not
    // part of the stream, and the card has nothing else there.
    std::copy(packed.Blocks[50].begin(), packed.Blocks[50].begin() + 3 * 512,
              want.begin() + static_cast<std::ptrdiff_t>(UnitOffset(50)));
    ExpectSameImage(test::ReadFileBytes(card_), want);
}

TEST_F(CardWrite, AnImageDeletedOrCutShortIsAPulledCardAndNoMoreIsWritten) {
    const SourceStream source = SourceStream{}.Stored(600 * 43);
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path&)> change;
        const char* says;
    };
    const Case cases[] = {
        {"deleted", [](const std::filesystem::path& card) { std::filesystem::remove(card); }, "card image was deleted"},
        {"cut short", [](const std::filesystem::path& card) { std::filesystem::resize_file(card, 0); },
         "card image shrank"},
        {"cut in half", [](const std::filesystem::path& card) { std::filesystem::resize_file(card, 4 << 20); },
         "card image shrank"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeCard(8 << 20);
        CardDevice device = OpenCard();
        CardWriteJob job = Job(source);
        WriteRun run;
        StopFlag stop;
        test::RecordingSink sink;
        // After about 320 blocks: two batches are on the card.
        sink.OnSignal = [&](EventId id, int n) {
            if (id == EventId::ChangeProgressPosG1 && n == 40) c.change(card_);
        };
        CardWriteWorker writer;
        run.result = writer.Run(job, device, run.write, sink, stop);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Stopped) << run.result.Message;
        EXPECT_EQ(run.result.StopReason, CardWriteStop::CardRemoved);
        EXPECT_NE(run.result.Message.English().find(card_.string() + ": " + c.says), std::string::npos) << run.result.Message;
        EXPECT_GE(run.result.BlocksWritten, UnitBatchWriter::kBatchUnits);
        EXPECT_LT(run.result.BlocksWritten, 600u);
        EXPECT_EQ(run.result.BlocksWritten % UnitBatchWriter::kBatchUnits, 0u) << "no block after the change";
        EXPECT_TRUE(run.result.Recorded);
    }
}

TEST_F(CardWrite, RefusedAndFailedWritesLeaveTheCardAsItWas) {
    MakeCard(4 << 20);
    const SourceStream source = SourceStream{}.Stored(500);
    {
        std::unique_ptr<CardBackend> backend;
        ASSERT_TRUE(OpenImageFileBackend(card_.string(), false, backend).ok());
        CardDevice read_only(std::move(backend));
        CardWriteJob job = Job(source);
        const WriteRun run = Write(read_only, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Refused);
        EXPECT_NE(run.result.Message.English().find("read-only"), std::string::npos) << run.result.Message;
        EXPECT_TRUE(run.seen.empty());
    }
    {
        CardDevice device = OpenCard();
        CardWriteJob unmapped;
        const WriteRun run = Write(device, unmapped);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Refused);
    }
    // Nothing to store, whether the front end measured it or the worker
    // does: the card keeps the streams it holds.
    for (const bool measured : {false, true}) {
        CardDevice device = OpenCard();
        CardWriteJob job = Job(SourceStream{}.Nulls(2000));
        if (measured) job.Size = MeasureCardStream(job.Source, 0, false, [](std::uint64_t) { return true; });
        const WriteRun run = Write(device, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Refused);
        EXPECT_NE(run.result.Message.English().find("holds no packet to store (only null packets); nothing was written"),
                  std::string::npos)
            << run.result.Message;
        EXPECT_TRUE(run.seen.empty());
    }
    {
        // The header cannot be rebuilt: the old directory would describe
        // the new blocks wrongly, so none is written.
        CardDevice device = OpenCard();
        CardWriteJob job = Job(source);
        job.RebuildHeader = [] { return Status::Fail("card.img: cannot write 31232 bytes at offset 0: I/O error"); };
        const WriteRun run = Write(device, job);
        EXPECT_EQ(run.result.Ending, CardWriteEnding::Failed);
        EXPECT_NE(run.result.Message.English().find("no block was written"), std::string::npos) << run.result.Message;
        EXPECT_EQ(run.seen, std::vector<EventId>{EventId::evRefreshGauge});
        EXPECT_FALSE(job.Source.IsOpen());
    }
    EXPECT_EQ(test::ReadFileBytes(card_), before_);
}

TEST_F(CardWrite, AFailedDirectoryStoreIsNotAnnouncedAsFinished) {
    MakeCard(4 << 20);
    FailingBackend* control = nullptr;
    CardDevice device = OpenCard(1000000, &control);
    CardWriteJob job = Job(SourceStream{}.Stored(500));
    // The card goes after the blocks, before the directory is stored (the
    // header rebuild is the first write of the header region).
    control->PullCardBeforeHeaderWrite(2);
    const WriteRun run = Write(device, job);
    EXPECT_EQ(run.result.Ending, CardWriteEnding::Complete);
    EXPECT_FALSE(run.write.DirectoryStored);
    EXPECT_FALSE(run.write.WriteFinished);
    EXPECT_FALSE(run.write.DirectoryStatus.ok());
    EXPECT_NE(run.write.DirectoryStatus.message().find(card_.string()), std::string::npos);
    EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::CompleteErrWriteFile), 1);
    EXPECT_EQ(std::count(run.seen.begin(), run.seen.end(), EventId::CompleteWriteFile), 0);
    // The card keeps the rebuilt header and the blocks, with no entry.
    const std::vector<std::uint8_t> bytes = test::ReadFileBytes(card_);
    const std::vector<std::uint8_t> empty = test::EmptyRegion(true, kBitrate);
    EXPECT_TRUE(std::equal(empty.begin(), empty.end(), bytes.begin()));
    EXPECT_EQ(bytes[UnitOffset(0)], kSyncByte);
}

TEST_F(CardWrite, OnAWorkerThreadASecondWriteIsRefused) {
    MakeCard(8 << 20);
    CardDevice device = OpenCard();
    CardWriteJob job = Job(SourceStream{}.Stored(20000));
    CardWriteJob other = Job(SourceStream{}.Stored(10), 0, {}, "other.ts");
    CardWriteState write;
    NullEventSink events;
    StopFlag stop;
    CardWriteWorker writer;
    ASSERT_TRUE(writer.Start(job, device, write, events, stop).ok());
    EXPECT_FALSE(writer.Start(other, device, write, events, stop).ok());
    const CardWriteResult result = writer.Finish();
    EXPECT_EQ(result.Ending, CardWriteEnding::Complete) << result.Message;
    EXPECT_EQ(result.PacketsStored, 20000u);
    EXPECT_EQ(writer.ProgressPosition(), writer.ProgressMaximum());
    EXPECT_EQ(writer.ProgressMaximum(), 20000u * 188 / 65536);
    EXPECT_TRUE(other.Source.IsOpen());  // the refused job was not touched
}

TEST_F(CardWrite, VerifyFindsTheFirstUnitThatDoesNotReadBackAsWritten) {
    MakeCard(4 << 20);
    const SourceStream source = SourceStream{}.Stored(20 * 43).Nulls(5);
    {
        CardDevice device = OpenCard();
        CardWriteJob job = Job(source);
        ASSERT_EQ(Write(device, job).result.Ending, CardWriteEnding::Complete);
    }
    CardWriteJob again = Job(source);
    CardDevice device = OpenCard();
    const DirEntry entry = device.Directory.Records[0];
    StopFlag stop;
    CardVerifyResult verify = VerifyWrittenStream(device, entry, again.Source, 0, false, stop);
    EXPECT_TRUE(verify.Matches) << verify.Message;
    EXPECT_EQ(verify.BlocksCompared, 20u);

    // A card that lost a byte of unit 7.
    std::vector<std::uint8_t> bytes = test::ReadFileBytes(card_);
    const std::uint8_t written = bytes[UnitOffset(7) + 1000];
    bytes[UnitOffset(7) + 1000] ^= 0x01;
    test::WriteFileBytes(card_, bytes);
    verify = VerifyWrittenStream(device, entry, again.Source, 0, false, stop);
    EXPECT_FALSE(verify.Matches);
    char expected[160];
    std::snprintf(expected, sizeof expected,
                  "block 7 (unit 7, sector 173) differs from what was written at byte 1000: the card gives 0x%02X, "
                  "written was 0x%02X",
                  written ^ 0x01, written);
    EXPECT_NE(verify.Message.find(expected), std::string::npos) << verify.Message;
    EXPECT_EQ(verify.BlocksCompared, 7u);
}

TEST(CardWriteBitrate, OnlyDecimalWholeNumbersThatADvbAsiLinkCarries) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"120000", 120000u}, {"1", 1u}, {"213000", 213000u}, {"0004000", 4000u},
        {"0", std::nullopt}, {"213001", std::nullopt}, {"4294967295", std::nullopt},
        {"4294967296", std::nullopt}, {"99999999999", std::nullopt}, {"", std::nullopt}, {"-1", std::nullopt},
        {"+5", std::nullopt}, {" 5", std::nullopt}, {"5 ", std::nullopt}, {"1.5", std::nullopt},
        {"0x10", std::nullopt}, {"$10", std::nullopt}, {"1.2E+07", std::nullopt},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseCardBitrate(text), value) << text;
}

TEST(CardWriteSize, TheStreamIsComparedWithTheWholeDataAreaBlockForBlock) {
    // 241404 units: 1885.97 MB of data area.
    EXPECT_FALSE(StreamExceedsDataArea(std::int64_t(241404) * 8192, 241404));
    EXPECT_TRUE(StreamExceedsDataArea(std::int64_t(241405) * 8192, 241404));
    // Less than a whole MB over: it does not fit all the same.
    EXPECT_TRUE(StreamExceedsDataArea(std::int64_t(1885) * 1048576 + 1048575, 241404));
    EXPECT_FALSE(StreamExceedsDataArea(0, 1));
}

SourceStream Units192() {
    SourceStream source;
    source.Packet192 = true;
    return source;
}

TEST(CardStreamSize, NullPacketsTakeNoRoomAndTheCountIsWhatAWritePacks) {
    struct Case {
        const char* name;
        SourceStream source;
        std::uint64_t packets;
        std::uint64_t blocks;
    };
    const Case cases[] = {
        {"no null packets", SourceStream{}.Stored(100), 100, 3},
        {"mostly null packets", SourceStream{}.Nulls(5).Stored(43).Nulls(20000).Stored(1), 44, 2},
        {"null packets only", SourceStream{}.Nulls(3000), 0, 0},
        {"192-byte units", Units192().Stored(86).Nulls(7), 86, 2},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / "s.ts";
        test::WriteFileBytes(path, c.source.Bytes);
        File file;
        ASSERT_TRUE(File::OpenRead(path.string(), file).ok());
        SourceFile source;
        ASSERT_TRUE(source.Open(std::move(file)).ok());
        const CardStreamSize size =
            MeasureCardStream(source, 0, c.source.Packet192, [](std::uint64_t) { return true; });
        EXPECT_TRUE(size.Complete);
        EXPECT_EQ(size.PacketsStored, c.packets);
        EXPECT_EQ(size.Blocks, c.blocks);
        EXPECT_EQ(size.Blocks, test::PackInWindows(c.source.Bytes, c.source.Packet192).Blocks.size());
        EXPECT_EQ(size.Bytes(), std::int64_t(c.blocks) * 8192);
    }
}

}  // namespace
}  // namespace tscard
