#pragma once
// How the block device of a card is opened, and the card's file systems
// unmounted before it is written. The process does it itself when it may
// (root); an ordinary user asks a system service that checks the user's
// permission and hands back the descriptor (src/udisks). The front end
// chooses; what is opened is a block-device descriptor either way.

#include <memory>
#include <string>
#include <vector>

#include "card/mounts.h"
#include "platform/status.h"

namespace tscard {

class DeviceOpener {
public:
    virtual ~DeviceOpener() = default;

    // Opens the node with open(2)'s flags (the access mode, O_EXCL,
    // O_DIRECT, O_DSYNC); fd is then the caller's to close. A failure
    // names the path and the reason; its error() is the errno that stands
    // for it (EBUSY: held by a mounted file system or another program,
    // ENOMEDIUM: no card in the reader, EACCES: not permitted).
    virtual Status Open(const std::string& path, int flags, int& fd) = 0;
    // Unmounts the mounts (all of one card), the last mounted first.
    virtual Status Unmount(const std::vector<MountEntry>& mounts) = 0;
};

// open(2) and umount2(2) by the process itself.
class DirectOpener final : public DeviceOpener {
public:
    Status Open(const std::string& path, int flags, int& fd) override;
    Status Unmount(const std::vector<MountEntry>& mounts) override;
};

// The message of a failed open(2) of a card's node.
// "<path>: cannot open[ for writing]: <why>".
Words NotABlockDevice(const std::string& path);
Words CannotOpen(const std::string& path, bool writable, const Words& why);
Words OpenErrorMessage(const std::string& path, int error, bool writable);

}  // namespace tscard
