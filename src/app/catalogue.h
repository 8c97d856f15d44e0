#pragma once
// The Russian catalogue of the window's own texts and of the core's words
// (data/translations/tscard_ru.ts, compiled into the program), with Qt's
// own Russian for its dialogs' buttons when the system has it. Installed
// while the flag shows Russian, removed for English: the captions' tables
// switch the rest.

#include <QTranslator>

#include "lang/captions.h"

namespace tscard::app {

class Catalogue {
public:
    // False when the window's catalogue is missing from the program.
    bool Use(lang::Language language);

private:
    QTranslator own_;
    QTranslator qt_;
    bool loaded_ = false;
    bool installed_ = false;
};

}  // namespace tscard::app
