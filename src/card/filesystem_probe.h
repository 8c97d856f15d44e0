#pragma once
// The name of the file system on a card, for a card whose raw header
// cannot be read: the whole disk is probed first, then its partitions.

#include <string>
#include <vector>

namespace tscard {

// "FAT32", "exfat", "ext4", ...; empty when none is recognised.
std::string ProbeFileSystemName(const std::string& disk_node, const std::vector<std::string>& partition_nodes);

}  // namespace tscard
