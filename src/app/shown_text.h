#pragma once
// Texts the panels show for values: paths as the file system has them,
// sizes with the decimal separator of the window's locale.

#include <QString>

#include <cstdint>
#include <string>

namespace tscard::app {

// A path (file-system bytes) as text, and back.
QString ShownPath(const std::string& path);
std::string PathBytes(const QString& path);

// The decimal separator of the window's locale (QLocale()).
char DecimalSeparator();

// Whole mebibytes with three decimals, as the splice panel shows sizes:
// "1.000" for 1,572,863 bytes.
QString WholeMegabytesText(std::uint64_t bytes);

}  // namespace tscard::app
