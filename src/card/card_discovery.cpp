#include "card/card_discovery.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tscard {
namespace {

namespace fs = std::filesystem;

std::string ReadAttribute(const fs::path& path) {
    std::ifstream in(path);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    std::string value = text.str();
    while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
    return value;
}

bool HasEntries(const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    return !ec && it != fs::directory_iterator();
}

bool StartsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// name = prefix followed by one or more characters of the class.
bool Matches(const std::string& name, std::string_view prefix, bool digits) {
    if (!StartsWith(name, prefix) || name.size() == prefix.size()) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [&](char c) { return digits ? (c >= '0' && c <= '9') : (c >= 'a' && c <= 'z'); });
}

std::string MountList(const std::vector<MountEntry>& mounts) {
    std::string text;
    for (const MountEntry& m : mounts) text += (text.empty() ? "" : ", ") + m.MountPoint;
    return text;
}

// Words of sysfs attributes come padded with blanks.
std::string Words(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += text[i];
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string ModelOf(const fs::path& device, bool mmc) {
    if (mmc) {
        const std::string name = Words(ReadAttribute(device / "name"));
        return name.empty() ? "SD slot" : "SD slot (card " + name + ")";
    }
    std::string model = Words(ReadAttribute(device / "vendor"));
    const std::string product = Words(ReadAttribute(device / "model"));
    if (!product.empty()) model += (model.empty() ? "" : " ") + product;
    return model;
}

}  // namespace

std::vector<DeviceNumber> DiskInfo::DeviceNumbers() const {
    std::vector<DeviceNumber> numbers{Number};
    for (const DiskPartition& p : Partitions) numbers.push_back(p.Number);
    return numbers;
}

std::vector<std::string> DiskInfo::PartitionNodes(const SystemRoots& roots) const {
    std::vector<std::string> nodes;
    for (const DiskPartition& p : Partitions) nodes.push_back(roots.Dev + "/" + p.Name);
    return nodes;
}

Status ReadDisks(const SystemRoots& roots, std::vector<DiskInfo>& out) {
    out.clear();
    const fs::path block = fs::path(roots.Sysfs) / "block";
    std::error_code ec;
    fs::directory_iterator it(block, ec);
    if (ec) return Status::Fail(block.string() + ": cannot list the block devices: " + ec.message());
    for (const fs::directory_entry& entry : it) {
        const fs::path dir = entry.path();
        DiskInfo disk;
        disk.Name = dir.filename().string();
        if (!ParseDeviceNumber(ReadAttribute(dir / "dev"), disk.Number)) continue;
        disk.Removable = ReadAttribute(dir / "removable") == "1";
        disk.DeviceType = ReadAttribute(dir / "device" / "type");
        disk.Model = ModelOf(dir / "device", StartsWith(disk.Name, "mmcblk"));
        const std::string size = ReadAttribute(dir / "size");
        std::from_chars(size.data(), size.data() + size.size(), disk.Sectors);
        disk.HasHolders = HasEntries(dir / "holders");
        std::error_code sub_ec;
        for (const fs::directory_entry& sub : fs::directory_iterator(dir, sub_ec)) {
            if (!fs::exists(sub.path() / "partition")) continue;
            DiskPartition part;
            part.Name = sub.path().filename().string();
            if (!ParseDeviceNumber(ReadAttribute(sub.path() / "dev"), part.Number)) continue;
            part.HasHolders = HasEntries(sub.path() / "holders");
            disk.Partitions.push_back(std::move(part));
        }
        std::sort(disk.Partitions.begin(), disk.Partitions.end(),
                  [](const DiskPartition& a, const DiskPartition& b) {
                      return std::make_pair(a.Name.size(), a.Name) < std::make_pair(b.Name.size(), b.Name);
                  });
        out.push_back(std::move(disk));
    }
    std::sort(out.begin(), out.end(), [](const DiskInfo& a, const DiskInfo& b) {
        return std::make_pair(a.Name.size(), a.Name) < std::make_pair(b.Name.size(), b.Name);
    });
    return Status::Ok();
}

DiskVerdict ClassifyDisk(const DiskInfo& disk, const SystemUse& use, const SystemRoots& roots) {
    const std::vector<DeviceNumber> numbers = disk.DeviceNumbers();
    std::vector<MountEntry> system_mounts;
    for (const MountEntry& m : MountsOfDevices(use, numbers, roots))
        if (!IsRemovableMediaMountPoint(m.MountPoint)) system_mounts.push_back(m);
    if (!system_mounts.empty())
        return {DiskKind::SystemDisk, "holds a mounted system file system (" + MountList(system_mounts) + ")"};
    for (const DeviceNumber& n : numbers)
        if (std::find(use.SwapDevices.begin(), use.SwapDevices.end(), n) != use.SwapDevices.end())
            return {DiskKind::SystemDisk, "holds active swap"};
    for (const SystemDevice& system : use.SystemDevices)
        if (std::find(numbers.begin(), numbers.end(), system.Number) != numbers.end())
            return {DiskKind::SystemDisk, "holds the system (the file system of " + system.What + ")"};
    const bool stacked = disk.HasHolders || std::any_of(disk.Partitions.begin(), disk.Partitions.end(),
                                                        [](const DiskPartition& p) { return p.HasHolders; });
    if (stacked) return {DiskKind::SystemDisk, "is part of a stacked device (LVM, RAID or encryption)"};

    const std::string& name = disk.Name;
    if (StartsWith(name, "loop")) return {DiskKind::NotACard, "a loop device, not a card"};
    if (StartsWith(name, "ram") || StartsWith(name, "zram")) return {DiskKind::NotACard, "a RAM disk, not a card"};
    bool candidate = false;
    if (Matches(name, "mmcblk", true)) {
        if (disk.DeviceType == "MMC") return {DiskKind::NotACard, "built-in eMMC storage, not an SD card"};
        if (disk.DeviceType != "SD") return {DiskKind::NotACard, "an MMC device that is not an SD card"};
        candidate = true;
    } else if (Matches(name, "sd", false)) {
        if (!disk.Removable) return {DiskKind::NotACard, "a fixed disk, not a removable card"};
        if (!disk.DeviceType.empty() && disk.DeviceType != "0")
            return {DiskKind::NotACard, "a removable drive that is not a disk (SCSI type " + disk.DeviceType + ")"};
        candidate = true;
    }
    if (!candidate) return {DiskKind::NotACard, "not a card reader or SD slot"};
    if (disk.Sectors == 0) return {DiskKind::EmptySlot, "no card in the reader"};
    return {DiskKind::Card, {}};
}

DiskMatch FindDiskOfDevice(const std::vector<DiskInfo>& disks, const DeviceNumber& number) {
    for (const DiskInfo& disk : disks) {
        if (disk.Number == number) return {&disk, nullptr};
        for (const DiskPartition& part : disk.Partitions)
            if (part.Number == number) return {&disk, &part};
    }
    return {};
}

}  // namespace tscard
