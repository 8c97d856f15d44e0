#pragma once
// The raw card layout the player reads: a header sector, a 240-entry
// directory and a data area of 8192-byte units, each holding one block of
// 43 packet slots with 16-bit null-packet trailers. Every byte here is a
// contract with the player; nothing may change for convenience.
// All multi-byte integers are little-endian; a sector is always 512 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tscard {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kHeaderRegionSectors = 61;
constexpr std::size_t kHeaderRegionBytes = 0x7A00;  // sector 0 and the directory, 31232 bytes
constexpr std::size_t kDirectoryEntries = 240;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::size_t kDirectoryOffset = kSectorSize;
constexpr std::size_t kDirectoryBytes = kDirectoryEntries * kDirEntrySize;  // 30720
constexpr std::size_t kSectorsPerUnit = 16;
constexpr std::size_t kUnitSize = kSectorsPerUnit * kSectorSize;  // 8192
constexpr std::uint32_t kFirstDataSector = 61;

constexpr std::size_t kSlotsPerBlock = 43;
constexpr std::size_t kSlotSize = 190;     // 188 packet bytes and a 2-byte trailer
constexpr std::size_t kBlockPaddingOffset = kSlotsPerBlock * kSlotSize;  // 8170

constexpr std::uint8_t kHeaderMark = 0x48;
constexpr std::uint8_t kFlagFormatted = 0x01;
constexpr std::uint8_t kFlagVersion01 = 0x06;  // bits 1 and 2, always set together
constexpr std::uint32_t kFreeLength = 0xFFFFFFFF;
constexpr std::size_t kNameSize = 119;

// Sector 0. Bytes 7 to 511 are kept as they were read so that a header
// written back is the header that was read.
struct CardHeader {
    std::uint8_t Mark = 0;
    std::uint8_t FileCount = 0;
    std::uint8_t Flags = 0;
    std::uint32_t Bitrate = 0;  // kbit/s in version 0.1, 0 in version 0.0
    std::array<std::uint8_t, kSectorSize - 7> Tail{};

    static CardHeader Decode(const std::uint8_t* sector);
    void Encode(std::uint8_t* sector) const;
    bool Formatted() const { return (Flags & kFlagFormatted) != 0; }
    bool Version01() const { return (Flags & 0x02) != 0; }
};

// One 128-byte directory entry, on the card or in memory.
struct DirEntry {
    std::uint32_t StartSector = 0;
    std::uint32_t Length = 0;  // blocks minus 1; kFreeLength marks a free entry
    std::uint8_t LastSlot = 0;
    std::array<std::uint8_t, kNameSize> Name{};

    static DirEntry Decode(const std::uint8_t* bytes);
    void Encode(std::uint8_t* bytes) const;
    // 128 bytes of 0xFF, as formatting leaves every entry.
    static DirEntry FreeEntry();
    bool IsFree() const { return Length == kFreeLength; }
    // The name's bytes up to the first zero, at most 119.
    std::string NameBytes() const;
    // 119 zero bytes with the name copied over them, cut to 119 bytes.
    void SetName(std::string_view bytes);
};

// Conversions between units (of the data area) and absolute sectors.
constexpr std::uint64_t UnitToSector(std::uint64_t unit) { return kSectorsPerUnit * unit + kFirstDataSector; }
constexpr std::uint32_t SectorToUnit(std::uint32_t sector) { return (sector - kFirstDataSector) >> 4; }
constexpr std::uint64_t UnitOffset(std::uint64_t unit) { return unit * kUnitSize + kHeaderRegionBytes; }
constexpr std::uint64_t SectorOffset(std::uint64_t sector) { return sector * kSectorSize; }

// Size figures of a card of the given length in bytes.
struct CardFigures {
    std::uint64_t TotalSectors = 0;
    std::uint64_t CapacityMB = 0;
    // (TotalSectors - 62) / 16: 62, not 61, so a data area that is an exact
    // multiple of 16 sectors counts one unit fewer. Never negative.
    std::int64_t DataUnits = 0;
};
CardFigures FiguresOfLength(std::uint64_t length_bytes);

// Recognition test over the first 0x7A00 bytes of a card: mark 0x48,
// FileCount at most 240, every entry free or starting at sector 61 or later.
bool IsInCardLayout(const std::uint8_t* header_region);

// The empty header region written by formatting (version 0.0, bit rate 0)
// and at the start of a stream write (version 0.1 with the bit rate).
void BuildEmptyHeaderRegion(bool version01, std::uint32_t bitrate, std::uint8_t* header_region);

// Trailer of slot k: the count of null packets that followed its packet.
std::uint16_t ReadTrailer(const std::uint8_t* block, std::size_t slot);
void WriteTrailer(std::uint8_t* block, std::size_t slot, std::uint16_t count);
// The count the player and the reader take from a stored trailer: when the
// top four bits are 0100, 0101 or 0110, bit 14 and one of bits 11, 12, 13
// are cleared; any other value is used as it is.
std::uint16_t TrailerNullCount(std::uint16_t trailer);

// Length fields of a stream of `packets` stored packets (at least 1).
struct StreamExtent {
    std::uint64_t Blocks = 0;
    std::uint32_t Length = 0;   // Blocks - 1
    std::uint8_t LastSlot = 0;  // last used slot of the final block, 0 when full
};
StreamExtent ExtentOfPackets(std::uint64_t packets);
// Slots a reader uses in block `block` (from 0) of the stream of the entry:
// 43, except LastSlot + 1 in the final block when LastSlot is not 0.
std::size_t SlotsInBlock(const DirEntry& entry, std::uint64_t block);
// The slots a reader uses over all the entry's blocks: its stored packets
// (the null packets folded into their trailers not counted).
std::uint64_t StoredPackets(const DirEntry& entry);
// Byte offset on the card of stored packet p of a stream starting at unit.
constexpr std::uint64_t PacketOffset(std::uint64_t first_unit, std::uint64_t packet) {
    return UnitOffset(first_unit + packet / kSlotsPerBlock) + kSlotSize * (packet % kSlotsPerBlock);
}

}  // namespace tscard
