#include "card/image_file_backend.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/file_io.h"

namespace tscard {
namespace {

class ImageFileBackend final : public CardBackend {
public:
    ImageFileBackend(File file, std::uint64_t length, bool writable)
        : file_(std::move(file)), length_(length), writable_(writable) {}

    const std::string& Path() const override { return file_.Path(); }
    std::uint64_t Length() const override { return length_; }
    bool Writable() const override { return writable_; }

    IoResult ReadAt(std::uint64_t offset, void* buffer, std::size_t len) override {
        if (offset >= length_) return {};
        if (len > length_ - offset) len = static_cast<std::size_t>(length_ - offset);
        const std::int64_t n = file_.ReadAt(offset, buffer, len);
        if (n < 0) return {0, errno};
        return {static_cast<std::size_t>(n), 0};
    }

    IoResult WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) override {
        if (!writable_) return {0, EBADF};
        std::size_t fits = offset >= length_ ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(len, length_ - offset));
        const auto* in = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < fits) {
            const ssize_t n = ::pwrite(file_.Fd(), in + done, fits - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return {done, errno};
            }
            done += static_cast<std::size_t>(n);
        }
        if (done < len) return {done, ENOSPC};
        return {done, 0};
    }

    Status Flush() override {
        if (::fsync(file_.Fd()) != 0) return Status::Fail(FileError(Path(), N_("cannot flush")));
        return Status::Ok();
    }

    Status CheckPresent() override {
        struct stat st {};
        if (::fstat(file_.Fd(), &st) != 0) return Status::Fail(FileError(Path(), N_("card image is gone")));
        if (st.st_nlink == 0) return Status::Fail(Path() + ": card image was deleted");
        if (static_cast<std::uint64_t>(st.st_size) < length_) return Status::Fail(Path() + ": card image shrank");
        return Status::Ok();
    }

private:
    File file_;
    std::uint64_t length_;
    bool writable_;
};

}  // namespace

Status OpenImageFileBackend(const std::string& path, bool writable, std::unique_ptr<CardBackend>& out) {
    File file;
    Status status = writable ? File::OpenReadWrite(path, file) : File::OpenRead(path, file);
    if (!status) return status;
    struct stat st {};
    if (::fstat(file.Fd(), &st) != 0) return Status::Fail(FileError(path, N_("cannot read the size")));
    if (!S_ISREG(st.st_mode)) return Status::Fail(path + ": not a card image (not a regular file)");
    if (writable && ::flock(file.Fd(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return Status::Fail(path + ": card image is in use by another program");
        return Status::Fail(FileError(path, N_("cannot lock the card image")));
    }
    out = std::make_unique<ImageFileBackend>(std::move(file), static_cast<std::uint64_t>(st.st_size), writable);
    return Status::Ok();
}

}  // namespace tscard
