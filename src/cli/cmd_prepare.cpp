// tscard-cli prepare SOURCE [OUTPUT] [--program-number N] [--pmt-pid P]
//     [--pcr-pid P] [--video-pid P] [--audio-pids A,B] [--pes-pids A,B]
//     [--provider TEXT] [--name TEXT] [--force] [--json]

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "analysis/analyzer.h"
#include "analysis/bitrate.h"
#include "cli/cli_analysis.h"
#include "cli/cli_common.h"
#include "cli/cli_events.h"
#include "cli/commands.h"
#include "cli/prepare_report.h"
#include "cli/signals.h"
#include "prepare/mux_rate.h"
#include "prepare/prepare_targets.h"
#include "prepare/prepare_worker.h"
#include "psi/psi_builder.h"
#include "ts/stream_open.h"

namespace tscard::cli {
namespace {

struct PrepareArgs {
    std::string source;
    std::string output;
    std::string program_number, pmt_pid, pcr_pid, video_pid, audio_pids, pes_pids, provider, name;
    bool force = false;
    bool json = false;
    // Which options were given (an empty text is a given value too).
    std::vector<std::string> given;

    bool Given(const std::string& option) const {
        return std::find(given.begin(), given.end(), option) != given.end();
    }
};

// Reads the values of the command line; the first refusal is kept as the
// message to print (exit code 2), later values are still read but unused.
class TargetReader {
public:
    explicit TargetReader(const GlobalOptions& options) : options_(options) {}

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    void Refuse(std::string message) {
        if (error_.empty()) error_ = std::move(message);
    }

    std::uint32_t Value(const std::string& option, const std::string& text) {
        const TargetValue value = CheckTargetText(text);
        // The window waits while "0x" is being typed; here it is a finished, invalid value.
        if (value.Check != TargetCheck::Valid) Refuse(option + ": " + text + kInvalidTargetSuffix);
        return value.Value;
    }

    std::vector<std::uint16_t> List(const std::string& option, const std::string& text) {
        std::vector<std::uint16_t> pids;
        std::stringstream items(text);
        for (std::string item; std::getline(items, item, ',');)
            pids.push_back(static_cast<std::uint16_t>(Value(option, item)));
        if (pids.empty()) Refuse(option + ": no PIDs given");
        return pids;
    }

    std::vector<std::uint16_t> List(const std::string& option, const std::string& text, std::size_t source_count) {
        std::vector<std::uint16_t> pids = List(option, text);
        if (pids.size() != source_count)
            Refuse(option + " names " + std::to_string(pids.size()) + " PIDs; the source has " +
                   std::to_string(source_count));
        return pids;
    }

    std::string Name(const std::string& option, const std::string& utf8) {
        const std::optional<std::string> bytes = EncodeCodePage(utf8, options_.codepage);
        if (!bytes) Refuse(option + ": \"" + utf8 + "\" cannot be written in " + std::string(CodePageName(options_.codepage)));
        return bytes.value_or(std::string());
    }

    std::string Provider(const std::string& utf8) {
        std::string bytes = Name("--provider", utf8);
        if (!ProviderFits(bytes)) Refuse("--provider: at most " + std::to_string(kMaxProviderCharacters) + " characters");
        return bytes;
    }

private:
    const GlobalOptions& options_;
    std::string error_;
};

// The values given, checked before the source is read at all.
std::string CheckGivenValues(const PrepareArgs& args, const GlobalOptions& options) {
    TargetReader read(options);
    const std::pair<const char*, const std::string*> numbers[] = {{"--program-number", &args.program_number},
                                                                   {"--pmt-pid", &args.pmt_pid},
                                                                   {"--pcr-pid", &args.pcr_pid},
                                                                   {"--video-pid", &args.video_pid}};
    for (const auto& [option, text] : numbers)
        if (args.Given(option)) read.Value(option, *text);
    if (args.Given("--audio-pids")) read.List("--audio-pids", args.audio_pids);
    if (args.Given("--pes-pids")) read.List("--pes-pids", args.pes_pids);
    if (args.Given("--provider")) read.Provider(args.provider);
    if (args.Given("--name")) read.Name("--name", args.name);
    return read.Error();
}

// The targets: the source values, then what the command line gives. The
// refusal's message, or empty.
std::string ApplyTargets(const PrepareArgs& args, const GlobalOptions& options, ProgramRemap& r) {
    TargetReader read(options);
    LoadTargetsFromSource(r);
    if (args.Given("--program-number")) r.TargetProgramNumber = read.Value("--program-number", args.program_number);
    if (args.Given("--pmt-pid")) r.TargetPmtPid = read.Value("--pmt-pid", args.pmt_pid);
    const bool pcr = args.Given("--pcr-pid");
    const bool video = args.Given("--video-pid");
    if (pcr && video && r.PcrInVideo &&
        read.Value("--pcr-pid", args.pcr_pid) != read.Value("--video-pid", args.video_pid))
        read.Refuse("the PCR travels on the video PID: --pcr-pid and --video-pid must be the same");
    // The streams first: the PCR PID follows the stream that carries it,
    // and a --pcr-pid that would part them is refused when the job is checked.
    if (video) SetTargetVideoPid(r, read.Value("--video-pid", args.video_pid));
    if (args.Given("--audio-pids")) {
        const std::vector<std::uint16_t> pids = read.List("--audio-pids", args.audio_pids, r.SourceAudioPids.size());
        for (std::size_t i = 0; i < pids.size(); ++i) SetTargetAudioPid(r, i, pids[i]);
    }
    if (args.Given("--pes-pids")) {
        const std::vector<std::uint16_t> pids = read.List("--pes-pids", args.pes_pids, r.SourcePesPids.size());
        for (std::size_t i = 0; i < pids.size(); ++i) SetTargetPesPid(r, i, pids[i]);
    }
    if (pcr) SetTargetPcrPid(r, read.Value("--pcr-pid", args.pcr_pid));
    if (args.Given("--provider")) r.TargetProvider = read.Provider(args.provider);
    if (args.Given("--name")) r.TargetName = read.Name("--name", args.name);
    if (r.TargetProvider.size() + r.TargetName.size() > kMaxSdtNameBytes)
        read.Refuse("provider and program name together take more than " + std::to_string(kMaxSdtNameBytes) +
                    " characters");
    return read.Error();
}


// The program bit rate must lie in 1.5 .. 14.5 Mbit/s unless forced.
int CheckProgramBitrate(const PrepareArgs& args, StopFlag& stop) {
    StreamAnalysis scratch;
    const BitrateMeasurement m = MeasureProgramBitrate(scratch, args.source, stop);
    if (m.Stopped) {
        PrintError(args.source + ": stopped");
        return kExitFailed;
    }
    if (m.Code == kProgramRateNoFile) {
        PrintError(m.Message.English());
        return kExitFailed;
    }
    const std::string question = ProgramBitrateQuestion(m.Code, m.MeasuredBitrate).English();
    if (question.empty()) return kExitOk;
    if (args.force) {
        PrintError(args.source + ": " + question + " (prepared: --force)");
        return kExitOk;
    }
    PrintError(args.source + ": " + question + " Not prepared; --force prepares it all the same.");
    return kExitFailed;
}

int RunPrepare(const PrepareArgs& args, const GlobalOptions& options) {
    const std::string output = args.output.empty() ? PreparedOutputName(args.source) : args.output;
    if (const std::string refused = CheckGivenValues(args, options); !refused.empty()) {
        PrintError(refused);
        return kExitUsage;
    }
    StopFlag stop;
    StopOnSignals guard(stop);
    if (const int code = CheckProgramBitrate(args, stop); code != kExitOk) return code;

    StreamState state;
    const AnalysisResult analysis = AnalyseWithProgress(AnalysisMode::ModePrepare, args.source, state, stop);
    if (analysis.Ending != AnalysisEnding::Complete) {
        PrintError(analysis.Message.English());
        return kExitFailed;
    }

    PrepareJob job;
    if (Status st = MakePrepareJob(state, output, job); !st) return Report(st);
    if (const std::string refused = ApplyTargets(args, options, job.Remap); !refused.empty()) {
        PrintError(refused);
        return kExitUsage;
    }

    PrepareWorker worker;
    LastFigures figures;
    PrepareResult result;
    {
        CliEvents events(
            "Preparing", [&worker] { return worker.ProgressMaximum(); },
            [&worker] { return worker.ProgressPosition(); });
        result = worker.Run(job, events.Sink(), stop, &figures);
        events.Close();
    }
    switch (result.Ending) {
        case PrepareEnding::Completed:
            PrintPrepareSummary(args.json, job, result, figures);
            return kExitOk;
        case PrepareEnding::PcrStepError:
            if (result.OutputKept) PrintPrepareSummary(args.json, job, result, figures);
            PrintError(args.source + ": " + kPcrStepErrorCaption + ": " + result.Message.English() +
                       (result.OutputKept ? "" : "; nothing was written, " + output + " is left as it was"));
            return kExitFailed;
        case PrepareEnding::Stopped:
            PrintError(args.source + ": prepare stopped; " +
                       (result.OutputKept ? output + " holds what was written before the stop"
                                          : "nothing was written, " + output + " is left as it was"));
            return kExitFailed;
        case PrepareEnding::Failed:
        case PrepareEnding::Refused:
            PrintError(result.Message.English());
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace

void RegisterPrepareCommand(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<PrepareArgs>();
    CLI::App* cmd = app.add_subcommand(
        "prepare",
        "Prepare a single-program stream for the card: new PIDs, program number and names, regenerated "
        "PAT/PMT/SDT, every PCR restamped at the fixed multiplex rate (" + CardRateText() + "), null packets "
        "inserted; MPEG-2 video ends on a complete group of pictures. Target values are decimal or 0x/$ "
        "hexadecimal, 1 to 0x1FFE; unless given, the source's values are kept");
    cmd->add_option("SOURCE", args->source, "The stream to prepare")->required();
    cmd->add_option("OUTPUT", args->output, "The prepared file (default: the source name with _pre before its extension)");
    struct Target {
        const char* name;
        std::string* value;
        const char* help;
    };
    const Target targets[] = {
        {"--program-number", &args->program_number, "Program number (service_id)"},
        {"--pmt-pid", &args->pmt_pid, "PMT PID"},
        {"--pcr-pid", &args->pcr_pid,
         "PCR PID (while the PCR is on the video PID, sets the video PID too; while it is on an audio or other PES "
         "PID, it must be that stream's target)"},
        {"--video-pid", &args->video_pid, "Video PID (while the PCR is on the video PID, sets the PCR PID too)"},
        {"--audio-pids", &args->audio_pids,
         "Audio PIDs, comma-separated, as many as the source has (the PCR PID follows the audio that carries it)"},
        {"--pes-pids", &args->pes_pids,
         "Other PES PIDs, comma-separated, as many as the source has (the PCR PID follows the stream that carries it)"},
        {"--provider", &args->provider, "Service provider name (at most 20 characters)"},
        {"--name", &args->name, "Service name"},
    };
    std::vector<std::pair<std::string, CLI::Option*>> options_given;
    for (const Target& t : targets) options_given.emplace_back(t.name, cmd->add_option(t.name, *t.value, t.help));
    cmd->add_flag("--force", args->force, "Prepare a source whose program bit rate lies outside 1.5 to 14.5 Mbit/s");
    cmd->add_flag("--json", args->json, "Print the summary of the run as one JSON object");
    cmd->callback([args, options_given, &options] {
        args->given.clear();
        for (const auto& [name, option] : options_given)
            if (option->count() > 0) args->given.push_back(name);
        Exit(RunPrepare(*args, options));
    });
}

}  // namespace tscard::cli
