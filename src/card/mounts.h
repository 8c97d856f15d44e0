#pragma once
// Mounted file systems and swap, read from /proc, and unmounting the file
// systems that live on a card before it is written raw.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "card/system_roots.h"
#include "platform/status.h"

namespace tscard {

struct DeviceNumber {
    unsigned Major = 0;
    unsigned Minor = 0;
    friend bool operator==(const DeviceNumber&, const DeviceNumber&) = default;
};

struct MountEntry {
    DeviceNumber Number;      // of the mounted device (0:n for anonymous ones)
    std::string MountPoint;   // escapes decoded
    std::string FileSystem;   // type, e.g. vfat
    std::string Source;       // e.g. /dev/sdb1
};

// The lines of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// The device paths of /proc/swaps (swap files included).
std::vector<std::string> ParseSwaps(std::string_view text);

// Where removable media are mounted (/media, /run/media, /mnt); a disk
// with a file system mounted anywhere else holds part of the system.
bool IsRemovableMediaMountPoint(std::string_view mount_point);

// A device that holds one of the system's own file systems (SystemFiles).
struct SystemDevice {
    DeviceNumber Number;
    std::string What;  // "/", "the running program", ...
};

// What the running system uses: mounts, the devices of active swap and
// those its own files live on.
struct SystemUse {
    std::vector<MountEntry> Mounts;
    std::vector<DeviceNumber> SwapDevices;
    std::vector<SystemDevice> SystemDevices;
};
// Reads mountinfo and swaps below the roots and looks at the system's own
// files; a missing swaps file means no swap, a system file that is not
// there names no device, a missing mountinfo is an error.
Status ReadSystemUse(const SystemRoots& roots, SystemUse& out);

// The mounts whose device is one of the numbers (a disk and its
// partitions). Mounts that name their device only by source path (btrfs,
// for example) are matched through the node below roots.Dev.
std::vector<MountEntry> MountsOfDevices(const SystemUse& use, const std::vector<DeviceNumber>& numbers,
                                        const SystemRoots& roots);

// Unmounts each mount, the last mounted first. Fails at the first one that
// cannot be unmounted, naming it and the reason.
Status UnmountAll(const std::vector<MountEntry>& mounts);

// "major:minor" as sysfs writes it.
bool ParseDeviceNumber(std::string_view text, DeviceNumber& out);
// The number of a block device node; false when the path is no block device.
bool BlockDeviceNumber(const std::string& path, DeviceNumber& out);

}  // namespace tscard
