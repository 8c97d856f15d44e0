#include "card/card_write_batch.h"

#include <cstring>

namespace tscard {

UnitBatchWriter::UnitBatchWriter(CardDevice& device, std::uint64_t first_unit, std::size_t batch_units)
    : device_(device),
      first_unit_(first_unit),
      capacity_(batch_units == 0 ? 1 : batch_units),
      buffers_{AlignedBuffer(capacity_ * kUnitSize), AlignedBuffer(capacity_ * kUnitSize)},
      thread_([this] { Transfers(); }) {}

UnitBatchWriter::~UnitBatchWriter() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return in_flight_ == nullptr; });
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::uint8_t* UnitBatchWriter::NewBlock() {
    if (lent_ == capacity_) {
        // On to the other buffer, once the card has taken what it held.
        lending_ ^= 1;
        lent_ = 0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return in_flight_ != buffers_[lending_].data(); });
    }
    return buffers_[lending_].data() + lent_++ * kUnitSize;
}

void UnitBatchWriter::WriteBlock(const std::uint8_t* block) {
    std::uint8_t* place = buffers_[filling_].data() + queued_ * kUnitSize;
    if (block != place) std::memcpy(place, block, kUnitSize);  // built elsewhere
    if (++queued_ == capacity_) Submit();
}

// Hands the filled buffer over once the previous transfer has ended, and
// goes on with the other one.
void UnitBatchWriter::Submit() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return in_flight_ == nullptr; });
        if (!failed_) {
            in_flight_ = buffers_[filling_].data();
            in_flight_units_ = queued_;
        }
    }
    changed_.notify_all();
    filling_ ^= 1;
    queued_ = 0;
}

void UnitBatchWriter::Transfers() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return in_flight_ != nullptr || quit_; });
        if (in_flight_ == nullptr) return;
        const std::uint8_t* data = in_flight_;
        const std::size_t count = in_flight_units_;
        const std::uint64_t unit = first_unit_ + units_on_card_;
        lock.unlock();
        std::size_t done = 0;
        const Status present = device_.CheckPresent();
        const Status status = present ? device_.WriteUnits(unit, count, data, &done) : present;
        lock.lock();
        units_on_card_ += done;
        if (!status) {
            failed_ = true;
            failure_ = status;
            card_gone_ = !present;
            card_end_ = present && device_.IsOpen() && UnitOffset(unit + done + 1) > device_.Backend().Length();
        }
        in_flight_ = nullptr;
        changed_.notify_all();
    }
}

Status UnitBatchWriter::Flush() {
    if (queued_ > 0) Submit();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return in_flight_ == nullptr; });
    return failed_ ? failure_ : Status::Ok();
}

bool UnitBatchWriter::Failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

Status UnitBatchWriter::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

bool UnitBatchWriter::ReachedCardEnd() const {
    std::lock_guard lock(mutex_);
    return card_end_;
}

bool UnitBatchWriter::CardGone() const {
    std::lock_guard lock(mutex_);
    return card_gone_;
}

bool UnitBatchWriter::CheckCard() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return in_flight_ == nullptr; });
    if (failed_) return false;
    const Status present = device_.CheckPresent();
    if (present) return true;
    failed_ = true;
    failure_ = present;
    card_gone_ = true;
    return false;
}

std::uint64_t UnitBatchWriter::UnitsOnCard() const {
    std::lock_guard lock(mutex_);
    return units_on_card_;
}

}  // namespace tscard
