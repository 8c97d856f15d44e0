#pragma once
// 8-bit text: service names and card file names are stored as bytes of the
// operator's code page (CP1251 under a Russian locale, CP1252 otherwise).
// Names read from a stream keep their bytes; only display converts them.

#include <optional>
#include <string>
#include <string_view>

namespace tscard {

enum class CodePage { Cp1251, Cp1252 };

// Bytes of the code page to UTF-8; every byte has a character.
std::string DecodeCodePage(std::string_view bytes, CodePage page);
// UTF-8 to bytes of the code page; nullopt when the text is not valid UTF-8
// or holds a character the code page cannot represent.
[[nodiscard]] std::optional<std::string> EncodeCodePage(std::string_view utf8, CodePage page);
// The same for a name that must be stored whatever it holds (a file name
// on a card): each byte that is not part of valid UTF-8, and each
// character the code page lacks, becomes one '?'; nothing else is lost.
// lossy says whether that happened.
std::string EncodeCodePageReplacing(std::string_view utf8, CodePage page, bool& lossy);

// Russian when LC_ALL, LC_MESSAGES or LANG (the first one set) starts with "ru".
bool IsRussianLocale();
CodePage SystemCodePage();
[[nodiscard]] std::optional<CodePage> ParseCodePage(std::string_view name);
std::string_view CodePageName(CodePage page);

}  // namespace tscard
