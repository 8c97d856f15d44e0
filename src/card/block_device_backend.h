#pragma once
// A card in a reader: the whole-disk block device, read and written in
// whole sectors with O_DIRECT from aligned memory. The descriptor comes
// from the opener: the process's own open(2), or a system service's. For reading it is
// opened shared; for writing with O_EXCL, so that the kernel refuses it
// while a file system on it is mounted and no other program can open it
// exclusively meanwhile.

#include <functional>
#include <memory>
#include <string>

#include "card/card_backend.h"
#include "card/device_opener.h"

namespace tscard {

struct BlockDeviceAccess {
    bool Writable = false;
    // Opens the node; the process itself (open(2)) when null.
    std::shared_ptr<DeviceOpener> Opener;
    // Unmounts the card's file systems; run when the exclusive open or a
    // write is refused because the card is busy, before one more try.
    std::function<Status()> Unmount;
};

// no_medium, if given, is set when the reader holds no card.
Status OpenBlockDeviceBackend(const std::string& path, const BlockDeviceAccess& access,
                              std::unique_ptr<CardBackend>& out, bool* no_medium = nullptr);

}  // namespace tscard
