#pragma once
// What check prints: the headline ("priority 1: 0 errors; priority 2: 2
// errors (PCR_repetition_error 2)"), the file's figures in aligned lines,
// one line per indicator with its count and first occurrence, the decoding
// delay of each stream and the bit rate of each PID; --details adds the
// kept occurrences of each indicator. Or all of it, with the chart series,
// as one JSON object.

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "check/check_result.h"

namespace tscard::cli {

// "priority 1: 0 errors; priority 2: 2 errors (PCR_repetition_error 2)".
std::string CheckHeadline(const CheckResult& r);
void PrintCheckReport(const CheckResult& r, bool details);
nlohmann::json CheckJson(const CheckResult& r);

}  // namespace tscard::cli
