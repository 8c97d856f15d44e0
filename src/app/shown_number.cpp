#include "app/shown_number.h"

#include <QLocale>

namespace tscard::app {

QString ShownNumber(const std::string& text) {
    QString shown = QString::fromStdString(text);
    return shown.replace(QChar('.'), QLocale().decimalPoint());
}

}  // namespace tscard::app
