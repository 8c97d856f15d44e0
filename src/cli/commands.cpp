#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <cstring>

#include "platform/escaped_text.h"

namespace tscard::cli {

void RegisterAllCommands(CLI::App& app, GlobalOptions& options) {
    // A usage error quotes what was typed: escaped like every other error,
    // so that an argument never drives the terminal or forges a line.
    app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
        const std::string text = CLI::FailureMessage::simple(failed, e);
        const std::size_t what = std::strlen(e.what());
        return EscapeControls(text.substr(0, what)) + text.substr(what);
    });
    RegisterAnalyzeCommand(app, options);
    RegisterBitrateCommand(app, options);
    RegisterPrepareCommand(app, options);
    RegisterCheckCommand(app, options);
    RegisterCardCommands(app, options);
    RegisterDemuxCommand(app, options);
    RegisterSpliceCommand(app, options);
}

}  // namespace tscard::cli
