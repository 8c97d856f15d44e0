#pragma once
// Blocks of a stream go to consecutive units of the card. Writing them one
// 8 KiB unit per call is slow on real cards, so they are built in place in
// aligned batches of about 1 MiB and each batch goes out in one transfer;
// the bytes and their order on the card are the same as block by block.
// A second thread does the transfers, so that packing the next batch goes
// on while the card takes the last one; it is the only user of the card
// from the first block until Flush returns.
//
// After the first failed transfer nothing more is written: the card then
// holds exactly the blocks counted by UnitsOnCard, one after the other
// from the first unit, and an entry made from that count describes them.
// Before each transfer the card must still be there (CheckPresent): a
// pulled card, or an image deleted or cut short under the write, fails it
// as a write to it would, and CardGone says so.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "card/aligned_buffer.h"
#include "card/card_device.h"
#include "card/card_write_packer.h"
#include "platform/status.h"

namespace tscard {

class UnitBatchWriter final : public BlockSink {
public:
    static constexpr std::size_t kBatchUnits = 128;  // 1 MiB

    UnitBatchWriter(CardDevice& device, std::uint64_t first_unit, std::size_t batch_units = kBatchUnits);
    // Waits for the transfer in progress; blocks still queued are dropped
    // (Flush first to write them).
    ~UnitBatchWriter() override;
    UnitBatchWriter(const UnitBatchWriter&) = delete;
    UnitBatchWriter& operator=(const UnitBatchWriter&) = delete;

    // The next unit's place in a batch.
    std::uint8_t* NewBlock() override;
    // WriteBlock: queues the block for the next unit; a full batch goes to
    // the card while the next one fills. Dropped after a failure.
    void WriteBlock(const std::uint8_t* block) override;
    // Writes the blocks still queued and waits until every transfer has
    // ended. Returns the first failure, if any.
    Status Flush();

    bool Failed() const;
    Status Failure() const;
    // True when the failure came where the card ends: the units that would
    // have come next do not exist.
    bool ReachedCardEnd() const;
    // True when the failure was the card gone.
    bool CardGone() const;
    // After Flush: looks once more whether the card is there; false (and
    // failed, CardGone) when it has gone.
    bool CheckCard();
    // Blocks that reached the card (queued and in-flight ones not yet).
    std::uint64_t UnitsOnCard() const;

private:
    void Submit();
    void Transfers();

    CardDevice& device_;
    const std::uint64_t first_unit_;
    const std::size_t capacity_;
    AlignedBuffer buffers_[2];
    int filling_ = 0;         // the buffer whose blocks are being finished
    std::size_t queued_ = 0;  // finished blocks in it
    int lending_ = 0;         // the buffer new blocks are lent from
    std::size_t lent_ = 0;    // blocks lent from it

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    const std::uint8_t* in_flight_ = nullptr;  // the batch the transfer thread has
    std::size_t in_flight_units_ = 0;
    bool quit_ = false;
    std::uint64_t units_on_card_ = 0;
    bool failed_ = false;
    bool card_end_ = false;
    bool card_gone_ = false;
    Status failure_;
    std::thread thread_;
};

}  // namespace tscard
