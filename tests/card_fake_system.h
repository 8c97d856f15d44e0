#pragma once
// A fake sysfs, /dev and /proc for card discovery: disks described as
// sysfs would, with card image files standing in for their device nodes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "card/system_roots.h"
#include "card_test_util.h"
#include "support/test_support.h"

namespace tscard::test {

struct FakePartition {
    FakePartition(std::string name_, std::string dev_, bool holders_ = false)
        : name(std::move(name_)), dev(std::move(dev_)), holders(holders_) {}
    std::string name;
    std::string dev;  // "8:17"
    bool holders;
};

struct FakeDisk {
    FakeDisk(std::string name_, std::string dev_, std::string removable_ = "1", std::string type_ = "",
             std::uint64_t sectors_ = 4096, std::vector<FakePartition> partitions_ = {}, bool holders_ = false)
        : name(std::move(name_)), dev(std::move(dev_)), removable(std::move(removable_)), type(std::move(type_)),
          sectors(sectors_), partitions(std::move(partitions_)), holders(holders_) {}
    std::string name;
    std::string dev;        // "8:16"
    std::string removable;  // "1" or "0"
    std::string type;       // device/type; empty: no such file
    std::uint64_t sectors;  // 0: no card in the slot
    std::vector<FakePartition> partitions;
    bool holders;
};

class FakeSystem {
public:
    FakeSystem() {
        std::filesystem::create_directories(dir_ / "sys" / "block");
        std::filesystem::create_directories(dir_ / "dev");
        std::filesystem::create_directories(dir_ / "proc" / "self");
        SetMounts("");
    }

    // The disk's node holds `image` (nothing when empty).
    void Add(const FakeDisk& disk, const std::vector<std::uint8_t>& image = {}) {
        const auto base = dir_ / "sys" / "block" / disk.name;
        std::filesystem::create_directories(base / "holders");
        Write(base / "dev", disk.dev + "\n");
        Write(base / "removable", disk.removable + "\n");
        Write(base / "size", std::to_string(disk.sectors) + "\n");
        if (!disk.type.empty()) {
            std::filesystem::create_directories(base / "device");
            Write(base / "device" / "type", disk.type + "\n");
        }
        if (disk.holders) Write(base / "holders" / "dm-0", "");
        for (const FakePartition& p : disk.partitions) {
            std::filesystem::create_directories(base / p.name / "holders");
            Write(base / p.name / "dev", p.dev + "\n");
            Write(base / p.name / "partition", "1\n");
            if (p.holders) Write(base / p.name / "holders" / "dm-1", "");
        }
        if (!image.empty()) WriteFileBytes(dir_ / "dev" / disk.name, image);
    }

    // An attribute of the disk's device ("vendor", "model", "name").
    void SetDeviceAttribute(const std::string& name, const std::string& attribute, const std::string& value) {
        const auto device = dir_ / "sys" / "block" / name / "device";
        std::filesystem::create_directories(device);
        Write(device / attribute, value + "\n");
    }
    // The reader's names as a USB reader's SCSI device gives them (padded).
    void SetReader(const std::string& name, const std::string& vendor, const std::string& model) {
        SetDeviceAttribute(name, "vendor", vendor);
        SetDeviceAttribute(name, "model", model);
    }

    // Lines of mountinfo, each "major:minor mount-point source".
    void SetMounts(const std::string& text) { Write(dir_ / "proc" / "self" / "mountinfo", text); }

    SystemRoots Roots() const {
        SystemRoots roots;
        roots.Sysfs = (dir_ / "sys").string();
        roots.Dev = (dir_ / "dev").string();
        roots.Proc = (dir_ / "proc").string();
        return roots;
    }
    std::string Node(const std::string& name) const { return (dir_ / "dev" / name).string(); }
    // The disk's node is a link to a real device node.
    void LinkNode(const std::string& name, const std::string& target) {
        std::filesystem::create_symlink(target, dir_ / "dev" / name);
    }
    // The proc entry (self/root, self/exe) is a link to a real file.
    void LinkProc(const std::string& name, const std::string& target) {
        std::filesystem::create_symlink(target, dir_ / "proc" / "self" / name);
    }
    // Lets an unprivileged user read the fake tree.
    void OpenToAll() {
        std::filesystem::permissions(dir_.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
    }

    // A mountinfo line in the kernel's format.
    static std::string MountLine(int id, const std::string& number, const std::string& mount_point,
                                 const std::string& type, const std::string& source) {
        return std::to_string(id) + " 1 " + number + " / " + mount_point + " rw,relatime shared:1 - " + type + " " +
               source + " rw\n";
    }

private:
    static void Write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    TempDir dir_;
};

// Points the command line's discovery at a fake system while it lives.
class DiscoveryEnvironment {
public:
    explicit DiscoveryEnvironment(const SystemRoots& roots) {
        ::setenv("TSCARD_SYSFS_ROOT", roots.Sysfs.c_str(), 1);
        ::setenv("TSCARD_DEV_ROOT", roots.Dev.c_str(), 1);
        ::setenv("TSCARD_PROC_ROOT", roots.Proc.c_str(), 1);
    }
    ~DiscoveryEnvironment() {
        ::unsetenv("TSCARD_SYSFS_ROOT");
        ::unsetenv("TSCARD_DEV_ROOT");
        ::unsetenv("TSCARD_PROC_ROOT");
    }
};

// A formatted card image of `bytes` bytes holding one stream entry.
inline std::vector<std::uint8_t> FormattedCardImage(std::uint64_t bytes, const std::string& stream_name = "") {
    std::vector<std::uint8_t> image(bytes, 0xFF);
    std::vector<std::uint8_t> region = EmptyRegion(!stream_name.empty(), stream_name.empty() ? 0 : 120000);
    if (!stream_name.empty()) {
        region[1] = 1;
        PutEntry(region, 0, 61, 2, 13, stream_name);
    }
    std::copy(region.begin(), region.end(), image.begin());
    return image;
}

}  // namespace tscard::test
