#pragma once
// Fixed-point texts of the system's labels: the value first rounded to
// `precision` significant digits, then shown with `decimals` decimals and
// '.' as the separator ("4.02128" for 4.021277 with precision 8 and 5
// decimals; "2000" for 2000.0 with precision 7 and none).

#include <string>

namespace tscard {

std::string FixedText(double value, int precision, int decimals);

// x rounded to d decimals, halves to even.
double RoundDecimals(double x, int d);

}  // namespace tscard
