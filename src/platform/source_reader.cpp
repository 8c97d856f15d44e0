#include "platform/source_reader.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace tscard {

Status SourceFile::Open(File file) {
    Close();
    std::uint64_t size = 0;
    if (Status st = file.Size(size); !st) return st;
    file_ = std::move(file);
    size_ = size;
    return Status::Ok();
}

File SourceFile::Take() {
    size_ = 0;
    return std::move(file_);
}

void SourceFile::Close() {
    file_.CloseQuietly();
    size_ = 0;
}

WindowReader::WindowReader(const SourceFile& source, std::uint64_t start, std::size_t window)
    : file_(source.Handle()), end_(source.Size()), window_(window), base_(start), handed_(start) {
    // Advice only: the system reads further ahead.
    if (file_.IsOpen()) static_cast<void>(::posix_fadvise(file_.Fd(), static_cast<off_t>(start), 0, POSIX_FADV_SEQUENTIAL));
}

bool WindowReader::Next(std::size_t keep, const std::uint8_t*& data, std::size_t& length) {
    if (Failed() || handed_ >= end_) return false;
    keep = std::min(keep, last_length_);
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(window_, end_ - handed_));
    if (handed_ + want > base_ + filled_ && !Fill(keep, want)) return false;
    data = buffer_.get() + (handed_ - keep - base_);
    length = keep + want;
    handed_ += want;
    last_length_ = length;
    return true;
}

// Moves the kept bytes (and any read beyond them) to the front of the
// buffer and reads behind them as much as fits, at least the window.
bool WindowReader::Fill(std::size_t keep, std::size_t want) {
    const std::uint64_t from = handed_ - keep;
    const auto held = static_cast<std::size_t>(base_ + filled_ - from);
    const std::size_t room = held + std::max(kReadBytes, want);
    if (capacity_ < room) {
        auto bigger = std::make_unique_for_overwrite<std::uint8_t[]>(room);
        if (held > 0) std::memcpy(bigger.get(), buffer_.get() + (from - base_), held);
        buffer_ = std::move(bigger);
        capacity_ = room;
    } else if (held > 0 && from != base_) {
        std::memmove(buffer_.get(), buffer_.get() + (from - base_), held);
    }
    base_ = from;
    filled_ = held;

    const std::uint64_t at = base_ + filled_;
    const auto len = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - filled_, end_ - at));
    const std::int64_t n = file_.ReadAt(at, buffer_.get() + filled_, len);
    if (n < 0) {
        error_ = Status::Fail(FileError(file_.Path(), N_("cannot read")));
        return false;
    }
    filled_ += static_cast<std::size_t>(n);
    // ReadAt stops short only at the end of the file: it ends before the
    // size the source was measured with.
    if (static_cast<std::size_t>(n) < len) {
        error_ = ShrankStatus(file_, end_);
        return false;
    }
    return handed_ + want <= base_ + filled_;
}

}  // namespace tscard
