#pragma once
// Turning a CARD argument (a device node or a card image file) into an
// open CardDevice, with the checks that keep raw writes away from disks
// that are not cards.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "card/card_backend.h"
#include "card/card_device.h"
#include "card/card_discovery.h"
#include "card/device_opener.h"
#include "card/system_roots.h"

namespace tscard {

// Opens a block device (through the opener; by the process itself when
// null) or a card image, read-only or for writing. For a block device
// opened for writing, unmount frees the card when the exclusive open or a
// write is refused. no_medium is set for an empty reader.
Status OpenCardNode(const std::string& path, bool writable, std::function<Status()> unmount,
                    std::unique_ptr<CardBackend>& out, bool* no_medium = nullptr,
                    std::shared_ptr<DeviceOpener> opener = nullptr);

// What the argument names and whether discovery would list it.
struct CardTarget {
    std::string Path;
    bool IsBlockDevice = false;
    DiskVerdict Verdict;                    // Card for an image file
    std::size_t ListIndex = 0;              // its place among the listed cards
    std::vector<DeviceNumber> Numbers;      // the disk's and its partitions'
    std::vector<std::string> PartitionNodes;
    std::string Model;  // the reader's, as sysfs gives it; empty for an image
    // How a block device is opened and unmounted; the process itself when null.
    std::shared_ptr<DeviceOpener> Opener;
};

// Fails for a path that is neither a block device nor a regular file, for
// a partition (the layout needs the whole card) and when the system's
// device information cannot be read. Otherwise the verdict tells whether
// the disk is a card, and if not, why. The target keeps the opener.
Status ResolveCard(const std::string& path, const SystemRoots& roots, CardTarget& out,
                   std::shared_ptr<DeviceOpener> opener = nullptr);

// Whether the target may be used as a card: a listed card or an image
// always; a disk that is not a card only when named explicitly
// (allow_non_removable); a system disk or an empty reader never. The
// refusal names the path and the reason.
Status CheckCardTarget(const CardTarget& target, bool allow_non_removable);

// Opens the target. Read-only access never unmounts anything and does not
// hold the card exclusively. Writing access first unmounts the card's own
// file systems, then holds it exclusively; both go through the target's
// opener.
Status OpenCard(const CardTarget& target, bool writable, const SystemRoots& roots, CardDevice& out);

}  // namespace tscard
