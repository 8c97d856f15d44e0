#pragma once
// The cards attached to the machine, as the card chooser lists them: one
// record per card with its item text, file-system name, size figures and
// directory. Listing only reads: no card is unmounted or held.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "card/card_device.h"
#include "card/card_directory.h"
#include "card/device_opener.h"
#include "card/system_roots.h"
#include "platform/status.h"

namespace tscard {

struct CardRecord {
    CardDirectory Directory;     // as loaded by the scan
    std::string ItemText;        // "Card 0[1886 MB],Drive letter -/dev/sdb"
    std::string DevicePath;      // device node or card image
    std::string FileSystemName;  // "DORO ", "Unknow", or the file system found on an unreadable card
    bool HeaderValid = false;    // the header is in the card layout
    std::uint64_t CapacityMB = 0;
    std::int64_t DataUnits = 0;
    std::int64_t FreeUnits = 0;
    std::uint64_t TotalSectors = 0;
    std::string ReaderModel;  // DiskInfo::Model; empty for an image
};

struct CardList {
    std::vector<CardRecord> Records;
    // Cards that exist but could not be examined (no permission, read
    // errors), one line each naming the device and the reason.
    std::vector<Words> Problems;
    // Readers that hold no card: the node, and the reader's name when
    // sysfs gives one ("/dev/sdb (Generic STORAGE DEVICE)").
    std::vector<std::string> EmptyReaders;
    // A card was not opened because the user is not permitted to.
    bool PermissionRefused = false;
};

// "<problem>; not listed": a card that could not be examined.
Words NotListed(const Words& problem);

std::string CardItemText(std::size_t index, std::uint64_t capacity_mb, const std::string& device_path);

// Loads the card's directory and fills the record. A card whose header
// cannot be read is kept only when a file system is found on it
// (partition_nodes are probed too); otherwise false, with the reason.
[[nodiscard]] bool ExamineCard(CardDevice& device, std::size_t index, const std::vector<std::string>& partition_nodes,
                 CardRecord& record, Words& problem);

// Lists the cards, opening each through the opener (the process itself
// when null). Fails only when the system's device list cannot be read at
// all; single cards that cannot be examined go to Problems.
Status ScanCards(const SystemRoots& roots, CardList& list, std::shared_ptr<DeviceOpener> opener = nullptr);

}  // namespace tscard
