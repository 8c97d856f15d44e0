// Reading a stream back from a card image: "Compressed" (the stored
// blocks) and "Original" (rebuilt with NullPacket copies), the trailer and
// final-block rules, stops, unreadable blocks and outputs that fail.

#include <fcntl.h>
#include <gtest/gtest.h>

#include "card/card_read.h"
#include "card_test_util.h"
#include "card_write_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::SourceStream;

// The source's packets from its first stored one on, each null packet
// replaced by the image of NullPacket.
std::vector<std::uint8_t> OriginalOf(const std::vector<Packet>& packets) {
    std::vector<std::uint8_t> out;
    bool started = false;
    for (const Packet& p : packets) {
        const bool null = test::IsNull(p);
        started = started || !null;
        if (!started) continue;
        const Packet& image = null ? NullPacket() : p;
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}

class CardRead : public ::testing::Test {
protected:
    // A card holding the packed blocks at first_unit, recorded as entry 0
    // (a second entry, elsewhere, makes sure the index is used).
    void MakeCard(const std::vector<CardBlock>& blocks, std::uint8_t last_slot, std::uint64_t first_unit = 0,
                  std::uint64_t card_units = 64) {
        std::vector<std::uint8_t> region = test::EmptyRegion(true, 120000);
        region[1] = 2;
        test::PutEntry(region, 0, static_cast<std::uint32_t>(UnitToSector(first_unit)),
                       static_cast<std::uint32_t>(blocks.size() - 1), last_slot, "stream.ts");
        test::PutEntry(region, 1, static_cast<std::uint32_t>(UnitToSector(60)), 0, 0, "other.ts");
        test::MakeImage(card_, kHeaderRegionBytes + card_units * kUnitSize, 0x5A, region);
        std::vector<std::uint8_t> image = test::ReadFileBytes(card_);
        for (std::size_t b = 0; b < blocks.size() && UnitOffset(first_unit + b) < image.size(); ++b)
            std::copy(blocks[b].begin(), blocks[b].end(),
                      image.begin() + static_cast<std::ptrdiff_t>(UnitOffset(first_unit + b)));
        test::WriteFileBytes(card_, image);
    }

    CardReadResult Read(CardReadForm form, std::uint8_t index = 0, std::function<void(std::uint64_t, std::uint64_t)> progress = {},
                        File* output = nullptr) {
        std::unique_ptr<CardBackend> backend;
        EXPECT_TRUE(OpenImageFileBackend(card_.string(), false, backend).ok());
        CardDevice device(std::move(backend));
        File out;
        if (output == nullptr) {
            EXPECT_TRUE(File::Create(out_.string(), out).ok());
            output = &out;
        }
        CardReadJob job;
        job.ReadEntryIndex = index;
        job.Form = form;
        job.Progress = std::move(progress);
        StopFlag stop;
        stop_ = &stop;
        CardReadWorker reader;
        CardReadResult result = reader.Run(job, device, *output, stop);
        stop_ = nullptr;
        EXPECT_FALSE(stop.IsSet());
        return result;
    }

    std::vector<std::uint8_t> Units(std::uint64_t first, std::uint64_t count) const {
        const std::vector<std::uint8_t> image = test::ReadFileBytes(card_);
        return std::vector<std::uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(UnitOffset(first)),
                                         image.begin() + static_cast<std::ptrdiff_t>(UnitOffset(first + count)));
    }

    test::TempDir dir_;
    std::filesystem::path card_ = dir_ / "card.img";
    std::filesystem::path out_ = dir_ / "out.ts";
    StopFlag* stop_ = nullptr;
};

TEST_F(CardRead, OriginalRebuildsTheSourceAndCompressedIsTheStoredUnits) {
    struct Case {
        const char* name;
        SourceStream source;
        std::uint64_t first_unit;
    };
    std::vector<Case> cases;
    cases.push_back({"100 packets with nulls", SourceStream{}.Nulls(4).Stored(30).Nulls(5).Stored(70).Nulls(3), 0});
    cases.push_back({"a full final block", SourceStream{}.Stored(86).Nulls(2), 0});
    cases.push_back({"one packet in the final block", SourceStream{}.Stored(43).Nulls(1).Stored(1), 0});
    cases.push_back({"one packet, trailing nulls", SourceStream{}.Stored(44).Nulls(9), 0});
    cases.push_back({"a stream that does not start at unit 0", SourceStream{}.Stored(200).Nulls(1), 7});
    cases.push_back({"batches of units and long null runs", SourceStream{}.Stored(6000).Nulls(16000).Stored(10), 0});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Packed packed = test::PackInWindows(c.source.Bytes, false);
        const StreamExtent extent = ExtentOfPackets(packed.PacketsStored);
        MakeCard(packed.Blocks, extent.LastSlot, c.first_unit, 200);

        CardReadResult result = Read(CardReadForm::Original);
        ASSERT_EQ(result.Ending, CardReadEnding::Complete) << result.Message;
        EXPECT_EQ(result.Blocks, extent.Blocks);
        EXPECT_EQ(result.BlocksRead, extent.Blocks);
        const std::vector<std::uint8_t> original = OriginalOf(c.source.Packets);
        EXPECT_EQ(result.BytesWritten, original.size());
        EXPECT_TRUE(test::ReadFileBytes(out_) == original);

        result = Read(CardReadForm::Compressed);
        ASSERT_EQ(result.Ending, CardReadEnding::Complete) << result.Message;
        EXPECT_EQ(result.BytesWritten, extent.Blocks * kUnitSize);
        EXPECT_TRUE(test::ReadFileBytes(out_) == Units(c.first_unit, extent.Blocks));
    }
}

TEST(CardReadRebuild, TrailerRuleAndTheFinalBlockEndingAtTheFirstFreeSlot) {
    test::TempDir dir;
    CardBlock block;
    block.fill(0xFF);
    for (std::size_t s = 0; s < 3; ++s) std::copy_n(test::NumberedPacket(static_cast<std::uint32_t>(s)).begin(), kPacketSize, block.begin() + kSlotSize * s);
    WriteTrailer(block.data(), 0, 0x4800);  // bits 14 and 11 cleared: 0
    WriteTrailer(block.data(), 1, 0x0005);
    WriteTrailer(block.data(), 2, 0x3FFF);
    struct Case {
        const char* name;
        std::size_t slots;
        bool final_block;
        std::function<void(CardBlock&)> change;
        std::size_t packets;
        std::size_t nulls;
    };
    const Case cases[] = {
        {"three slots", 3, false, {}, 3, 5 + 0x3FFF},
        {"final block with three packets read as full", 43, true, {}, 3, 5 + 0x3FFF},
        {"free slot with a dropped null image", 43, true,
         [](CardBlock& b) { std::copy_n(NullPacket().begin(), kPacketSize, b.begin() + kSlotSize * 3); }, 3,
         5 + 0x3FFF},
        {"final block with one packet", 43, true,
         [](CardBlock& b) { std::fill(b.begin() + kSlotSize, b.begin() + kSlotSize * 3, 0xFF); }, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CardBlock b = block;
        if (c.change) c.change(b);
        File out;
        ASSERT_TRUE(File::Create((dir / "out").string(), out).ok());
        {
            BlockWriter writer(out);
            RebuildBlock(b.data(), c.slots, c.final_block, writer);
            ASSERT_TRUE(writer.Flush().ok());
            EXPECT_EQ(writer.BytesWritten(), (c.packets + c.nulls) * kPacketSize);
        }
        const std::vector<Packet> packets = test::SplitPackets(test::ReadFileBytes(dir / "out"));
        std::size_t nulls = 0;
        for (const Packet& p : packets) nulls += p == NullPacket() ? 1 : 0;
        EXPECT_EQ(nulls, c.nulls);
        EXPECT_EQ(packets.size() - nulls, c.packets);
        if (c.packets == 3) {
            EXPECT_EQ(packets[1], test::NumberedPacket(1));  // no null after slot 0
        }
    }
}

TEST_F(CardRead, AnUnreadableBlockEndsTheCopyAfterTheBlocksBeforeIt) {
    // The entry claims 140 blocks; the card ends after 131 units, in the
    // second batch of reads.
    const test::Packed packed = test::PackInWindows(SourceStream{}.Stored(140 * 43).Bytes, false);
    MakeCard(packed.Blocks, 0, 0, 131);
    const CardReadResult result = Read(CardReadForm::Compressed);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_EQ(result.BlocksRead, 131u);
    EXPECT_NE(result.Message.find("block 131 of stream 0 (unit 131, sector 2157) cannot be read"), std::string::npos)
        << result.Message;
    EXPECT_NE(result.Message.find(card_.string()), std::string::npos) << result.Message;
    EXPECT_TRUE(test::ReadFileBytes(out_) == Units(0, 131));
}

TEST_F(CardRead, AStopEndsTheCopyAfterTheCurrentBlock) {
    const SourceStream source = SourceStream{}.Stored(10 * 43).Nulls(50);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    MakeCard(packed.Blocks, 0);
    std::vector<std::uint64_t> steps;
    const CardReadResult result = Read(CardReadForm::Original, 0, [&](std::uint64_t done, std::uint64_t total) {
        steps.push_back(done);
        EXPECT_EQ(total, 10u);
        if (done == 3) stop_->Request();
    });
    EXPECT_EQ(result.Ending, CardReadEnding::Stopped);
    EXPECT_EQ(result.BlocksRead, 3u);
    EXPECT_EQ(steps, (std::vector<std::uint64_t>{1, 2, 3}));
    const std::vector<std::uint8_t> original = OriginalOf(source.Packets);
    EXPECT_TRUE(test::ReadFileBytes(out_) ==
                std::vector<std::uint8_t>(original.begin(), original.begin() + 3 * 43 * kPacketSize));
}

TEST_F(CardRead, FailuresNameWhatWentWrong) {
    const test::Packed packed = test::PackInWindows(SourceStream{}.Stored(300).Bytes, false);
    MakeCard(packed.Blocks, ExtentOfPackets(300).LastSlot);
    // An output that cannot take the data.
    File full = File::Adopt(::open("/dev/full", O_WRONLY | O_CLOEXEC), "/dev/full");
    ASSERT_TRUE(full.IsOpen());
    CardReadResult result = Read(CardReadForm::Compressed, 0, {}, &full);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.find("/dev/full"), std::string::npos) << result.Message;

    result = Read(CardReadForm::Original, 2);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.find("there is no stream 2 (the card holds 2 streams)"), std::string::npos)
        << result.Message;

    test::MakeImage(card_, 1 << 20, 0x00);
    result = Read(CardReadForm::Original);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.find("Mast be formated"), std::string::npos) << result.Message;
}

TEST_F(CardRead, OnAWorkerThread) {
    const SourceStream source = SourceStream{}.Stored(1000).Nulls(7);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    MakeCard(packed.Blocks, ExtentOfPackets(1000).LastSlot);
    std::unique_ptr<CardBackend> backend;
    ASSERT_TRUE(OpenImageFileBackend(card_.string(), false, backend).ok());
    CardDevice device(std::move(backend));
    File out;
    ASSERT_TRUE(File::Create(out_.string(), out).ok());
    CardReadJob job;
    job.Form = CardReadForm::Original;
    StopFlag stop;
    CardReadWorker reader;
    ASSERT_TRUE(reader.Start(job, device, out, stop).ok());
    EXPECT_FALSE(reader.Start(job, device, out, stop).ok());
    const CardReadResult result = reader.Finish();
    EXPECT_EQ(result.Ending, CardReadEnding::Complete) << result.Message;
    EXPECT_TRUE(test::ReadFileBytes(out_) == OriginalOf(source.Packets));
}

}  // namespace
}  // namespace tscard
