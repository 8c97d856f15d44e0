#include "platform/range_copy.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tscard {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

// Errors after which the buffer does the job: the kernel cannot copy
// between these files (other file systems, special files, old kernels).
bool KernelCannotCopy(int error) {
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF ||
           error == ETXTBSY || error == EPERM;
}

}  // namespace

Status RangeCopier::Copy(const File& in, std::uint64_t in_offset, File& out, std::uint64_t out_offset,
                         std::uint64_t len, std::uint64_t& copied) {
    copied = 0;
    // A pipe or device output takes the bytes through the buffer, in order.
    while (in_kernel_ && !out.IsStream() && copied < len) {
        loff_t from = static_cast<loff_t>(in_offset + copied);
        loff_t to = static_cast<loff_t>(out_offset + copied);
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(len - copied, 1u << 30));
        const ssize_t n = ::copy_file_range(in.Fd(), &from, out.Fd(), &to, want, 0);
        if (n > 0) {
            copied += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n == 0) return Status::Ok();  // the input ended
        if (errno == EINTR) continue;
        if (KernelCannotCopy(errno)) {
            in_kernel_ = false;
            break;
        }
        // An I/O error: the buffer copy of the rest tells whether reading
        // or writing failed, and which file.
        break;
    }
    if (copied == len) return Status::Ok();
    std::uint64_t rest = 0;
    Status st = CopyThroughBuffer(in, in_offset + copied, out, out_offset + copied, len - copied, rest);
    copied += rest;
    return st;
}

Status RangeCopier::CopyThroughBuffer(const File& in, std::uint64_t in_offset, File& out, std::uint64_t out_offset,
                                      std::uint64_t len, std::uint64_t& copied) {
    copied = 0;
    if (buffer_.empty()) buffer_.resize(kBufferSize);
    while (copied < len) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(len - copied, buffer_.size()));
        const std::int64_t n = in.ReadAt(in_offset + copied, buffer_.data(), want);
        if (n < 0) return Status::Fail(FileError(in.Path(), N_("cannot read")));
        if (n == 0) return Status::Ok();
        // Exactly the bytes read are written.
        if (Status st = out.WriteAt(out_offset + copied, buffer_.data(), static_cast<std::size_t>(n)); !st)
            return st;
        copied += static_cast<std::uint64_t>(n);
        if (static_cast<std::size_t>(n) < want) return Status::Ok();
    }
    return Status::Ok();
}

}  // namespace tscard
