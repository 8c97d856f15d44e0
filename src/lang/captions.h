#pragma once
// The window's captions in English and Russian, as plain data: which
// control (by object name) shows which text. The window applies them;
// nothing here knows about widgets.
//
// Texts are UTF-8 and exact: leading and trailing blanks count, and a
// doubled ampersand in a caption shows as one.

#include <span>
#include <string_view>

namespace tscard::lang {

enum class Language { English, Russian };

Language OtherLanguage(Language language);

// Russian when LC_ALL, LC_MESSAGES or LANG (the first one set) starts with
// "ru", as the command line decides it; English otherwise.
Language StartLanguage();

struct Caption {
    std::string_view Control;
    std::string_view Text;
};

// The captions of the panel controls. The Russian table leaves nine
// controls as they are (see LeftAloneInRussian).
std::span<const Caption> PanelCaptions(Language language);
// The nine controls whose captions Russian leaves unchanged.
std::span<const std::string_view> LeftAloneInRussian();

// The captions the window is built with where they differ from the English
// table; a window that starts in English shows these until the language is
// switched twice.
std::span<const Caption> DesignOverrides();
// The caption a control is built with: its design override, else its
// English text; empty for a control that neither table names.
std::string_view DesignCaption(std::string_view control);

// The main window's own texts.
struct WindowCaptions {
    std::string_view Title;
    std::string_view Open1;
    std::string_view SimpleprogramMPEG2TS1;
    std::string_view MultyprogramstreamMPEG2TS1;
    std::string_view Tosticktogether1;
    std::string_view Exit1;
    std::string_view SDcardmanadger1;
    // The card selector's prompt, and what it shows when no card answers.
    std::string_view CardPrompt;
    std::string_view NoCardText;
    // The item beside "SD card manadger" that lists a card image file (or a
    // block device named explicitly) as a card.
    std::string_view Attachcardimage1;
};
const WindowCaptions& MainCaptions(Language language);
// The window title the window is built with.
std::string_view DesignTitle();

// What each button that shows only a glyph does: its tooltip and
// accessible name.
std::span<const Caption> GlyphTips(Language language);

}  // namespace tscard::lang
