#include "ts/unit_reader.h"

namespace tscard {

UnitReader::UnitReader(const File& file, std::uint64_t start, std::size_t unit_size, std::size_t units_per_read,
                       std::uint64_t measured)
    : file_(file), buffer_(unit_size * units_per_read), unit_(unit_size), offset_(start), size_(measured) {
    // Unknown, the shrink goes unnoticed; a read error is still told.
    if (size_ == 0 && !file.Size(size_)) size_ = 0;
}

bool UnitReader::Fill() {
    if (done_) return false;
    const std::int64_t n = file_.ReadAt(offset_, buffer_.data(), buffer_.size());
    if (n < 0) {
        failed_ = true;
        done_ = true;
        error_ = FileError(file_.Path(), N_("cannot read"));
        return false;
    }
    // ReadAt fills the buffer unless the file ends: whole units only.
    const std::size_t whole = static_cast<std::size_t>(n) / unit_ * unit_;
    if (static_cast<std::size_t>(n) < buffer_.size()) {
        done_ = true;
        if (offset_ + static_cast<std::uint64_t>(n) < size_) {
            failed_ = true;
            error_ = ShrankStatus(file_, size_).words();
            return false;
        }
    }
    offset_ += static_cast<std::uint64_t>(n);
    at_ = 0;
    end_ = whole;
    return whole > 0;
}

}  // namespace tscard
