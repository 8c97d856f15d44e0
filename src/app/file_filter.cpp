#include "app/file_filter.h"

#include <QString>

namespace tscard::app {

QStringList QtNameFilters(std::string_view filter) {
    const QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            if (pattern == "*.*") pattern = "*";
        filters << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return filters;
}

}  // namespace tscard::app
