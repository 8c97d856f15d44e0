#pragma once
// What card write and card read share on the command line.

#include <string>

#include "cli/cli_common.h"

namespace tscard::cli {

// A file name as the card stores it: 8-bit text in the code page. A
// character the code page lacks becomes '?', and lossy is set.
std::string CardNameBytes(const std::string& file_name, const GlobalOptions& options, bool& lossy);

}  // namespace tscard::cli
