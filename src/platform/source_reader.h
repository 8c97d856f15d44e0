#pragma once
// Reading a stream source front to back with plain reads. A source is never
// mapped: a file that shrinks (or is truncated to 0) under a mapping kills
// the process at the first page that is gone. A reader goes up to the size
// the source had when it was measured, and a source that ends before that
// size shrank while it was read: the reader fails, naming the file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

// An open source and its size when it was opened (a block device's from
// the device).
class SourceFile {
public:
    // Takes the open file over and measures it; not ok (and nothing kept)
    // when the size cannot be read.
    Status Open(File file);
    bool IsOpen() const { return file_.IsOpen(); }
    const File& Handle() const { return file_; }
    const std::string& Path() const { return file_.Path(); }
    std::uint64_t Size() const { return size_; }
    // Hands the file on (a worker that reads it further), closed here.
    File Take();
    void Close();

private:
    File file_;
    std::uint64_t size_ = 0;
};

// Hands a source out in consecutive ranges, for scanners that may leave
// the end of one range for the next: each range is the last `keep` bytes of
// the previous range followed by up to `window` new bytes, in one piece of
// memory. The file is read in large blocks; a range stays valid until the
// next call.
class WindowReader {
public:
    static constexpr std::size_t kReadBytes = 1 << 20;

    // From `start` to the source's size, `window` new bytes per range.
    WindowReader(const SourceFile& source, std::uint64_t start, std::size_t window);

    // The next range; false when no new byte is left (the last range stays
    // valid) or when the source cannot be read further (Failed).
    bool Next(std::size_t keep, const std::uint8_t*& data, std::size_t& length);
    // File offset of the first byte not handed out yet.
    std::uint64_t Position() const { return handed_; }
    bool Failed() const { return !error_.ok(); }
    // A read error, or the source shrank: the message names the file.
    const Status& Error() const { return error_; }

private:
    bool Fill(std::size_t keep, std::size_t want);

    const File& file_;
    const std::uint64_t end_;     // the source's size
    const std::size_t window_;
    // Never zeroed: every byte handed out was read into it first.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_ = 0;
    std::uint64_t base_;          // file offset of buffer_[0]
    std::size_t filled_ = 0;      // bytes of buffer_ read
    std::uint64_t handed_;        // file offset after the last range
    std::size_t last_length_ = 0;
    Status error_;
};

}  // namespace tscard
