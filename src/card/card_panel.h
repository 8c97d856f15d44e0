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
};

CardPanelView DescribeCard(const CardRecord& record);

// units × 8192 / 1048576 MB as the panel prints it: rounded to 8
// significant digits and at most 4 decimals (half away from zero), always
// shown with 4 decimals and '.' as separator.
std::string UnitsAsMegabytes(std::int64_t units);

}  // namespace tscard
