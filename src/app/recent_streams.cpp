#include "app/recent_streams.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace tscard::app {
namespace {

constexpr const char* kKey = "recent/streams";

QStringList Stored() { return QSettings().value(kKey).toStringList(); }

}  // namespace

std::vector<std::string> RecentStreams() {
    std::vector<std::string> out;
    for (const QString& path : Stored()) {
        if (!QFileInfo::exists(path)) continue;
        out.push_back(QFile::encodeName(path).toStdString());
        if (int(out.size()) == kRecentStreams) break;
    }
    return out;
}

void RememberStream(const std::string& path) {
    const QString added = QFile::decodeName(QByteArray::fromStdString(path));
    QStringList list = Stored();
    list.removeAll(added);
    list.prepend(added);
    while (list.size() > kRecentStreams) list.removeLast();
    QSettings settings;
    settings.setValue(kKey, list);
}

}  // namespace tscard::app
