// tscard-cli card read CARD INDEX OUTPUT [--original|--compressed]
//
// Copies stream INDEX (its place in the card's directory, from 0, as
// `card info` lists it) into OUTPUT: as the stored blocks ("Compressed",
// the default) or rebuilt with its null packets ("Original"). The card is
// only read. OUTPUT follows the output rules (platform/output_file.h; '-'
// is the standard output): an existing file keeps its content unless the
// read completes or is stopped after a block.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "card/card_directory.h"
#include "card/card_read.h"
#include "cli/card_access.h"
#include "cli/card_transfer.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/signals.h"
#include "platform/file_identity.h"
#include "platform/output_file.h"

namespace tscard::cli {
namespace {

struct ReadArgs {
    std::string card;
    unsigned index = 0;
    std::string output;
    bool original = false;
    bool compressed = false;
    bool allow_non_removable = false;
};

int RunCardRead(const ReadArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    // The output is checked before the card is touched, and written only
    // once the stream is known to be there.
    OutputRules rules;
    rules.AllowStandardOutput = true;
    if (Status st = CheckOutputPath(args.output, rules); !st) Fail(st.message());
    const bool to_stdout = args.output == kStandardOutputName;
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots, *options.qt);
    if (!to_stdout && SameFileOrDevice(args.output, target.Path)) Fail(args.output + ": the output is the card itself");
    CardDevice device;
    OpenCardOrExit(target, false, roots, device);

    CardDirectory directory;
    Status read_status;
    switch (device.LoadDirectory(directory, &read_status)) {
        case DirectoryState::Valid: break;
        case DirectoryState::NotInLayout: Fail(target.Path + ": Mast be formated (the card is not in the card layout)");
        case DirectoryState::Unreadable: Fail(read_status.message());
    }
    const std::size_t count = std::min<std::size_t>(directory.Header.FileCount, directory.Records.size());
    if (args.index >= count)
        Fail(target.Path + ": there is no stream " + std::to_string(args.index) + " (the card holds " +
             std::to_string(count) + (count == 1 ? " stream)" : " streams)"));
    const std::string name = TerminalText(directory.Records[args.index].NameBytes(), options);

    CardReadJob job;
    job.ReadEntryIndex = static_cast<std::uint8_t>(args.index);
    job.Form = args.original ? CardReadForm::Original : CardReadForm::Compressed;
    job.OutputPath = args.output;
    const char* form = args.original ? "Original" : "Compressed";
    TerminalProgress bar(std::string("Reading ") + form, std::uint64_t(directory.Records[args.index].Length) + 1);
    job.Progress = [&](std::uint64_t done, std::uint64_t total) {
        bar.SetMaximum(total);
        bar.Set(done);
    };

    StopFlag stop;
    StopOnSignals signals(stop);
    CardReadWorker reader;
    const CardReadResult result = reader.Run(job, device, stop);
    bar.Finish();

    const std::string blocks = std::to_string(result.BlocksRead) + " of " + std::to_string(result.Blocks) + " blocks";
    // What the output holds after a run that did not complete.
    const std::string left = result.OutputKept       ? args.output + " holds the first " + blocks
                             : result.WrittenInPlace ? "what was written to " + args.output + " stays there"
                                                     : args.output + " is left as it was";
    switch (result.Ending) {
        case CardReadEnding::Complete:
            // The standard output carries the stream: the summary goes beside it.
            (to_stdout ? std::cerr : std::cout)
                << "Read stream " << args.index << " \"" << name << "\" from " << EscapeControls(target.Path) << " as " << form << ": "
                << result.Blocks << " blocks, " << result.BytesWritten << " bytes to " << EscapeControls(args.output)
                << std::endl;
            return kExitOk;
        case CardReadEnding::Stopped: Fail(target.Path + ": the read was stopped: " + left);
        case CardReadEnding::Failed: Fail(result.Message.English() + "; " + left);
        case CardReadEnding::Refused: Fail(result.Message.English());
    }
    return kExitFailed;
}

}  // namespace

void RegisterCardReadCommand(CLI::App& card, GlobalOptions& options) {
    auto args = std::make_shared<ReadArgs>();
    CLI::App* read = card.add_subcommand("read", "Copy a stream from the card into a file");
    AddCardArguments(read, args->card, args->allow_non_removable);
    read->add_option("INDEX", args->index, "The stream's place in the card's directory, from 0 (as 'card info' lists it)")
        ->required()
        ->check(CLI::Range(0u, unsigned(kDirectoryEntries - 1)));
    read->add_option("OUTPUT", args->output, "The file to write (replaced when it exists; '-' for the standard output)")
        ->required();
    CLI::Option* original =
        read->add_flag("--original", args->original, "The stream rebuilt with its null packets");
    CLI::Option* compressed =
        read->add_flag("--compressed", args->compressed, "The blocks as stored on the card (the default)");
    original->excludes(compressed);
    read->callback([args, &options] { Exit(RunCardRead(*args, SystemRoots::FromEnvironment(), options)); });
}

}  // namespace tscard::cli
