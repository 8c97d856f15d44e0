#pragma once
// What card write and card read share on the command line.

#include <string>

#include "cli/cli_common.h"

namespace tscard::cli {

// True when both paths name the same file or the same block device: a card
// is never its own source or output.
bool SameFileOrDevice(const std::string& a, const std::string& b);

// A file name as the card stores it: 8-bit text in the code page. A
// character the code page lacks becomes '?', and lossy is set.
std::string CardNameBytes(const std::string& file_name, const GlobalOptions& options, bool& lossy);

}  // namespace tscard::cli
