#include "card/card_write_batch.h"

#include <cstring>

namespace tscard {

UnitBatchWriter::UnitBatchWriter(CardDevice& device, std::uint64_t first_unit, std::size_t batch_units)
    : device_(device),
      first_unit_(first_unit),
      capacity_(batch_units == 0 ? 1 : batch_units),
      batch_(capacity_ * kUnitSize) {}

void UnitBatchWriter::WriteBlock(const std::uint8_t* block) {
    if (failed_) return;
    std::memcpy(batch_.data() + queued_ * kUnitSize, block, kUnitSize);
    if (++queued_ == capacity_) Flush();
}

Status UnitBatchWriter::Flush() {
    if (failed_) return failure_;
    if (queued_ == 0) return Status::Ok();
    const std::uint64_t unit = first_unit_ + units_on_card_;
    std::size_t done = 0;
    const Status status = device_.WriteUnits(unit, queued_, batch_.data(), &done);
    units_on_card_ += done;
    queued_ = 0;
    if (!status) {
        failed_ = true;
        failure_ = status;
        const std::uint64_t failed_unit = unit + done;
        card_end_ = device_.IsOpen() && UnitOffset(failed_unit + 1) > device_.Backend().Length();
    }
    return status;
}

}  // namespace tscard
