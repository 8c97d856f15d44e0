#include "app/shown_text.h"

#include <QFile>
#include <QLocale>

#include "splice/splice_job.h"

namespace tscard::app {

QString ShownPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

char DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    // Every locale Qt knows writes it as one character of ASCII.
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

QString WholeMegabytesText(std::uint64_t bytes) {
    return QString::fromStdString(SpliceSizeText(bytes, DecimalSeparator()));
}

}  // namespace tscard::app
