#include "card/failing_backend.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "card/card_layout.h"

namespace tscard {

FailingBackend::FailingBackend(std::unique_ptr<CardBackend> inner, std::uint64_t units_before_failure)
    : inner_(std::move(inner)), units_left_(units_before_failure) {}

IoResult FailingBackend::ReadAt(std::uint64_t offset, void* buffer, std::size_t len) {
    if (pulled_) return {0, ENODEV};
    return inner_->ReadAt(offset, buffer, len);
}

IoResult FailingBackend::WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) {
    if (offset < kHeaderRegionBytes && ++header_writes_ == pull_at_header_write_) pulled_ = true;
    if (pulled_) return {0, ENODEV};
    if (offset + len <= kHeaderRegionBytes) return inner_->WriteAt(offset, buffer, len);
    // Units of the data area this write touches, whole or in part.
    const std::uint64_t data_start = std::max<std::uint64_t>(offset, kHeaderRegionBytes);
    const std::uint64_t first_unit = (data_start - kHeaderRegionBytes) / kUnitSize;
    const std::uint64_t end_unit = (offset + len - kHeaderRegionBytes + kUnitSize - 1) / kUnitSize;
    const std::uint64_t touched = end_unit - first_unit;
    if (touched <= units_left_) {
        IoResult result = inner_->WriteAt(offset, buffer, len);
        units_left_ -= touched;
        units_written_ += touched;
        return result;
    }
    // Write what the budget allows, up to a unit boundary, then fail.
    const std::uint64_t allowed_end = UnitOffset(first_unit + units_left_);
    const std::size_t allowed = allowed_end > offset ? static_cast<std::size_t>(allowed_end - offset) : 0;
    IoResult result{0, 0};
    if (allowed > 0) result = inner_->WriteAt(offset, buffer, allowed);
    units_written_ += units_left_;
    units_left_ = 0;
    if (result.error == 0) result.error = EIO;
    return result;
}

Status FailingBackend::Flush() {
    if (pulled_) return Status::Fail(Path() + ": the card was removed");
    return inner_->Flush();
}

Status FailingBackend::CheckPresent() {
    if (pulled_) return Status::Fail(Path() + ": the card was removed");
    return inner_->CheckPresent();
}

}  // namespace tscard
