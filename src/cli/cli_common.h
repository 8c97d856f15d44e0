#pragma once
// Conventions every command follows: results on stdout, progress and errors
// on stderr; exit 0 on success, 1 when the operation failed or was refused,
// 2 for a bad command line; numbers always with '.' as decimal separator.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/escaped_text.h"
#include "platform/status.h"

namespace CLI {
class App;
}

namespace tscard::cli {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

class QtModule;

// Options shared by every command, set before the command runs.
struct GlobalOptions {
    CodePage codepage = SystemCodePage();
    // The Qt parts, loaded by the commands that need them (main's).
    QtModule* qt = nullptr;
};

// Prints "tscard-cli: <message>" on stderr, its control characters
// escaped (EscapeControls): a message is one line on the terminal.
void PrintError(std::string_view message);
// Prints the status' message when it failed and returns the exit code.
int Report(const Status& status);
// Ends the running command with the exit code: the parser hands it to main.
[[noreturn]] void Exit(int code);
// Prints the message as PrintError does and ends the command.
[[noreturn]] void Fail(const std::string& message, int code = kExitFailed);

// Fixed-point text with '.' whatever the locale.
std::string FormatFixed(double value, int decimals);
// "24,882,472.745": thousands grouped with ',', the decimals after '.'.
std::string GroupedFixed(double value, int decimals);
// The card's fixed multiplex rate as every help text names it:
// "24,882,472.745 bit/s".
std::string CardRateText();

// "0x" followed by four (two) upper-case hexadecimal digits, or more when
// the value needs them.
std::string Hex4(std::uint32_t value);
std::string Hex2(std::uint32_t value);

// Reads 0x... or $... as hexadecimal, anything else as decimal (never
// octal); nullopt for anything that is not a whole number.
std::optional<std::uint64_t> ParseNumber(std::string_view text);

// 8-bit name bytes as UTF-8 for JSON (which escapes what it must).
std::string DisplayText(std::string_view bytes, const GlobalOptions& options);
// The same for text output: control characters come out escaped
// (platform/escaped_text.h), so that a name never prints a line of its own
// or drives the terminal.
std::string TerminalText(std::string_view bytes, const GlobalOptions& options);

}  // namespace tscard::cli
