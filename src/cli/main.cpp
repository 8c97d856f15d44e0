// tscard-cli: the command line front end, for scripting and tests.

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/qt_module.h"
#include "platform/log.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    using namespace tscard::cli;
    // Before anything is opened: no card or file may become stdout.
    if (!tscard::KeepStandardStreamsOpen()) return kExitFailed;
    // A reader that goes away (ffplay closed) fails the write with EPIPE,
    // which the command reports, instead of ending the process unannounced.
    std::signal(SIGPIPE, SIG_IGN);
    // Off unless asked for (--log is read with the other options, later).
    tscard::SetDebugLogEnabled(std::getenv("TSCARD_LOG") != nullptr);
    // Loaded only by the commands that need Qt (qt_module.h).
    QtModule qt;
    CLI::App app{
        "Analyse, prepare, split and splice MPEG-2 transport streams, and format, write and read "
        "the raw SD cards of the stream player.",
        "tscard-cli"};
    app.set_version_flag("--version", std::string("tscard-cli ") + TSCARD_VERSION);
    // Every command's options at once: what the man page is made from.
    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    app.require_subcommand(0, 1);

    GlobalOptions options;
    options.qt = &qt;
    std::string codepage;
    app.add_option("--codepage", codepage,
                   "8-bit code page of service and card file names: cp1251 or cp1252 "
                   "(default: cp1251 under a Russian locale, cp1252 otherwise)")
        ->check(CLI::IsMember({"cp1251", "cp1252"}));
    // The diagnostic log (frame types, raw card I/O errors) is for tracing;
    // scripts get clean stderr unless they ask for it.
    bool log = std::getenv("TSCARD_LOG") != nullptr;
    app.add_flag("--log", log, "Print the diagnostic log on stderr (also: TSCARD_LOG set)");
    app.parse_complete_callback([&] {
        tscard::SetDebugLogEnabled(log);
        if (!codepage.empty()) options.codepage = *tscard::ParseCodePage(codepage);
    });
    RegisterAllCommands(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::RuntimeError& e) {
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }
    if (argc == 1) {
        std::cout << app.help();
        return kExitOk;
    }
    return kExitOk;
}
