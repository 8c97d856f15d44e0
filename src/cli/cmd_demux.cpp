// tscard-cli demux SOURCE OUTDIR [--programs 0x0001,0x0002] [--remove-stuffing]

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <set>

#include "analysis/analyzer.h"
#include "cli/cli_analysis.h"
#include "cli/cli_common.h"
#include "cli/cli_events.h"
#include "cli/commands.h"
#include "cli/signals.h"
#include "demux/demultiplexer.h"
#include "demux/parsed_programs.h"
#include "platform/file_identity.h"

namespace tscard::cli {
namespace {

struct DemuxArgs {
    std::string source;
    std::string folder;
    std::string programs;  // comma-separated program numbers; empty: as the analysis selects
    bool remove_stuffing = false;
};

// nullopt when an item is not a 16-bit number.
std::optional<std::vector<std::uint16_t>> ParseProgramList(const std::string& text) {
    std::vector<std::uint16_t> numbers;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        const auto value = ParseNumber(item);
        if (!value || *value > 0xFFFF) return std::nullopt;
        numbers.push_back(static_cast<std::uint16_t>(*value));
        if (comma == std::string::npos) return numbers;
        at = comma + 1;
    }
}

// Selects exactly the listed programs; fails naming a number the stream
// does not have.
Status SelectPrograms(std::vector<ProgramRemap>& programs, const std::vector<std::uint16_t>& wanted,
                      const std::string& source) {
    const std::set<std::uint16_t> chosen(wanted.begin(), wanted.end());
    for (std::uint16_t number : chosen) {
        bool found = false;
        for (const ProgramRemap& p : programs) found = found || (p.Selected && p.SourceProgramNumber == number);
        if (!found) return Status::Fail(source + ": has no program " + Hex4(number) + " to split out");
    }
    for (ProgramRemap& p : programs)
        p.Selected = p.Selected && chosen.count(static_cast<std::uint16_t>(p.SourceProgramNumber)) > 0;
    return Status::Ok();
}

int RunDemux(const DemuxArgs& args) {
    if (!IsFolder(args.folder)) {
        std::error_code error;
        const bool exists = std::filesystem::exists(args.folder, error);
        if (error)
            PrintError(args.folder + ": cannot be looked at (" + error.message() + ")");
        else
            PrintError(args.folder + (exists ? ": is not a folder" : ": does not exist"));
        return kExitFailed;
    }
    StreamState state;
    StopFlag stop;
    StopOnSignals guard(stop);

    const AnalysisResult analysis = AnalyseWithProgress(AnalysisMode::ModeParse, args.source, state, stop);
    if (analysis.Ending != AnalysisEnding::Complete) {
        PrintError(analysis.Message.English());
        return kExitFailed;
    }
    SelectParsedPrograms(state);
    if (guard.Signalled()) {
        PrintError(args.source + ": split stopped before it began");
        return kExitFailed;
    }
    if (!args.programs.empty()) {
        if (Status st = SelectPrograms(state.Lists.ProgramList, *ParseProgramList(args.programs), args.source); !st)
            return Report(st);
    }

    DemuxSettings settings;
    settings.OutputFolder = args.folder;
    settings.RemoveStuffing = args.remove_stuffing;
    Demultiplexer demux;
    DemuxResult result;
    {
        CliEvents events(
            "Splitting", [&demux] { return demux.ProgressMaximum(); },
            [&demux] { return demux.ProgressPosition(); });
        result = demux.Run(state, settings, events.Sink(), stop);
        events.Close();
    }
    if (result.Ending != DemuxEnding::Complete) {
        PrintError(result.Message.English());
        return kExitFailed;
    }
    for (std::size_t i = 0; i < result.OutputFiles.size(); ++i)
        std::cout << EscapeControls(result.OutputFiles[i]) << ": " << result.PacketsWritten[i] << " packets\n";
    return kExitOk;
}

}  // namespace

void RegisterDemuxCommand(CLI::App& app, GlobalOptions&) {
    auto args = std::make_shared<DemuxArgs>();
    CLI::App* cmd = app.add_subcommand(
        "demux",
        "Split a multi-program stream into one file per program, prg_0xNNNN.ts in OUTDIR (NNNN: the program "
        "number); every packet of the input becomes one packet of each file unless --remove-stuffing is given");
    cmd->add_option("SOURCE", args->source, "The multi-program transport stream file")->required();
    cmd->add_option("OUTDIR", args->folder, "The folder the files go to (existing files are replaced)")
        ->required();
    cmd->add_option("--programs", args->programs,
                    "Program numbers to split out, comma-separated (default: every program whose PMT was found)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                return ParseProgramList(text) ? std::string() : "not a list of program numbers: " + text;
            },
            "LIST"));
    cmd->add_flag("--remove-stuffing", args->remove_stuffing,
                  "Drop null packets and packets of other programs instead of writing null packets in their place");
    cmd->callback([args] { Exit(RunDemux(*args)); });
}

}  // namespace tscard::cli
