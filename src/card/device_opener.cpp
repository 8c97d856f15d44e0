#include "card/device_opener.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tscard {

std::string OpenErrorMessage(const std::string& path, int error, bool writable) {
    std::string message = path + ": cannot open" + std::string(writable ? " for writing" : "") + ": " +
                          std::strerror(error);
    if (error == EACCES || error == EPERM) {
        message += "; without root, card readers are opened through the UDisks2 service, which asks for the "
                   "user's permission: it is not running here (package udisks2)";
    } else if (error == EBUSY) {
        message += "; the card is in use (a mounted file system or another program holds it)";
    } else if (error == ENOMEDIUM) {
        message += "; there is no card in the reader";
    }
    return message;
}

Status DirectOpener::Open(const std::string& path, int flags, int& fd) {
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) return Status::Ok();
    const int error = errno;
    return Status::Fail(OpenErrorMessage(path, error, (flags & O_ACCMODE) != O_RDONLY), error);
}

Status DirectOpener::Unmount(const std::vector<MountEntry>& mounts) { return UnmountAll(mounts); }

}  // namespace tscard
