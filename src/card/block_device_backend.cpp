#include "card/block_device_backend.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "card/aligned_buffer.h"
#include "card/card_layout.h"
#include "card/device_opener.h"
#include "platform/file_io.h"

namespace tscard {
namespace {

constexpr std::size_t kBounceSize = 1 << 20;

class BlockDeviceBackend final : public CardBackend {
public:
    BlockDeviceBackend(std::string path, BlockDeviceAccess access) : path_(std::move(path)), access_(std::move(access)) {}
    ~BlockDeviceBackend() override {
        if (fd_ < 0) return;
        // Let the kernel drop the partitions the old layout had, so nothing
        // mounts a stale one over the card's raw data.
        if (written_) ::ioctl(fd_, BLKRRPART);
        ::close(fd_);
    }

    bool NoMedium() const { return no_medium_; }

    Status Open() {
        const int flags = access_.Writable ? (O_RDWR | O_EXCL) : O_RDONLY;
        Status opened = OpenWith(flags | O_DIRECT, fd_);
        if (!opened && opened.error() == EBUSY && access_.Writable && access_.Unmount) {
            if (Status unmounted = access_.Unmount(); !unmounted) return unmounted;
            opened = OpenWith(flags | O_DIRECT, fd_);
        }
        if (!opened) {
            no_medium_ = opened.error() == ENOMEDIUM;
            return opened;
        }
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISBLK(st.st_mode)) return Status::Fail(NotABlockDevice(path_));
        std::uint64_t length = 0;
        if (::ioctl(fd_, BLKGETSIZE64, &length) != 0)
            return Status::Fail(FileError(path_, N_("cannot read the size of the card")));
        if (length == 0) {
            no_medium_ = true;
            return Status::Fail(Words(N_("%1: there is no card in the reader (size 0)"), {path_}));
        }
        length_ = length;
        // The layout's transfers are whole 512-byte sectors; a device with
        // larger logical blocks cannot take them unbuffered.
        int logical = 512;
        if (::ioctl(fd_, BLKSSZGET, &logical) == 0 && logical != 512) {
            ::close(fd_);
            fd_ = -1;
            if (Status reopened = OpenWith(flags | (access_.Writable ? O_DSYNC : 0), fd_); !reopened) return reopened;
            direct_ = false;
        } else {
            direct_ = true;
        }
        open_flags_ = flags;
        return Status::Ok();
    }

    const std::string& Path() const override { return path_; }
    std::uint64_t Length() const override { return length_; }
    bool Writable() const override { return access_.Writable; }
    bool DirectIo() const override { return direct_; }

    IoResult ReadAt(std::uint64_t offset, void* buffer, std::size_t len) override {
        if (offset >= length_) return {};
        len = static_cast<std::size_t>(std::min<std::uint64_t>(len, length_ - offset));
        if (direct_ && (offset % kSectorSize != 0 || len % kSectorSize != 0)) return {0, EINVAL};
        auto* out = static_cast<std::uint8_t*>(buffer);
        if (!direct_ || IsIoAligned(buffer)) return Transfer(offset, out, len, false);
        IoResult total;
        while (total.bytes < len) {
            const std::size_t part = std::min(kBounceSize, len - total.bytes);
            const IoResult r = Transfer(offset + total.bytes, Bounce(), part, false);
            std::memcpy(out + total.bytes, Bounce(), r.bytes);
            total.bytes += r.bytes;
            if (r.error != 0 || r.bytes < part) {
                total.error = r.error;
                break;
            }
        }
        return total;
    }

    IoResult WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) override {
        if (!access_.Writable) return {0, EBADF};
        if (direct_ && (offset % kSectorSize != 0 || len % kSectorSize != 0)) return {0, EINVAL};
        const std::size_t fits = offset >= length_ ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(len, length_ - offset));
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        IoResult total;
        if (!direct_ || IsIoAligned(buffer)) {
            total = Transfer(offset, const_cast<std::uint8_t*>(in), fits, true);
        } else {
            while (total.bytes < fits) {
                const std::size_t part = std::min(kBounceSize, fits - total.bytes);
                std::memcpy(Bounce(), in + total.bytes, part);
                const IoResult r = Transfer(offset + total.bytes, Bounce(), part, true);
                total.bytes += r.bytes;
                if (r.error != 0) {
                    total.error = r.error;
                    break;
                }
            }
        }
        if (total.bytes > 0) written_ = true;
        if (total.error == 0 && total.bytes < len) total.error = ENOSPC;
        return total;
    }

    Status Flush() override {
        if (::fsync(fd_) != 0) return Status::Fail(FileError(path_, N_("cannot flush the card")));
        return Status::Ok();
    }

    Status CheckPresent() override {
        std::uint64_t length = 0;
        if (::ioctl(fd_, BLKGETSIZE64, &length) != 0) return Status::Fail(FileError(path_, N_("the card is gone")));
        if (length != length_) return Status::Fail(Words(N_("%1: the card was removed or changed"), {path_}));
        return Status::Ok();
    }

    Status Reclaim() override {
        if (!access_.Writable || !access_.Unmount) return CardBackend::Reclaim();
        if (Status unmounted = access_.Unmount(); !unmounted) return unmounted;
        int fd = -1;
        if (Status reopened = OpenWith(open_flags_ | (direct_ ? O_DIRECT : O_DSYNC), fd); !reopened) return reopened;
        ::close(fd_);
        fd_ = fd;
        return Status::Ok();
    }

private:
    Status OpenWith(int flags, int& fd) {
        if (access_.Opener) return access_.Opener->Open(path_, flags, fd);
        DirectOpener direct;
        return direct.Open(path_, flags, fd);
    }

    std::uint8_t* Bounce() {
        if (bounce_.size() == 0) bounce_ = AlignedBuffer(kBounceSize);
        return bounce_.data();
    }

    IoResult Transfer(std::uint64_t offset, std::uint8_t* data, std::size_t len, bool write) {
        IoResult result;
        while (result.bytes < len) {
            const ssize_t n = write ? ::pwrite(fd_, data + result.bytes, len - result.bytes,
                                               static_cast<off_t>(offset + result.bytes))
                                    : ::pread(fd_, data + result.bytes, len - result.bytes,
                                              static_cast<off_t>(offset + result.bytes));
            if (n < 0) {
                if (errno == EINTR) continue;
                result.error = errno;
                break;
            }
            if (n == 0) {
                if (write) result.error = ENOSPC;
                break;
            }
            result.bytes += static_cast<std::size_t>(n);
        }
        return result;
    }

    std::string path_;
    BlockDeviceAccess access_;
    int fd_ = -1;
    int open_flags_ = 0;
    std::uint64_t length_ = 0;
    bool direct_ = false;
    bool written_ = false;
    bool no_medium_ = false;
    AlignedBuffer bounce_;
};

}  // namespace

Status OpenBlockDeviceBackend(const std::string& path, const BlockDeviceAccess& access,
                              std::unique_ptr<CardBackend>& out, bool* no_medium) {
    auto backend = std::make_unique<BlockDeviceBackend>(path, access);
    if (Status status = backend->Open(); !status) {
        if (no_medium) *no_medium = backend->NoMedium();
        return status;
    }
    out = std::move(backend);
    return Status::Ok();
}

}  // namespace tscard
