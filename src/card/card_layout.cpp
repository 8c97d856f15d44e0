#include "card/card_layout.h"

#include <algorithm>
#include <cstring>

namespace tscard {
namespace {

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

void Put32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

CardHeader CardHeader::Decode(const std::uint8_t* sector) {
    CardHeader header;
    header.Mark = sector[0];
    header.FileCount = sector[1];
    header.Flags = sector[2];
    header.Bitrate = Get32(sector + 3);
    std::memcpy(header.Tail.data(), sector + 7, header.Tail.size());
    return header;
}

void CardHeader::Encode(std::uint8_t* sector) const {
    sector[0] = Mark;
    sector[1] = FileCount;
    sector[2] = Flags;
    Put32(sector + 3, Bitrate);
    std::memcpy(sector + 7, Tail.data(), Tail.size());
}

DirEntry DirEntry::Decode(const std::uint8_t* bytes) {
    DirEntry entry;
    entry.StartSector = Get32(bytes);
    entry.Length = Get32(bytes + 4);
    entry.LastSlot = bytes[8];
    std::memcpy(entry.Name.data(), bytes + 9, kNameSize);
    return entry;
}

void DirEntry::Encode(std::uint8_t* bytes) const {
    Put32(bytes, StartSector);
    Put32(bytes + 4, Length);
    bytes[8] = LastSlot;
    std::memcpy(bytes + 9, Name.data(), kNameSize);
}

DirEntry DirEntry::FreeEntry() {
    DirEntry entry;
    entry.StartSector = 0xFFFFFFFF;
    entry.Length = kFreeLength;
    entry.LastSlot = 0xFF;
    entry.Name.fill(0xFF);
    return entry;
}

std::string DirEntry::NameBytes() const {
    const auto end = std::find(Name.begin(), Name.end(), std::uint8_t{0});
    return std::string(Name.begin(), end);
}

void DirEntry::SetName(std::string_view bytes) {
    Name.fill(0);
    std::memcpy(Name.data(), bytes.data(), std::min(bytes.size(), kNameSize));
}

CardFigures FiguresOfLength(std::uint64_t length_bytes) {
    CardFigures figures;
    figures.TotalSectors = length_bytes / kSectorSize;
    figures.CapacityMB = figures.TotalSectors * kSectorSize / 1048576;
    // A card too small for the header region and one unit has no data area
    // (the unsigned difference would otherwise wrap to a huge figure).
    if (figures.TotalSectors > kHeaderRegionSectors + 1)
        figures.DataUnits = static_cast<std::int64_t>((figures.TotalSectors - 62) / kSectorsPerUnit);
    return figures;
}

bool IsInCardLayout(const std::uint8_t* header_region) {
    if (header_region[0] != kHeaderMark) return false;
    if (header_region[1] > kDirectoryEntries) return false;
    for (std::size_t i = 0; i < kDirectoryEntries; ++i) {
        const DirEntry entry = DirEntry::Decode(header_region + kDirectoryOffset + i * kDirEntrySize);
        if (!entry.IsFree() && entry.StartSector < kFirstDataSector) return false;
    }
    return true;
}

void BuildEmptyHeaderRegion(bool version01, std::uint32_t bitrate, std::uint8_t* header_region) {
    std::memset(header_region, 0xFF, kHeaderRegionBytes);
    header_region[0] = kHeaderMark;
    header_region[1] = 0;
    header_region[2] = version01 ? (kFlagFormatted | kFlagVersion01) : kFlagFormatted;
    Put32(header_region + 3, bitrate);
}

std::uint16_t ReadTrailer(const std::uint8_t* block, std::size_t slot) {
    const std::uint8_t* p = block + kSlotSize * slot + 188;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteTrailer(std::uint8_t* block, std::size_t slot, std::uint16_t count) {
    std::uint8_t* p = block + kSlotSize * slot + 188;
    p[0] = static_cast<std::uint8_t>(count);
    p[1] = static_cast<std::uint8_t>(count >> 8);
}

std::uint16_t TrailerNullCount(std::uint16_t trailer) {
    switch (trailer >> 12) {
        case 0x4: return static_cast<std::uint16_t>(trailer & ~((1u << 14) | (1u << 11)));
        case 0x5: return static_cast<std::uint16_t>(trailer & ~((1u << 14) | (1u << 12)));
        case 0x6: return static_cast<std::uint16_t>(trailer & ~((1u << 14) | (1u << 13)));
        default: return trailer;
    }
}

StreamExtent ExtentOfPackets(std::uint64_t packets) {
    StreamExtent extent;
    extent.Blocks = (packets + kSlotsPerBlock - 1) / kSlotsPerBlock;
    extent.Length = static_cast<std::uint32_t>(extent.Blocks - 1);
    const std::uint64_t in_last = packets % kSlotsPerBlock;
    extent.LastSlot = in_last != 0 ? static_cast<std::uint8_t>(in_last - 1) : 0;
    return extent;
}

std::size_t SlotsInBlock(const DirEntry& entry, std::uint64_t block) {
    const bool last = block == std::uint64_t(entry.Length);
    if (last && entry.LastSlot != 0) return std::size_t(entry.LastSlot) + 1;
    return kSlotsPerBlock;
}

std::uint64_t StoredPackets(const DirEntry& entry) {
    return std::uint64_t(entry.Length) * kSlotsPerBlock + SlotsInBlock(entry, entry.Length);
}

}  // namespace tscard
