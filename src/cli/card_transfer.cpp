#include "cli/card_transfer.h"

#include "platform/codepage.h"

namespace tscard::cli {

std::string CardNameBytes(const std::string& file_name, const GlobalOptions& options, bool& lossy) {
    return EncodeCodePageReplacing(file_name, options.codepage, lossy);
}

}  // namespace tscard::cli
