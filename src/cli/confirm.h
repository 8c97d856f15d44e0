#pragma once
// Asking the operator before a raw write to a card in a reader.

#include <string>

namespace tscard::cli {

enum class Confirmation { Yes, No, NoTerminal };

// Shows the question on stderr and reads the answer from stdin when stdin
// is a terminal; only "y" or "yes" (any case) is a yes.
Confirmation AskOnTerminal(const std::string& question);

}  // namespace tscard::cli
