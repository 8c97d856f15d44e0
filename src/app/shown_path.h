#pragma once
// Paths (file-system bytes) as the window shows them, and back.

#include <QString>

#include <string>

namespace tscard::app {

QString ShownPath(const std::string& path);
std::string PathBytes(const QString& path);

}  // namespace tscard::app
