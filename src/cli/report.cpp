#include "cli/report.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli_common.h"

namespace tscard::cli {
namespace {

// Characters of UTF-8 text: every byte but the continuation bytes.
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void Pad(std::ostream& out, std::size_t blanks) { out << std::string(blanks, ' '); }

}  // namespace

Fields& Fields::Add(std::string label, std::string value) {
    lines_.emplace_back(std::move(label), std::move(value));
    return *this;
}

void Fields::Print(std::ostream& out, std::size_t indent) const {
    std::size_t width = 0;
    for (const auto& [label, value] : lines_) width = std::max(width, Width(label));
    for (const auto& [label, value] : lines_) {
        Pad(out, indent);
        out << label << ':';
        if (!value.empty()) {
            Pad(out, width - Width(label) + 1);
            out << value;
        }
        out << '\n';
    }
}

Table& Table::Row(std::vector<std::string> cells) {
    rows_.push_back(std::move(cells));
    return *this;
}

void Table::Print(std::ostream& out, std::size_t indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    for (const auto& row : rows_) {
        Pad(out, indent);
        // The last non-empty cell ends the line: no trailing blanks.
        std::size_t cells = row.size();
        while (cells > 0 && row[cells - 1].empty()) --cells;
        for (std::size_t c = 0; c < cells; ++c) {
            out << row[c];
            if (c + 1 < cells) Pad(out, widths[c] - Width(row[c]) + 2);
        }
        out << '\n';
    }
}

std::string HexAndDecimal(std::uint32_t value) { return Hex4(value) + " (" + std::to_string(value) + ")"; }

std::string BytesText(std::uint64_t bytes) { return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"); }

std::string MibText(double bytes, int decimals) { return FormatFixed(bytes / 1048576.0, decimals) + " MiB"; }

std::string SizeText(std::uint64_t bytes) { return MibText(double(bytes)) + " (" + BytesText(bytes) + ")"; }

std::string MbitText(double mbit_per_second, int decimals) {
    return FormatFixed(mbit_per_second, decimals) + " Mbit/s";
}

std::string KbitText(std::uint64_t kbit_per_second) { return std::to_string(kbit_per_second) + " kbit/s"; }

std::string SecondsText(double seconds, int decimals) { return FormatFixed(seconds, decimals) + " s"; }

void PrintJson(const nlohmann::json& value) {
    std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace tscard::cli
