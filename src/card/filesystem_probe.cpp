#include "card/filesystem_probe.h"

#include <blkid/blkid.h>

namespace tscard {
namespace {

std::string ProbeOne(const std::string& node) {
    blkid_probe probe = blkid_new_probe_from_filename(node.c_str());
    if (probe == nullptr) return {};
    std::string name;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* type = nullptr;
        const char* version = nullptr;
        if (blkid_probe_lookup_value(probe, "TYPE", &type, nullptr) == 0 && type != nullptr) name = type;
        // FAT reports its width as the version (FAT12, FAT16, FAT32).
        if (name == "vfat" && blkid_probe_lookup_value(probe, "VERSION", &version, nullptr) == 0 && version != nullptr)
            name = version;
    }
    blkid_free_probe(probe);
    return name;
}

}  // namespace

std::string ProbeFileSystemName(const std::string& disk_node, const std::vector<std::string>& partition_nodes) {
    std::string name = ProbeOne(disk_node);
    for (const std::string& node : partition_nodes) {
        if (!name.empty()) break;
        name = ProbeOne(node);
    }
    return name;
}

}  // namespace tscard
