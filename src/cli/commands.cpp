#include "cli/commands.h"

#include <CLI/CLI.hpp>

namespace tscard::cli {

void RegisterAllCommands(CLI::App& app, GlobalOptions& options) {
    RegisterAnalyzeCommand(app, options);
    RegisterBitrateCommand(app, options);
    RegisterPrepareCommand(app, options);
    RegisterCheckCommand(app, options);
    RegisterCardCommands(app, options);
    RegisterDemuxCommand(app, options);
    RegisterSpliceCommand(app, options);
}

}  // namespace tscard::cli
