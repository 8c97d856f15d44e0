// tscard-cli splice OUTPUT INPUT... [--append]

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/signals.h"
#include "platform/file_identity.h"
#include "platform/output_file.h"
#include "splice/splice_run.h"
#include "ts/stream_open.h"

namespace tscard::cli {
namespace {

struct SpliceArgs {
    std::string output;
    std::vector<std::string> inputs;
    bool append = false;
};

// Everything that would refuse the splice, checked before the output is
// touched: an existing output is replaced only when the run can go ahead.
Status CheckInputs(const SpliceArgs& args) {
    if (args.inputs.size() > kSpliceMaxFiles)
        return Status::Fail("at most " + std::to_string(kSpliceMaxFiles) + " files can be spliced; " +
                            std::to_string(args.inputs.size()) + " were given");
    const auto output = OutputIdentity(args.output);
    for (const std::string& path : args.inputs) {
        File input;
        if (Status st = OpenStreamFile(path, input); !st) return st;
        if (output && IdentityOf(input) == output)
            return Status::Fail(path + ": is the output of the splice; it cannot be one of its inputs");
    }
    return Status::Ok();
}

int RunSplice(const SpliceArgs& args) {
    if (Status st = CheckInputs(args); !st) return Report(st);
    StickJob job;
    const SpliceOutputMode mode = args.append ? SpliceOutputMode::Append : SpliceOutputMode::Replace;
    if (Status st = SetUpSplice(job, args.output, mode); !st) return Report(st);
    if (Status st = AddSpliceFiles(job, args.inputs); !st) return Report(st);

    StopFlag stop;
    SpliceResult result;
    {
        StopOnSignals guard(stop);
        std::unique_ptr<TerminalProgress> bar;
        result = tscard::RunSplice(job, stop, [&bar](const SpliceProgress& p) {
            if (!bar) bar = std::make_unique<TerminalProgress>("Splicing", p.Maximum);
            bar->Set(p.Blocks);
        });
        if (bar) bar->Finish();
    }
    if (result.Ending != SpliceEnding::Complete) {
        PrintError(result.Message.English());
        return kExitFailed;
    }
    // The standard output carries the stream: the summary goes beside it.
    std::ostream& summary = args.output == kStandardOutputName ? std::cerr : std::cout;
    summary << EscapeControls(args.output) << ": " << result.OutputSize << " bytes, " << result.FilesCopied << " files\n";
    return kExitOk;
}

}  // namespace

void RegisterSpliceCommand(CLI::App& app, GlobalOptions&) {
    auto args = std::make_shared<SpliceArgs>();
    CLI::App* cmd = app.add_subcommand(
        "splice",
        "Join stream files byte for byte into OUTPUT, in the order given, with a 188-byte separator packet "
        "between two files");
    cmd->add_option("OUTPUT", args->output,
                    "The joined file (replaced when it exists, unless --append; '-' for the standard output)")
        ->required();
    cmd->add_option("INPUT", args->inputs,
                    "The stream files to join (at most 128), all in 188-byte packets or all in 192-byte units")
        ->required();
    cmd->add_flag("--append", args->append, "Add the joined files after what OUTPUT already holds");
    cmd->callback([args] { Exit(RunSplice(*args)); });
}

}  // namespace tscard::cli
