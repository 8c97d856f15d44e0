#include "card/device_opener.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tscard {

Words NotABlockDevice(const std::string& path) { return Words(N_("%1: not a block device"), {path}); }

Words CannotOpen(const std::string& path, bool writable, const Words& why) {
    return writable ? Words(N_("%1: cannot open for writing: %2"), {path, why})
                    : Words(N_("%1: cannot open: %2"), {path, why});
}

Words OpenErrorMessage(const std::string& path, int error, bool writable) {
    const Words opened = CannotOpen(path, writable, std::string(std::strerror(error)));
    if (error == EACCES || error == EPERM)
        return Words(N_("%1; without root, card readers are opened through the UDisks2 service, which asks for the "
                        "user's permission: it is not running here (package udisks2)"),
                     {opened});
    if (error == EBUSY)
        return Words(N_("%1; the card is in use (a mounted file system or another program holds it)"), {opened});
    if (error == ENOMEDIUM) return Words(N_("%1; there is no card in the reader"), {opened});
    return opened;
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
