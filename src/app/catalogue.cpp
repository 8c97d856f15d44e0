#include "app/catalogue.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace tscard::app {

bool Catalogue::Use(lang::Language language) {
    const bool russian = language == lang::Language::Russian;
    if (russian && !loaded_) {
        loaded_ = own_.load(":/i18n/tscard_ru.qm");
        // Qt's buttons (Yes, No, Cancel) and file dialogs; missing on a
        // system without Qt's translations, which then leaves them English.
        (void)qt_.load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    if (russian != installed_) {
        for (QTranslator* translator : {&own_, &qt_}) {
            if (translator->isEmpty()) continue;
            if (russian)
                QCoreApplication::installTranslator(translator);
            else
                QCoreApplication::removeTranslator(translator);
        }
        installed_ = russian;
    }
    return !russian || loaded_;
}

}  // namespace tscard::app
