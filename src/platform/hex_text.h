#pragma once
// Hexadecimal as the system shows PIDs, program numbers and bytes:
// upper-case digits, zero-padded to a minimum width.

#include <string>

namespace tscard {

// At least `digits` digits, no prefix: HexDigits(0x1F, 4) is "001F".
std::string HexDigits(unsigned value, int digits);
// The same behind "0x": HexText(0x1F, 4) is "0x001F".
std::string HexText(unsigned value, int digits);

}  // namespace tscard
