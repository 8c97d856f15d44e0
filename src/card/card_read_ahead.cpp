#include "card/card_read_ahead.h"

#include <algorithm>

namespace tscard {

UnitReadAhead::UnitReadAhead(CardDevice& device, std::uint64_t first_unit, std::uint64_t units,
                             std::size_t batch_units)
    : device_(device),
      first_unit_(first_unit),
      units_(units),
      capacity_(batch_units == 0 ? 1 : batch_units),
      buffers_{AlignedBuffer(capacity_ * kUnitSize), AlignedBuffer(capacity_ * kUnitSize)},
      thread_([this] { Reads(); }) {}

UnitReadAhead::~UnitReadAhead() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void UnitReadAhead::Reads() {
    for (std::uint64_t batch = 0;; ++batch) {
        const std::uint64_t done_units = batch * capacity_;
        if (done_units >= units_) break;
        const int b = static_cast<int>(batch % 2);
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return quit_ || (!ready_[b] && !in_use_[b]); });
            if (quit_) return;
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_, units_ - done_units));
        std::uint8_t* data = buffers_[b].data();
        std::size_t good = 0;
        Status status = device_.ReadUnits(first_unit_ + done_units, n, data, &good);
        // A failed batch is read again unit by unit up to the first unit
        // that cannot be read.
        for (; !status && good < n; ++good) {
            const Status single = device_.ReadUnit(first_unit_ + done_units + good, data + good * kUnitSize);
            if (!single) {
                status = single;
                break;
            }
            if (good + 1 == n) status = Status::Ok();
        }
        {
            std::lock_guard lock(mutex_);
            ready_[b] = true;
            units_in_[b] = good;
            result_[b] = status;
        }
        changed_.notify_all();
        if (!status) break;
    }
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

UnitReadAhead::Batch UnitReadAhead::Next() {
    std::unique_lock lock(mutex_);
    // The batch given out before is done with: its buffer is free again.
    if (next_batch_ > 0) in_use_[(next_batch_ - 1) % 2] = false;
    changed_.notify_all();
    const int b = static_cast<int>(next_batch_ % 2);
    changed_.wait(lock, [&] { return ready_[b] || finished_; });
    Batch batch;
    if (!ready_[b]) return batch;  // the end
    ready_[b] = false;
    in_use_[b] = true;
    ++next_batch_;
    batch.Data = buffers_[b].data();
    batch.Units = units_in_[b];
    batch.Result = result_[b];
    return batch;
}

}  // namespace tscard
