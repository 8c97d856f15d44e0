// tscard-cli bitrate FILE [--stream]

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <memory>

#include "analysis/bitrate.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/signals.h"

namespace tscard::cli {
namespace {

struct BitrateArgs {
    std::string file;
    bool stream = false;
};

// The shortest text that reads back as the same value, '.' as separator.
std::string ExactText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

int RunBitrate(const BitrateArgs& args) {
    StreamAnalysis analysis;
    StopFlag stop;
    BitrateMeasurement m;
    {
        StopOnSignals guard(stop);
        m = args.stream ? MeasureStreamBitrate(analysis, args.file, stop)
                        : MeasureProgramBitrate(analysis, args.file, stop);
    }
    const bool open_failed = !m.Stopped && m.Code == (args.stream ? kStreamRateFailed : kProgramRateNoFile);
    if (open_failed) {
        PrintError(m.Message);
        return kExitFailed;
    }
    if (m.Stopped) {
        PrintError(args.file + ": measurement stopped");
        return kExitFailed;
    }
    std::cout << "Code: " << m.Code << '\n';
    if (!m.Measured) {
        std::cout << "not measured\n";
        // A stream too short for an interval was read; one that could not
        // be read (empty, not a stream, a read error) fails.
        if (m.Message.empty()) return kExitOk;
        PrintError(m.Message);
        return kExitFailed;
    }
    std::cout << "MeasuredBitrate: " << ExactText(m.MeasuredBitrate) << '\n';
    std::cout << "Rate188: " << m.Rate188Text << '\n';
    std::cout << "Rate204: " << m.Rate204Text << '\n';
    if (args.stream) std::cout << "CardRate: " << m.CardRateText << '\n';
    return kExitOk;
}

}  // namespace

void RegisterBitrateCommand(CLI::App& app, GlobalOptions& options) {
    (void)options;
    auto args = std::make_shared<BitrateArgs>();
    CLI::App* cmd = app.add_subcommand(
        "bitrate",
        "Measure a stream's bit rate from its PCRs: by default as before preparing (the largest of three PCR "
        "intervals, in range 1.5 to 14.5 Mbit/s), with --stream as before writing to a card (an interval of "
        "at least 10 s, in range 1.5 to 100 Mbit/s)");
    cmd->add_option("FILE", args->file, "The transport stream file")->required();
    cmd->add_flag("--stream", args->stream, "Measure as for writing to a card; also prints the card rate (kbit/s)");
    cmd->callback([args] { Exit(RunBitrate(*args)); });
}

}  // namespace tscard::cli
