#include "platform/number_text.h"

#include <charconv>

namespace tscard {

std::optional<std::uint64_t> ParseWholeNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (text.size() > 1 && text[0] == '$') {
        text.remove_prefix(1);
        base = 16;
    }
    if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace tscard
