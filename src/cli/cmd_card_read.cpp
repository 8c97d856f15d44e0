// tscard-cli card read CARD INDEX OUTPUT [--original|--compressed]
//
// Copies stream INDEX (its place in the card's directory, from 0, as
// `card info` lists it) into OUTPUT: as the stored blocks ("Compressed",
// the default) or rebuilt with its null packets ("Original"). The card is
// only read. OUTPUT is created before the card is touched; an existing
// file keeps its content until the stream is known to be there.

#include <CLI/CLI.hpp>

#include <cstring>
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

// The output file, opened without losing what an existing one holds; a
// file this command created goes again when the command fails before the
// copy began.
class OutputFile {
public:
    explicit OutputFile(const std::string& path) : path_(path) {
        if (Status st = OpenOrCreateKeeping(path, file_, created_, OutputAccess::WriteOnly); !st)
            Fail(path + ": cannot create the output file: " + std::strerror(st.error()));
    }
    ~OutputFile() {
        if (created_ && !kept_) {
            file_.CloseQuietly();
            static_cast<void>(RemoveFile(path_));
        }
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // From here on the file is the copy's, whatever comes. Only a regular
    // file is emptied (a device or a pipe takes the copy as it is).
    File& Begin() {
        kept_ = true;
        if (Status emptied = EmptyRegularFile(file_); !emptied) Fail(emptied.message());
        return file_;
    }

private:
    std::string path_;
    File file_;
    bool created_ = false;
    bool kept_ = false;
};

int RunCardRead(const ReadArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    OutputFile output(args.output);
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots);
    if (SameFileOrDevice(args.output, target.Path)) Fail(args.output + ": the output is the card itself");
    CardDevice device;
    OpenCardOrExit(target, false, roots, device);

    // The stream must be there before the output loses its old content.
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
    const std::string name = DisplayText(directory.Records[args.index].NameBytes(), options);

    CardReadJob job;
    job.ReadEntryIndex = static_cast<std::uint8_t>(args.index);
    job.Form = args.original ? CardReadForm::Original : CardReadForm::Compressed;
    const char* form = args.original ? "Original" : "Compressed";
    TerminalProgress bar(std::string("Reading ") + form, std::uint64_t(directory.Records[args.index].Length) + 1);
    job.Progress = [&](std::uint64_t done, std::uint64_t total) {
        bar.SetMaximum(total);
        bar.Set(done);
    };

    StopFlag stop;
    StopOnSignals signals(stop);
    File& file = output.Begin();
    CardReadWorker reader;
    const CardReadResult result = reader.Run(job, device, file, stop);
    bar.Finish();
    if (Status closed = file.Close(); !closed && result.Ending == CardReadEnding::Complete) Fail(closed.message());

    const std::string blocks = std::to_string(result.BlocksRead) + " of " + std::to_string(result.Blocks) + " blocks";
    switch (result.Ending) {
        case CardReadEnding::Complete:
            std::cout << "Read stream " << args.index << " \"" << name << "\" from " << target.Path << " as " << form
                      << ": " << result.Blocks << " blocks, " << result.BytesWritten << " bytes to " << args.output
                      << std::endl;
            return kExitOk;
        case CardReadEnding::Stopped:
            Fail(target.Path + ": the read was stopped: " + args.output + " holds the first " + blocks);
        case CardReadEnding::Failed:
            Fail(result.Message + "; " + args.output + " holds the first " + blocks);
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
    read->add_option("OUTPUT", args->output, "The file to write (replaced when it exists)")->required();
    CLI::Option* original =
        read->add_flag("--original", args->original, "The stream rebuilt with its null packets");
    CLI::Option* compressed =
        read->add_flag("--compressed", args->compressed, "The blocks as stored on the card (the default)");
    original->excludes(compressed);
    read->callback([args, &options] { Exit(RunCardRead(*args, SystemRoots::FromEnvironment(), options)); });
}

}  // namespace tscard::cli
