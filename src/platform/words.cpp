#include "platform/words.h"

#include <ostream>

namespace tscard {

Words::Words(std::string text) : english_(std::move(text)) {}

Words::Words(const char* english_template, std::vector<Words> values)
    : verbatim_(false), template_(english_template), values_(std::move(values)) {
    std::vector<std::string> english;
    english.reserve(values_.size());
    for (const Words& value : values_) english.push_back(value.English());
    english_ = FillTemplate(template_, english);
}

std::ostream& operator<<(std::ostream& out, const Words& words) { return out << words.english_; }

std::string FillTemplate(std::string_view text, const std::vector<std::string>& values) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char next = text[i + 1];
        if (next >= '1' && next <= '9' && std::size_t(next - '1') < values.size()) {
            out += values[std::size_t(next - '1')];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace tscard
