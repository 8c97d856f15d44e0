#pragma once
// A file dragged onto the window from a file manager: one local file is
// taken (as file-system bytes); several files, a folder or anything else
// are not.

#include <optional>
#include <string>

class QMimeData;

namespace tscard::app {

std::optional<std::string> DroppedFile(const QMimeData* data);

}  // namespace tscard::app
