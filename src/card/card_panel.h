#pragma once
// What the card panel shows for a listed card, as data and text: the
// file-system name with the layout version, capacity and free space in MB
// with 4 decimals (or "Mast be formated"), and the names of the streams.

#include <cstdint>
#include <string>
#include <vector>

#include "card/card_list.h"

namespace tscard {

struct CardPanelView {
    bool Formatted = false;        // in the layout with the formatted flag: streams can be written and read
    std::string FileSystemText;    // "DORO  v0.1", "Unknow v0.0"
    std::string CapacityText;      // data area in MB
    std::string FreeText;          // free space in MB, or "Mast be formated"
    double FreeMB = 0.0;
    std::vector<std::string> StreamNames;  // 8-bit names of records 0 to FileCount - 1
    // Why the directory of a formatted card cannot be what a write left
    // ("the directory is damaged: stream 1: ..."), or empty: its names and
    // free space are then not to be trusted.
    std::string Damage;
};

CardPanelView DescribeCard(const CardRecord& record);

// The first fault of the directory: a stream listed by FileCount whose
// entry does not fit the card or is free, or two streams on the same
// blocks. Empty for a sound one.
std::string DirectoryDamage(const CardRecord& record);

// units × 8192 / 1048576 MB as the panel prints it: rounded to 8
// significant digits and at most 4 decimals (half away from zero), always
// shown with 4 decimals and '.' as separator.
std::string UnitsAsMegabytes(std::int64_t units);

}  // namespace tscard
