#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_identity.h"

namespace tscard {

Status OpenInputFile(const std::string& path, File& out) {
    // Non-blocking only for the open itself: a FIFO would wait for a writer.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return Status::Fail(FileError(path, N_("cannot open")), error);
    }
    File file = File::Adopt(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        return Status::Fail(FileError(path, N_("cannot look at the file")), error);
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))
        return Status::Fail(Words(N_("%1: is not a regular file (%2)"), {path, FileKindText(st.st_mode)}));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        return Status::Fail(FileError(path, N_("cannot open")), error);
    }
    out = std::move(file);
    return Status::Ok();
}

}  // namespace tscard
