#pragma once
// Filters written "name|patterns|name|patterns..." as Qt file dialogs take
// them: "name (patterns)". "*.*" means every file, with or without a dot.

#include <QStringList>

#include <string_view>

namespace tscard::app {

QStringList QtNameFilters(std::string_view filter);

}  // namespace tscard::app
