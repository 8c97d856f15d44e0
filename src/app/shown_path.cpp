#include "app/shown_path.h"

#include <QFile>

namespace tscard::app {

QString ShownPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace tscard::app
