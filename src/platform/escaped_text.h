#pragma once
// Text bound for a terminal or a log line with its control characters
// escaped ("\n", "\x1b", and the backslash as "\\"): a name read from a
// file, a stream or the command line never prints a line of its own or
// drives the terminal.

#include <string>
#include <string_view>

namespace tscard {

enum class Backslash { Escaped, Kept };

// Escapes the C0 and C1 control characters and DEL of UTF-8 text; other
// bytes pass unchanged. A trace keeps its backslashes (its texts hold some
// of their own, "Read\Write Error"), at the price of an escape that cannot
// be told from the same characters typed.
std::string EscapeControls(std::string_view utf8, Backslash backslash = Backslash::Escaped);

}  // namespace tscard
