#pragma once
// The in-memory directory of a card: a copy of sector 0 and a list of
// records in the DirEntry layout. After a load or a reset the list holds
// exactly 240 records; a new directory has a zeroed header copy and no
// records.

#include <cstdint>
#include <vector>

#include "card/card_layout.h"

namespace tscard {

struct CardDirectory {
    CardHeader Header;              // copy of sector 0
    std::vector<DirEntry> Records;  // packed: used entries first
};

// The record list becomes 240 records of 128 zero bytes.
void ResetDirectory(CardDirectory& directory);

// Fills the directory from a header region that passed the recognition
// test, in two passes. First, every used on-card entry is copied, in order,
// into the next record (so a free entry between two used ones leaves no
// gap). Then, over the first FileCount entries and up to the first one
// with Length 0 or a StartSector below 61, an entry whose StartSector
// matches no record is appended with its StartSector and Length only.
void FillDirectoryFromRegion(const std::uint8_t* header_region, CardDirectory& directory);

// Puts the directory into a header region for writing: the header copy as
// sector 0, records 0 to FileCount - 1 over the entries of the same index;
// the other entries keep the bytes the region holds.
void StoreDirectoryIntoRegion(const CardDirectory& directory, std::uint8_t* header_region);

// DataUnits minus the sum of Length over the records in use (free records
// count nothing), never below 0.
std::int64_t FreeUnitsOf(std::int64_t data_units, const CardDirectory& directory);

}  // namespace tscard
