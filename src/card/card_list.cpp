#include "card/card_list.h"

#include <cerrno>

#include "card/card_discovery.h"
#include "card/card_open.h"
#include "card/filesystem_probe.h"

namespace tscard {

std::string CardItemText(std::size_t index, std::uint64_t capacity_mb, const std::string& device_path) {
    return "Card " + std::to_string(index) + "[" + std::to_string(capacity_mb) + " MB]" + ",Drive letter -" +
           device_path;
}

Words NotListed(const Words& problem) { return Words(N_("%1; not listed"), {problem}); }

bool ExamineCard(CardDevice& device, std::size_t index, const std::vector<std::string>& partition_nodes,
                 CardRecord& record, Words& problem) {
    record = CardRecord{};
    record.DevicePath = device.Path();
    record.ItemText = CardItemText(index, device.CapacityMB, device.Path());
    Status read_status;
    const DirectoryState state = device.LoadDirectory(record.Directory, &read_status);
    record.HeaderValid = state == DirectoryState::Valid;
    record.CapacityMB = device.CapacityMB;
    record.DataUnits = device.DataUnits;
    record.FreeUnits = state == DirectoryState::Valid ? device.FreeUnits : 0;
    record.TotalSectors = device.TotalSectors;
    switch (state) {
        case DirectoryState::Valid: record.FileSystemName = "DORO "; break;
        case DirectoryState::NotInLayout: record.FileSystemName = "Unknow"; break;
        case DirectoryState::Unreadable:
            record.FileSystemName = ProbeFileSystemName(device.Path(), partition_nodes);
            if (record.FileSystemName.empty()) {
                problem = read_status.words();
                return false;
            }
            break;
    }
    return true;
}

Status ScanCards(const SystemRoots& roots, CardList& list, std::shared_ptr<DeviceOpener> opener) {
    list = CardList{};
    SystemUse use;
    if (Status status = ReadSystemUse(roots, use); !status) return status;
    std::vector<DiskInfo> disks;
    if (Status status = ReadDisks(roots, disks); !status) return status;
    for (const DiskInfo& disk : disks) {
        const std::string node = disk.Node(roots);
        const std::string reader = disk.Model.empty() ? node : node + " (" + disk.Model + ")";
        const DiskKind kind = ClassifyDisk(disk, use, roots).Kind;
        if (kind == DiskKind::EmptySlot) list.EmptyReaders.push_back(reader);
        if (kind != DiskKind::Card) continue;
        std::unique_ptr<CardBackend> backend;
        bool no_medium = false;
        if (Status status = OpenCardNode(node, false, nullptr, backend, &no_medium, opener); !status) {
            if (no_medium) {
                list.EmptyReaders.push_back(reader);
            } else {
                list.Problems.push_back(status.words());
                list.PermissionRefused = list.PermissionRefused || status.error() == EACCES || status.error() == EPERM;
            }
            continue;
        }
        CardDevice device(std::move(backend));
        CardRecord record;
        Words problem;
        if (ExamineCard(device, list.Records.size(), disk.PartitionNodes(roots), record, problem)) {
            record.ReaderModel = disk.Model;
            list.Records.push_back(std::move(record));
        }
        else
            list.Problems.push_back(NotListed(problem));
    }
    return Status::Ok();
}

}  // namespace tscard
