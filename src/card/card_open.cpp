#include "card/card_open.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "card/block_device_backend.h"
#include "card/image_file_backend.h"
#include "card/mounts.h"
#include "platform/file_io.h"

namespace tscard {
namespace {

std::function<Status()> UnmountCard(std::vector<DeviceNumber> numbers, SystemRoots roots,
                                    std::shared_ptr<DeviceOpener> opener) {
    return [numbers = std::move(numbers), roots = std::move(roots), opener = std::move(opener)]() -> Status {
        SystemUse use;
        if (Status status = ReadSystemUse(roots, use); !status) return status;
        const std::vector<MountEntry> mounts = MountsOfDevices(use, numbers, roots);
        if (mounts.empty()) return Status::Ok();
        return opener ? opener->Unmount(mounts) : UnmountAll(mounts);
    };
}

}  // namespace

Status OpenCardNode(const std::string& path, bool writable, std::function<Status()> unmount,
                    std::unique_ptr<CardBackend>& out, bool* no_medium, std::shared_ptr<DeviceOpener> opener) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Status::Fail(FileError(path, N_("cannot open")));
    if (S_ISBLK(st.st_mode)) {
        BlockDeviceAccess access;
        access.Writable = writable;
        access.Unmount = std::move(unmount);
        access.Opener = std::move(opener);
        return OpenBlockDeviceBackend(path, access, out, no_medium);
    }
    if (S_ISREG(st.st_mode)) return OpenImageFileBackend(path, writable, out);
    return Status::Fail(Words(N_("%1: not a card: neither a block device nor a card image file"), {path}));
}

Status ResolveCard(const std::string& path, const SystemRoots& roots, CardTarget& out,
                   std::shared_ptr<DeviceOpener> opener) {
    out = CardTarget{};
    out.Path = path;
    out.Opener = std::move(opener);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Status::Fail(FileError(path, N_("cannot open")));
    if (S_ISREG(st.st_mode)) {
        out.Verdict.Kind = DiskKind::Card;
        return Status::Ok();
    }
    if (!S_ISBLK(st.st_mode)) return Status::Fail(Words(N_("%1: not a card: neither a block device nor a card image file"), {path}));

    out.IsBlockDevice = true;
    const DeviceNumber number{::major(st.st_rdev), ::minor(st.st_rdev)};
    SystemUse use;
    if (Status status = ReadSystemUse(roots, use); !status) return status;
    std::vector<DiskInfo> disks;
    if (Status status = ReadDisks(roots, disks); !status) return status;
    const DiskMatch match = FindDiskOfDevice(disks, number);
    if (match.Partition != nullptr)
        return Status::Fail(path + ": is partition " + match.Partition->Name + " of " + match.Disk->Node(roots) +
                            "; the card layout takes the whole card, give " + match.Disk->Node(roots));
    if (match.Disk == nullptr) {
        // Unknown to sysfs: judge it by its own mounts only.
        DiskInfo alone;
        alone.Name = path;
        alone.Number = number;
        out.Numbers = {number};
        out.Verdict = ClassifyDisk(alone, use, roots);
        if (out.Verdict.Kind != DiskKind::SystemDisk)
            out.Verdict = {DiskKind::NotACard, "not found among the disks of " + roots.Sysfs + "/block"};
        return Status::Ok();
    }
    out.Numbers = match.Disk->DeviceNumbers();
    out.PartitionNodes = match.Disk->PartitionNodes(roots);
    out.Model = match.Disk->Model;
    out.Verdict = ClassifyDisk(*match.Disk, use, roots);
    for (const DiskInfo& disk : disks) {
        if (&disk == match.Disk) break;
        if (ClassifyDisk(disk, use, roots).Kind == DiskKind::Card) ++out.ListIndex;
    }
    return Status::Ok();
}

Status CheckCardTarget(const CardTarget& target, bool allow_non_removable) {
    switch (target.Verdict.Kind) {
        case DiskKind::Card: return Status::Ok();
        case DiskKind::SystemDisk:
            return Status::Fail(Words(N_("%1: %2; it is never used as a card"), {target.Path, target.Verdict.Reason}));
        case DiskKind::EmptySlot: return Status::Fail(Words(N_("%1: %2"), {target.Path, target.Verdict.Reason}));
        case DiskKind::NotACard:
            if (allow_non_removable) return Status::Ok();
            return Status::Fail(Words(N_("%1: %2; only removable cards are used"), {target.Path, target.Verdict.Reason}));
    }
    return Status::Fail(Words(N_("%1: not a card"), {target.Path}));
}

Status OpenCard(const CardTarget& target, bool writable, const SystemRoots& roots, CardDevice& out) {
    std::function<Status()> unmount;
    if (target.IsBlockDevice && writable) {
        unmount = UnmountCard(target.Numbers, roots, target.Opener);
        if (Status status = unmount(); !status) return Status::Fail(Words(N_("%1: %2"), {target.Path, status.words()}));
    }
    std::unique_ptr<CardBackend> backend;
    if (Status status = OpenCardNode(target.Path, writable, unmount, backend, nullptr, target.Opener); !status)
        return status;
    out = CardDevice(std::move(backend));
    return Status::Ok();
}

}  // namespace tscard
