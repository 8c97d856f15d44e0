#pragma once
// Reading consecutive units of a card in large batches, one batch ahead of
// the one being used: a second thread reads the next batch while the
// caller writes out the last. It is the only user of the card until the
// object goes.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "card/aligned_buffer.h"
#include "card/card_device.h"
#include "platform/status.h"

namespace tscard {

class UnitReadAhead {
public:
    static constexpr std::size_t kBatchUnits = 128;  // 1 MiB

    // Reads units first_unit to first_unit + units - 1.
    UnitReadAhead(CardDevice& device, std::uint64_t first_unit, std::uint64_t units,
                  std::size_t batch_units = kBatchUnits);
    // Waits for the read in progress, if any.
    ~UnitReadAhead();
    UnitReadAhead(const UnitReadAhead&) = delete;
    UnitReadAhead& operator=(const UnitReadAhead&) = delete;

    struct Batch {
        const std::uint8_t* Data = nullptr;  // Units whole units, valid until the next call
        std::size_t Units = 0;
        // Not ok: the unit after these could not be read, and nothing
        // follows. A batch of 0 units with an ok status: the end.
        Status Result;
    };
    // The next batch, in order. A batch that fails is retried unit by unit,
    // so every unit before the first unreadable one is given.
    Batch Next();

private:
    void Reads();

    CardDevice& device_;
    const std::uint64_t first_unit_;
    const std::uint64_t units_;
    const std::size_t capacity_;
    AlignedBuffer buffers_[2];

    std::mutex mutex_;
    std::condition_variable changed_;
    // Per buffer: read and not yet given out, with its result.
    bool ready_[2] = {false, false};
    bool in_use_[2] = {false, false};
    std::size_t units_in_[2] = {0, 0};
    Status result_[2];
    std::uint64_t next_batch_ = 0;  // the batch the caller takes next
    bool finished_ = false;          // the reading thread has nothing more to read
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace tscard
