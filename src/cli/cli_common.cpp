#include "cli/cli_common.h"

#include <charconv>
#include <cstdio>
#include <iostream>

namespace tscard::cli {

void PrintError(std::string_view message) { std::cerr << "tscard-cli: " << message << std::endl; }

int Report(const Status& status) {
    if (status.ok()) return kExitOk;
    PrintError(status.message());
    return kExitFailed;
}

std::string FormatFixed(double value, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string Hex4(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    } else if (text.size() > 1 && text[0] == '$') {
        text.remove_prefix(1);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string DisplayText(std::string_view bytes, const GlobalOptions& options) {
    return DecodeCodePage(bytes, options.codepage);
}

}  // namespace tscard::cli
