#pragma once
// Blocks of a stream go to consecutive units of the card. Writing them one
// 8 KiB unit per call is slow on real cards, so they are gathered into
// aligned batches of about 1 MiB and each batch goes out in one transfer;
// the bytes and their order on the card are the same as block by block.
//
// After the first failed transfer nothing more is written: the card then
// holds exactly the blocks counted by UnitsOnCard, one after the other
// from the first unit, and an entry made from that count describes them.

#include <cstddef>
#include <cstdint>

#include "card/aligned_buffer.h"
#include "card/card_device.h"
#include "card/card_write_packer.h"
#include "platform/status.h"

namespace tscard {

class UnitBatchWriter final : public BlockSink {
public:
    static constexpr std::size_t kBatchUnits = 128;  // 1 MiB

    UnitBatchWriter(CardDevice& device, std::uint64_t first_unit, std::size_t batch_units = kBatchUnits);

    // WriteBlock: queues the block for the next unit; the batch goes out
    // when it is full. Dropped after a failure.
    void WriteBlock(const std::uint8_t* block) override;
    // Writes the blocks still queued. Returns the first failure, if any.
    Status Flush();

    bool Failed() const { return failed_; }
    const Status& Failure() const { return failure_; }
    // True when the failure came where the card ends: the units that would
    // have come next do not exist.
    bool ReachedCardEnd() const { return card_end_; }
    // Blocks that reached the card (queued ones not yet).
    std::uint64_t UnitsOnCard() const { return units_on_card_; }

private:
    CardDevice& device_;
    const std::uint64_t first_unit_;
    const std::size_t capacity_;
    AlignedBuffer batch_;
    std::size_t queued_ = 0;
    std::uint64_t units_on_card_ = 0;
    bool failed_ = false;
    bool card_end_ = false;
    Status failure_;
};

}  // namespace tscard
