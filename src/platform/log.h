#pragma once
// Diagnostic log on stderr (what a debugger's output window shows on other
// systems). Operators never need it; it is for tracing card I/O and workers.

#include <string_view>

namespace tscard {

void DebugLog(std::string_view text);
// Tests silence the log; the default is on.
void SetDebugLogEnabled(bool enabled);
bool DebugLogEnabled();

}  // namespace tscard
