#pragma once
// Hands out a stream file's 188-byte packets or 192-byte units in place,
// from large reads: the same packets as reading one unit per call, without
// copying each one out. The file is read to its end; one that ends before
// the size it was measured with (when the reader was made, or when the
// stream was analysed) shrank while it was read, and the reader fails,
// naming the file (platform/file_io.h, ShrankStatus).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace tscard {

class UnitReader {
public:
    static constexpr std::size_t kUnitsPerRead = 4096;

    // Reads units of unit_size bytes from `start` on. `measured` is the
    // size the file had when its stream was analysed; 0 measures it now.
    UnitReader(const File& file, std::uint64_t start, std::size_t unit_size, std::size_t units_per_read = kUnitsPerRead,
               std::uint64_t measured = 0);

    // The next whole unit, writable until the next call; nullptr at the end
    // of the file (a partial last unit is never handed out), after a read
    // error or when the file shrank (see Failed).
    std::uint8_t* Next() {
        if (at_ == end_ && !Fill()) return nullptr;
        std::uint8_t* unit = buffer_.data() + at_;
        at_ += unit_;
        return unit;
    }
    bool Failed() const { return failed_; }
    const Words& Error() const { return error_; }

private:
    bool Fill();

    const File& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t unit_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    std::uint64_t offset_;
    std::uint64_t size_ = 0;  // the size the file must reach
    bool done_ = false;
    bool failed_ = false;
    Words error_;
};

}  // namespace tscard
