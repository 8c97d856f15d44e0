#include "platform/file_io.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tscard {

Words FileError(const std::string& path, const char* what) {
    return Words(N_("%1: %2: %3"), {path, Words(what), std::string(std::strerror(errno))});
}

namespace {

Status OpenWith(const std::string& path, int flags, File& out) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return Status::Fail(FileError(path, N_("cannot open")), error);
    }
    out = File::Adopt(fd, path);
    return Status::Ok();
}

}  // namespace

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), stream_(std::exchange(other.stream_, false)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        CloseQuietly();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        stream_ = std::exchange(other.stream_, false);
    }
    return *this;
}

File::~File() { CloseQuietly(); }

Status File::OpenRead(const std::string& path, File& out) { return OpenWith(path, O_RDONLY, out); }

Status File::OpenReadWrite(const std::string& path, File& out) { return OpenWith(path, O_RDWR, out); }

Status File::Create(const std::string& path, File& out) {
    return OpenWith(path, O_RDWR | O_CREAT | O_TRUNC, out);
}

File File::Adopt(int fd, std::string path) {
    File file;
    file.fd_ = fd;
    file.path_ = std::move(path);
    return file;
}

File File::AdoptStream(int fd, std::string path) {
    File file = Adopt(fd, std::move(path));
    file.stream_ = true;
    return file;
}

Status File::Size(std::uint64_t& size) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Status::Fail(FileError(path_, N_("cannot read the size")));
    // A block device's st_size is 0: the device knows its size.
    if (S_ISBLK(st.st_mode)) {
        std::uint64_t bytes = 0;
        if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) return Status::Fail(FileError(path_, N_("cannot read the size")));
        size = bytes;
        return Status::Ok();
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return Status::Ok();
}

Status ShrankStatus(const File& file, std::uint64_t was) {
    std::uint64_t now = 0;
    const Words now_text = file.Size(now) ? Words(std::to_string(now)) : Words(N_("unknown"));
    return Status::Fail(Words(N_("%1: the file shrank while it was read (was %2 bytes, now %3)"),
                              {file.Path(), std::to_string(was), now_text}));
}

std::int64_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t len) const {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd_, out + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

Status File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < len) {
        const ssize_t n = stream_ ? ::write(fd_, in + done, len - done)
                                  : ::pwrite(fd_, in + done, len - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return Status::Fail(FileError(path_, N_("cannot write")));
        }
        if (n == 0) {
            errno = ENOSPC;
            return Status::Fail(FileError(path_, N_("cannot write")));
        }
        done += static_cast<std::size_t>(n);
    }
    return Status::Ok();
}

Status File::Truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return Status::Fail(FileError(path_, N_("cannot truncate")));
    return Status::Ok();
}

Status File::Close() {
    if (fd_ < 0) return Status::Ok();
    const int fd = std::exchange(fd_, -1);
    stream_ = false;
    if (::close(fd) != 0 && errno != EINTR) return Status::Fail(FileError(path_, N_("cannot close")));
    return Status::Ok();
}

Status RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return Status::Fail(FileError(path, N_("cannot remove")));
    return Status::Ok();
}


BlockReader::BlockReader(const File& file, std::uint64_t start, std::size_t block_size)
    : file_(file), buffer_(block_size), next_offset_(start), position_(start) {}

bool BlockReader::Fill() {
    if (eof_ || failed_) return false;
    const std::int64_t n = file_.ReadAt(next_offset_, buffer_.data(), buffer_.size());
    if (n < 0) {
        failed_ = true;
        error_ = FileError(file_.Path(), N_("cannot read"));
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    begin_ = 0;
    end_ = static_cast<std::size_t>(n);
    next_offset_ += static_cast<std::uint64_t>(n);
    return true;
}

std::size_t BlockReader::Read(void* dest, std::size_t len) {
    auto* out = static_cast<unsigned char*>(dest);
    std::size_t done = 0;
    while (done < len) {
        if (begin_ == end_ && !Fill()) break;
        const std::size_t take = std::min(len - done, end_ - begin_);
        std::memcpy(out + done, buffer_.data() + begin_, take);
        begin_ += take;
        done += take;
    }
    position_ += done;
    return done;
}

std::size_t BlockReader::Skip(std::size_t len) {
    std::size_t done = 0;
    while (done < len) {
        if (begin_ == end_ && !Fill()) break;
        const std::size_t take = std::min(len - done, end_ - begin_);
        begin_ += take;
        done += take;
    }
    position_ += done;
    return done;
}

BlockWriter::BlockWriter(File& file, std::uint64_t start, std::size_t block_size)
    : file_(file), buffer_(block_size), start_(start) {}

bool BlockWriter::Drain() {
    if (used_ == 0) return true;
    const std::uint64_t offset = start_ + written_ - used_;
    Status st = file_.WriteAt(offset, buffer_.data(), used_);
    used_ = 0;
    if (!st) {
        failed_ = true;
        error_ = st.words();
        return false;
    }
    return true;
}

void BlockWriter::Write(const void* data, std::size_t len) {
    if (failed_) return;
    const auto* in = static_cast<const unsigned char*>(data);
    while (len > 0) {
        const std::size_t take = std::min(len, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, in, take);
        used_ += take;
        written_ += take;
        in += take;
        len -= take;
        if (used_ == buffer_.size() && !Drain()) return;
    }
}

Status BlockWriter::Flush() {
    if (!failed_) Drain();
    return LastStatus();
}

Status BlockWriter::LastStatus() const { return failed_ ? Status::Fail(error_) : Status::Ok(); }

}  // namespace tscard
