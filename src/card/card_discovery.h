#pragma once
// Finding the cards attached to the machine through sysfs. Only two kinds
// of disk are cards: a disk of a USB card reader (sdX, removable, SCSI
// direct-access) and an SD slot (mmcblkN whose card type is SD). Fixed
// disks, eMMC, loop and RAM devices, and any disk that holds a mounted
// system file system, active swap or a stacked device are never cards.

#include <cstdint>
#include <string>
#include <vector>

#include "card/mounts.h"
#include "card/system_roots.h"
#include "platform/status.h"

namespace tscard {

struct DiskPartition {
    std::string Name;  // sdb1
    DeviceNumber Number;
    bool HasHolders = false;
};

// One whole disk as sysfs describes it.
struct DiskInfo {
    std::string Name;  // sdb, mmcblk0
    DeviceNumber Number;
    bool Removable = false;
    std::string DeviceType;      // device/type: "0" for a SCSI disk; "SD", "MMC", "SDIO" for mmc
    std::uint64_t Sectors = 0;   // size in 512-byte sectors; 0 for an empty slot
    // What the system calls the reader: vendor and model of a USB reader
    // ("Generic STORAGE DEVICE"), "SD slot" and the card's name for mmc.
    std::string Model;
    bool HasHolders = false;
    std::vector<DiskPartition> Partitions;

    std::vector<DeviceNumber> DeviceNumbers() const;  // the disk's and its partitions'
    std::string Node(const SystemRoots& roots) const { return roots.Dev + "/" + Name; }
    std::vector<std::string> PartitionNodes(const SystemRoots& roots) const;
};

// The whole disks under <sysfs>/block, in a stable order (sda before sdb
// before sdaa).
Status ReadDisks(const SystemRoots& roots, std::vector<DiskInfo>& out);

enum class DiskKind {
    Card,        // listed
    EmptySlot,   // a reader or slot without a card
    SystemDisk,  // never touched, whatever the options say
    NotACard,    // fixed disk, eMMC, loop, RAM, ...: only on explicit request
};

struct DiskVerdict {
    DiskKind Kind = DiskKind::NotACard;
    std::string Reason;  // why it is not a card ("a fixed disk", ...)
};

DiskVerdict ClassifyDisk(const DiskInfo& disk, const SystemUse& use, const SystemRoots& roots);

// The disk a device number belongs to, as the disk itself or as one of
// its partitions.
struct DiskMatch {
    const DiskInfo* Disk = nullptr;
    const DiskPartition* Partition = nullptr;  // set when the number is a partition's
};
DiskMatch FindDiskOfDevice(const std::vector<DiskInfo>& disks, const DeviceNumber& number);

}  // namespace tscard
