#include "cli/confirm.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "platform/escaped_text.h"

namespace tscard::cli {

Confirmation AskOnTerminal(const std::string& question) {
    if (::isatty(STDIN_FILENO) != 1) return Confirmation::NoTerminal;
    std::cerr << EscapeControls(question) << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return Confirmation::No;
    answer.erase(std::remove_if(answer.begin(), answer.end(), [](unsigned char c) { return std::isspace(c); }),
                 answer.end());
    std::transform(answer.begin(), answer.end(), answer.begin(), [](unsigned char c) { return std::tolower(c); });
    return answer == "y" || answer == "yes" ? Confirmation::Yes : Confirmation::No;
}

}  // namespace tscard::cli
