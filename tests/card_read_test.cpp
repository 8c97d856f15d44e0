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
                        std::string output = {}, std::unique_ptr<CardBackend> backend = nullptr) {
        if (!backend) {
            EXPECT_TRUE(OpenImageFileBackend(card_.string(), false, backend).ok());
        }
        CardDevice device(std::move(backend));
        CardReadJob job;
        job.ReadEntryIndex = index;
        job.Form = form;
        job.Progress = std::move(progress);
        job.OutputPath = output.empty() ? out_.string() : output;
        StopFlag stop;
        stop_ = &stop;
        CardReadWorker reader;
        CardReadResult result = reader.Run(job, device, stop);
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

// A card whose reads fail from a byte offset on, as a failing medium's.
class ReadsFailFrom final : public CardBackend {
public:
    ReadsFailFrom(std::unique_ptr<CardBackend> inner, std::uint64_t limit) : inner_(std::move(inner)), limit_(limit) {}
    const std::string& Path() const override { return inner_->Path(); }
    std::uint64_t Length() const override { return inner_->Length(); }
    bool Writable() const override { return false; }
    IoResult ReadAt(std::uint64_t offset, void* buffer, std::size_t len) override {
        if (offset + len <= limit_) return inner_->ReadAt(offset, buffer, len);
        IoResult partial = offset < limit_ ? inner_->ReadAt(offset, buffer, limit_ - offset) : IoResult{};
        partial.error = EIO;
        return partial;
    }
    IoResult WriteAt(std::uint64_t, const void*, std::size_t) override { return IoResult{0, EROFS}; }
    Status Flush() override { return Status::Ok(); }
    Status CheckPresent() override { return Status::Ok(); }

private:
    std::unique_ptr<CardBackend> inner_;
    std::uint64_t limit_;
};

TEST_F(CardRead, AnUnreadableBlockEndsTheCopyAndKeepsNoPartOfIt) {
    // 140 blocks; reads fail from unit 131 on, in the second batch.
    const test::Packed packed = test::PackInWindows(SourceStream{}.Stored(140 * 43).Bytes, false);
    MakeCard(packed.Blocks, 0, 0, 140);
    const std::vector<std::uint8_t> old = {1, 2, 3};
    test::WriteFileBytes(out_, old);
    std::unique_ptr<CardBackend> image;
    ASSERT_TRUE(OpenImageFileBackend(card_.string(), false, image).ok());
    const CardReadResult result =
        Read(CardReadForm::Compressed, 0, {}, {}, std::make_unique<ReadsFailFrom>(std::move(image), UnitOffset(131)));
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_EQ(result.BlocksRead, 131u);
    EXPECT_FALSE(result.OutputKept);
    EXPECT_NE(result.Message.English().find("block 131 of stream 0 (unit 131, sector 2157) cannot be read"), std::string::npos)
        << result.Message;
    EXPECT_NE(result.Message.English().find(card_.string()), std::string::npos) << result.Message;
    EXPECT_EQ(test::ReadFileBytes(out_), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2) << "no partial file left";
}

TEST_F(CardRead, AnEntryThatDoesNotFitTheCardIsRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        std::uint32_t start_sector;
        std::uint32_t length;
        std::uint8_t last_slot;
        const char* message;
    };
    const Case cases[] = {
        {"inside a block", 61 + 8, 0, 0, "it starts at sector 69, inside a block"},
        {"last slot outside a block", 61, 0, 43, "its last slot 43 lies outside a block of 43 slots"},
        {"past the card's end", 61 + 16 * 60, 4, 0, "its 5 blocks from block 60 run past the card's data area of 64 blocks"},
        {"a length that wraps", 61 + 16 * 10, 0xFFFFFFFE, 0,
         "its 4294967295 blocks from block 10 run past the card's data area of 64 blocks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> region = test::EmptyRegion(true, 1000);
        region[1] = 1;
        test::PutEntry(region, 0, c.start_sector, c.length, c.last_slot, "bad.ts");
        test::MakeImage(card_, kHeaderRegionBytes + 64 * kUnitSize, 0xFF, region);
        test::WriteFileBytes(out_, {1, 2, 3});
        const CardReadResult result = Read(CardReadForm::Original);
        EXPECT_EQ(result.Ending, CardReadEnding::Failed);
        EXPECT_NE(result.Message.English().find("the directory entry of stream 0 does not fit the card: " + std::string(c.message)),
                  std::string::npos)
            << result.Message;
        EXPECT_EQ(result.BlocksRead, 0u);
        EXPECT_EQ(test::ReadFileBytes(out_), (std::vector<std::uint8_t>{1, 2, 3}));
    }
}

TEST_F(CardRead, ABlockThatHoldsNoStreamDataEndsTheCopyInsteadOfBeingExpanded) {
    // Three blocks recorded; the second is erased (0xFF, whose trailers
    // would read as 65535 null packets each) or holds foreign data.
    const test::Packed packed = test::PackInWindows(SourceStream{}.Stored(3 * 43).Bytes, false);
    struct Case {
        const char* what;
        std::uint8_t fill;
        std::size_t block;
        const char* message;
    };
    const Case cases[] = {
        {"erased", 0xFF, 1, "block 1 of stream 0 (unit 1, sector 77) holds no stream data (slot 0 does not start with 0x47: erased)"},
        {"foreign", 0x5A, 1, "block 1 of stream 0 (unit 1, sector 77) holds no stream data (slot 0 does not start with 0x47)"},
        {"erased final block", 0xFF, 2, "block 2 of stream 0 (unit 2, sector 93) holds no stream data"},
    };
    for (const Case& c : cases) {
        for (const CardReadForm form : {CardReadForm::Original, CardReadForm::Compressed}) {
            SCOPED_TRACE(std::string(c.what) + (form == CardReadForm::Original ? " original" : " compressed"));
            std::vector<CardBlock> blocks = packed.Blocks;
            blocks[c.block].fill(c.fill);
            MakeCard(blocks, 0);
            std::filesystem::remove(out_);
            const CardReadResult result = Read(form);
            EXPECT_EQ(result.Ending, CardReadEnding::Failed);
            EXPECT_NE(result.Message.English().find(c.message), std::string::npos) << result.Message;
            EXPECT_EQ(result.BlocksRead, c.block);
            EXPECT_FALSE(result.OutputKept);
            EXPECT_FALSE(std::filesystem::exists(out_));
        }
    }
    // A slot further into a block counts as well.
    std::vector<CardBlock> blocks = packed.Blocks;
    std::fill(blocks[0].begin() + kSlotSize * 20, blocks[0].begin() + kSlotSize * 21, 0xFF);
    MakeCard(blocks, 0);
    const CardReadResult result = Read(CardReadForm::Original);
    EXPECT_NE(result.Message.English().find("block 0 of stream 0 (unit 0, sector 61) holds no stream data (slot 20"), std::string::npos)
        << result.Message;
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
    // An output that cannot take the data: a device that is always full.
    CardReadResult result;
    if (test::MakeMemoryDevice(dir_ / "full", test::MemoryDevice::Full)) {
        result = Read(CardReadForm::Compressed, 0, {}, (dir_ / "full").string());
        EXPECT_EQ(result.Ending, CardReadEnding::Failed);
        EXPECT_NE(result.Message.English().find((dir_ / "full").string() + ": cannot write"), std::string::npos) << result.Message;
        EXPECT_TRUE(result.WrittenInPlace);
    }
    // An output in a folder that does not exist.
    result = Read(CardReadForm::Compressed, 0, {}, (dir_ / "none" / "out.ts").string());
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.English().find("out.ts: cannot create the output"), std::string::npos) << result.Message;

    result = Read(CardReadForm::Original, 2);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.English().find("there is no stream 2 (the card holds 2 streams)"), std::string::npos)
        << result.Message;

    test::MakeImage(card_, 1 << 20, 0x00);
    result = Read(CardReadForm::Original);
    EXPECT_EQ(result.Ending, CardReadEnding::Failed);
    EXPECT_NE(result.Message.English().find("Mast be formated"), std::string::npos) << result.Message;
}

TEST_F(CardRead, OnAWorkerThread) {
    const SourceStream source = SourceStream{}.Stored(1000).Nulls(7);
    const test::Packed packed = test::PackInWindows(source.Bytes, false);
    MakeCard(packed.Blocks, ExtentOfPackets(1000).LastSlot);
    std::unique_ptr<CardBackend> backend;
    ASSERT_TRUE(OpenImageFileBackend(card_.string(), false, backend).ok());
    CardDevice device(std::move(backend));
    CardReadJob job;
    job.Form = CardReadForm::Original;
    job.OutputPath = out_.string();
    StopFlag stop;
    CardReadWorker reader;
    ASSERT_TRUE(reader.Start(job, device, stop).ok());
    EXPECT_FALSE(reader.Start(job, device, stop).ok());
    const CardReadResult result = reader.Finish();
    EXPECT_EQ(result.Ending, CardReadEnding::Complete) << result.Message;
    EXPECT_TRUE(test::ReadFileBytes(out_) == OriginalOf(source.Packets));
}

}  // namespace
}  // namespace tscard
