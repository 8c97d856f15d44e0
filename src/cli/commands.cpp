#include "cli/commands.h"

#include <CLI/CLI.hpp>

namespace tscard::cli {

void RegisterAllCommands(CLI::App& app, GlobalOptions& options) {
    (void)app;
    (void)options;
}

}  // namespace tscard::cli
