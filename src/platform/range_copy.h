#pragma once
// Copying a byte range from one file to another: inside the kernel where
// the file systems allow it (copy_file_range), through a buffer otherwise.
// Errors name the file that failed and whether reading or writing it did.

#include <cstdint>
#include <vector>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

class RangeCopier {
public:
    // Copies len bytes from in at in_offset to out at out_offset. copied
    // tells how many were; fewer than len only when the input ended first
    // (or on failure).
    Status Copy(const File& in, std::uint64_t in_offset, File& out, std::uint64_t out_offset, std::uint64_t len,
                std::uint64_t& copied);

private:
    Status CopyThroughBuffer(const File& in, std::uint64_t in_offset, File& out, std::uint64_t out_offset,
                             std::uint64_t len, std::uint64_t& copied);

    bool in_kernel_ = true;  // until the system says it cannot
    std::vector<unsigned char> buffer_;
};

}  // namespace tscard
