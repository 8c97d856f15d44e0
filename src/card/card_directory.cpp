#include "card/card_directory.h"

#include <algorithm>

namespace tscard {

void ResetDirectory(CardDirectory& directory) { directory.Records.assign(kDirectoryEntries, DirEntry{}); }

void FillDirectoryFromRegion(const std::uint8_t* header_region, CardDirectory& directory) {
    ResetDirectory(directory);
    directory.Header = CardHeader::Decode(header_region);
    const auto entry_at = [&](std::size_t i) {
        return DirEntry::Decode(header_region + kDirectoryOffset + i * kDirEntrySize);
    };

    std::size_t filled = 0;
    for (std::size_t i = 0; i < kDirectoryEntries; ++i) {
        const DirEntry entry = entry_at(i);
        if (!entry.IsFree()) directory.Records[filled++] = entry;
    }

    const std::size_t count = std::min<std::size_t>(directory.Header.FileCount, kDirectoryEntries);
    for (std::size_t j = 0; j < count; ++j) {
        const DirEntry entry = entry_at(j);
        if (entry.Length == 0 || entry.StartSector < kFirstDataSector) break;
        const bool known = std::any_of(directory.Records.begin(), directory.Records.end(),
                                       [&](const DirEntry& r) { return r.StartSector == entry.StartSector; });
        if (!known && filled < kDirectoryEntries) {
            DirEntry& record = directory.Records[filled++];
            record.StartSector = entry.StartSector;
            record.Length = entry.Length;
        }
    }
}

void StoreDirectoryIntoRegion(const CardDirectory& directory, std::uint8_t* header_region) {
    directory.Header.Encode(header_region);
    const std::size_t count =
        std::min<std::size_t>({directory.Header.FileCount, kDirectoryEntries, directory.Records.size()});
    for (std::size_t i = 0; i < count; ++i)
        directory.Records[i].Encode(header_region + kDirectoryOffset + i * kDirEntrySize);
}

std::int64_t FreeUnitsOf(std::int64_t data_units, const CardDirectory& directory) {
    std::int64_t used = 0;
    for (const DirEntry& record : directory.Records)
        if (!record.IsFree()) used += record.Length;
    return std::max<std::int64_t>(0, data_units - used);
}

}  // namespace tscard
