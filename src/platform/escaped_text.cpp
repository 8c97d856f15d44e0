#include "platform/escaped_text.h"

namespace tscard {

std::string EscapeControls(std::string_view utf8, Backslash backslash) {
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size());
    auto hex = [&](unsigned value) {
        out += "\\x";
        out += kDigits[(value >> 4) & 15];
        out += kDigits[value & 15];
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        // C1 controls (U+0080..U+009F) come as C2 80..C2 9F.
        if (b == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                hex(next);
                ++i;
                continue;
            }
        }
        switch (b) {
            case '\\': out += backslash == Backslash::Escaped ? "\\\\" : "\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (b < 0x20 || b == 0x7F)
                    hex(b);
                else
                    out += static_cast<char>(b);
        }
    }
    return out;
}

}  // namespace tscard
