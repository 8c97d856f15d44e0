#include "cli/cli_common.h"

#include <CLI/Error.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>

#include "platform/escaped_text.h"
#include "platform/hex_text.h"
#include "platform/number_text.h"
#include "prepare/mux_rate.h"

namespace tscard::cli {

// Messages carry names as the operator, the file system or a stream gave
// them: escaped here, once, for every message.
void PrintError(std::string_view message) { std::cerr << "tscard-cli: " << EscapeControls(message) << std::endl; }

int Report(const Status& status) {
    if (status.ok()) return kExitOk;
    PrintError(status.message());
    return kExitFailed;
}

void Exit(int code) { throw CLI::RuntimeError(code); }

void Fail(const std::string& message, int code) {
    PrintError(message);
    Exit(code);
}

std::string FormatFixed(double value, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string GroupedFixed(double value, int decimals) {
    const std::string text = FormatFixed(value, decimals);
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string grouped = text.substr(0, sign);
    for (std::size_t i = sign; i < point; ++i) {
        if (i > sign && (point - i) % 3 == 0) grouped += ',';
        grouped += text[i];
    }
    return grouped + text.substr(point);
}

std::string CardRateText() { return GroupedFixed(kMuxBitRate, 3) + " bit/s"; }

std::string Hex4(std::uint32_t value) { return HexText(value, 4); }

std::string Hex2(std::uint32_t value) { return HexText(value, 2); }

std::optional<std::uint64_t> ParseNumber(std::string_view text) { return ParseWholeNumber(text); }

std::string DisplayText(std::string_view bytes, const GlobalOptions& options) {
    return DecodeCodePage(bytes, options.codepage);
}

std::string TerminalText(std::string_view bytes, const GlobalOptions& options) {
    return EscapeControls(DisplayText(bytes, options));
}

}  // namespace tscard::cli
