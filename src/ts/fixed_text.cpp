#include "ts/fixed_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tscard {

std::string FixedText(double value, int precision, int decimals) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    // Round to the significant digits first, through the decimal text.
    char scientific[64];
    std::snprintf(scientific, sizeof scientific, "%.*e", precision > 0 ? precision - 1 : 0, value);
    const double rounded = std::strtod(scientific, nullptr);
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

double RoundDecimals(double x, int d) {
    const double scale = std::pow(10.0, d);
    return std::nearbyint(x * scale) / scale;
}

}  // namespace tscard
