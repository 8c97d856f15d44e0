#include "app/dropped_file.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tscard::app {

std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (QFileInfo(path).isDir()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

}  // namespace tscard::app
