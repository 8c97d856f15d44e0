#pragma once
// Whole numbers as operators type them: 0x... or $... hexadecimal, anything
// else decimal (never octal); no sign, nothing after the digits.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tscard {

[[nodiscard]] std::optional<std::uint64_t> ParseWholeNumber(std::string_view text);

}  // namespace tscard
