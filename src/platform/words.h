#pragma once
// A sentence the system says, kept as it was made: an English template and
// the values put into it. The command line prints its English text; the
// window looks the template up in its catalogue and fills the values in
// after translation, so names and figures stay as they are in any language.
//
// Templates are marked with N_ where they are written, so that the
// catalogue tools find them (as gettext's N_ does); %1 to %9 stand for the
// values, in any order a language needs. A marked template is written in
// namespace tscard, outside class members: the catalogue keeps it under the
// context "tscard", where the window looks for it.
//
//     return Status::Fail(Words(N_("%1: the output would overwrite the source"), {output}));
//
// A value is a text shown as it is (a file name, a number, the system's own
// error text) or words of their own, translated in turn.

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#define N_(text) text

namespace tscard {

class Words {
public:
    Words() = default;
    // Shown as it is, in every language.
    Words(std::string text);  // NOLINT: a text is words said as they are
    // A marked template (N_) and the values it takes.
    Words(const char* english_template, std::vector<Words> values = {});
    Words(const char* english_template, std::initializer_list<Words> values)
        : Words(english_template, std::vector<Words>(values)) {}

    // The English sentence: the template with its values filled in.
    const std::string& English() const { return english_; }
    bool empty() const { return english_.empty(); }

    // What a front end needs to say it in another language.
    bool Verbatim() const { return verbatim_; }
    const std::string& Template() const { return template_; }
    const std::vector<Words>& Values() const { return values_; }

    friend bool operator==(const Words& words, std::string_view text) { return words.english_ == text; }
    friend std::ostream& operator<<(std::ostream& out, const Words& words);

private:
    bool verbatim_ = true;
    std::string template_;  // empty when verbatim
    std::vector<Words> values_;
    std::string english_;
};

// The template with %1..%9 replaced by values[0..8], in one pass: a value
// that holds "%2" stays as it is. Any other '%', or a number without a
// value, stays.
std::string FillTemplate(std::string_view text, const std::vector<std::string>& values);

}  // namespace tscard
