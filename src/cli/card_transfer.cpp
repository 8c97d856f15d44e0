#include "cli/card_transfer.h"

#include "platform/codepage.h"

namespace tscard::cli {
namespace {

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string CardNameBytes(const std::string& file_name, const GlobalOptions& options, bool& lossy) {
    lossy = false;
    if (auto whole = EncodeCodePage(file_name, options.codepage)) return *whole;
    std::string bytes;
    for (std::size_t i = 0; i < file_name.size();) {
        const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(file_name[i])), file_name.size() - i);
        const auto one = EncodeCodePage(std::string_view(file_name).substr(i, n), options.codepage);
        if (one) {
            bytes += *one;
        } else {
            bytes += '?';
            lossy = true;
        }
        i += n;
    }
    return bytes;
}

}  // namespace tscard::cli
