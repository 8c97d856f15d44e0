#pragma once
// Each command group registers its subcommands on the application. A
// subcommand's callback throws CLI::RuntimeError(code) to end with a code.

#include "cli/cli_common.h"

namespace CLI {
class App;
}

namespace tscard::cli {

void RegisterAllCommands(CLI::App& app, GlobalOptions& options);

// analyze, bitrate
void RegisterAnalyzeCommand(CLI::App& app, GlobalOptions& options);
void RegisterBitrateCommand(CLI::App& app, GlobalOptions& options);
// prepare
void RegisterPrepareCommand(CLI::App& app, GlobalOptions& options);
// check
void RegisterCheckCommand(CLI::App& app, GlobalOptions& options);
// card list, info, format, clear
void RegisterCardCommands(CLI::App& app, GlobalOptions& options);
// card write, read (subcommands of card)
void RegisterCardWriteCommand(CLI::App& card, GlobalOptions& options);
void RegisterCardReadCommand(CLI::App& card, GlobalOptions& options);

// demux, splice
void RegisterDemuxCommand(CLI::App& app, GlobalOptions& options);
void RegisterSpliceCommand(CLI::App& app, GlobalOptions& options);

}  // namespace tscard::cli
