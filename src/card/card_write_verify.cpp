#include "card/card_write_verify.h"

#include <algorithm>
#include <cstring>

#include "card/aligned_buffer.h"
#include "card/card_write_packer.h"
#include "platform/hex_text.h"

namespace tscard {
namespace {

// Takes the blocks of the packed source and compares each with the card's
// unit, reading the card in large batches.
class CompareSink final : public CopyingBlockSink {
public:
    static constexpr std::size_t kBatchUnits = 128;

    CompareSink(CardDevice& device, std::uint64_t first_unit, std::uint64_t blocks,
                const std::function<void(std::uint64_t, std::uint64_t)>& progress)
        : device_(device), first_unit_(first_unit), blocks_(blocks), progress_(progress),
          batch_(kBatchUnits * kUnitSize) {}

    bool Done() const { return !message_.empty() || compared_ == blocks_; }
    std::uint64_t Compared() const { return compared_; }
    const std::string& Message() const { return message_; }

    void WriteBlock(const std::uint8_t* block) override {
        if (Done()) return;
        if (compared_ == loaded_end_) Load();
        if (!message_.empty()) return;
        const std::uint8_t* on_card = batch_.data() + (compared_ - loaded_from_) * kUnitSize;
        if (std::memcmp(on_card, block, kUnitSize) != 0) {
            std::size_t at = 0;
            while (on_card[at] == block[at]) ++at;
            const std::uint64_t unit = first_unit_ + compared_;
            message_ = device_.Path() + ": block " + std::to_string(compared_) + " (unit " + std::to_string(unit) +
                       ", sector " + std::to_string(UnitToSector(unit)) + ") differs from what was written at byte " +
                       std::to_string(at) + ": the card gives " + HexText(on_card[at], 2) + ", written was " +
                       HexText(block[at], 2);
            return;
        }
        ++compared_;
        if (progress_) progress_(compared_, blocks_);
    }

private:
    void Load() {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBatchUnits, blocks_ - compared_));
        const Status status = device_.ReadUnits(first_unit_ + compared_, n, batch_.data());
        if (!status) {
            message_ = status.message();
            return;
        }
        loaded_from_ = compared_;
        loaded_end_ = compared_ + n;
    }

    CardDevice& device_;
    const std::uint64_t first_unit_;
    const std::uint64_t blocks_;
    const std::function<void(std::uint64_t, std::uint64_t)>& progress_;
    AlignedBuffer batch_;
    std::uint64_t compared_ = 0;
    std::uint64_t loaded_from_ = 0;
    std::uint64_t loaded_end_ = 0;
    std::string message_;
};

}  // namespace

CardVerifyResult VerifyWrittenStream(CardDevice& device, const DirEntry& entry, const SourceFile& source,
                                     std::uint64_t start, bool packet192, StopFlag& stop,
                                     const std::function<void(std::uint64_t done, std::uint64_t total)>& progress) {
    CardVerifyResult result;
    if (entry.IsFree() || entry.StartSector < kFirstDataSector) {
        result.Message = device.Path() + ": the entry describes no blocks";
        return result;
    }
    if (!source.IsOpen() || start > source.Size()) {
        result.Message = device.Path() + ": the source is not open for the comparison";
        return result;
    }
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    CompareSink sink(device, SectorToUnit(entry.StartSector), blocks, progress);
    CardPacker packer(packet192, sink);
    const PackEnd packed = PackSource(packer, source, start, [&](std::uint64_t) {
        if (stop.TakeIfSet()) result.Stopped = true;
        return !result.Stopped && !sink.Done();
    });
    result.BlocksCompared = sink.Compared();
    if (!packed.Read) {
        result.Message = packed.Read.message();
    } else if (result.Stopped) {
        result.Message = device.Path() + ": the comparison was stopped after " + std::to_string(sink.Compared()) +
                         " blocks";
    } else if (!sink.Message().empty()) {
        result.Message = sink.Message();
    } else if (sink.Compared() < blocks) {
        result.Message = device.Path() + ": the entry counts " + std::to_string(blocks) +
                         " blocks, the source packs into " + std::to_string(sink.Compared());
    } else {
        result.Matches = true;
    }
    return result;
}

}  // namespace tscard
