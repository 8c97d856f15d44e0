#include "platform/hex_text.h"

#include <cstdio>

namespace tscard {

std::string HexDigits(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

std::string HexText(unsigned value, int digits) { return "0x" + HexDigits(value, digits); }

}  // namespace tscard
