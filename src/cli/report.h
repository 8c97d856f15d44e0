#pragma once
// The one way every command prints a report: aligned "label: value" lines,
// aligned tables, and the units engineers read (sizes in MiB with the byte
// count, bit rates in Mbit/s or kbit/s, PIDs in hexadecimal and decimal).
// MiB are 1,048,576 bytes: what the window's size fields call "MB".
// JSON goes out through PrintJson.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace tscard::cli {

// "label: value" lines with the values in one column.
class Fields {
public:
    Fields& Add(std::string label, std::string value);
    // Each line starts with `indent` blanks.
    void Print(std::ostream& out, std::size_t indent = 0) const;
    bool Empty() const { return lines_.empty(); }

private:
    std::vector<std::pair<std::string, std::string>> lines_;
};

// Rows of cells with every column as wide as its widest cell (counted in
// characters of UTF-8 text); cells are separated by two blanks.
class Table {
public:
    Table& Row(std::vector<std::string> cells);
    void Print(std::ostream& out, std::size_t indent = 0) const;
    bool Empty() const { return rows_.empty(); }

private:
    std::vector<std::vector<std::string>> rows_;
};

// "0x0100 (256)": the hexadecimal a stream's tables use, and the decimal.
std::string HexAndDecimal(std::uint32_t value);
// "2233816 bytes".
std::string BytesText(std::uint64_t bytes);
// "2.130 MiB".
std::string MibText(double bytes, int decimals = 3);
// "2.130 MiB (2233816 bytes)".
std::string SizeText(std::uint64_t bytes);
// "24.08 Mbit/s".
std::string MbitText(double mbit_per_second, int decimals = 2);
// "4000 kbit/s".
std::string KbitText(std::uint64_t kbit_per_second);
// "6.2 s".
std::string SecondsText(double seconds, int decimals = 1);

// Prints the value as indented JSON and a line feed on stdout. Bytes that
// are not UTF-8 (a file name may hold any) come out as U+FFFD.
void PrintJson(const nlohmann::json& value);

}  // namespace tscard::cli
