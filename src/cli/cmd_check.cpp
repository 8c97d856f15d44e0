// tscard-cli check FILE [--program N] [--rate BIT/S|card] [--pid-timeout S]
//     [--json] [--plot OUT.png|OUT.svg] [--details]
//
// Exit codes: 0 checked, no priority 1 or 2 error; 3 checked, errors
// found; 1 could not check (or stopped: the report then covers what was
// read); 2 a bad command line.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "check/stream_check.h"
#include "cli/check_report.h"
#include "cli/cli_common.h"
#include "cli/cli_events.h"
#include "cli/commands.h"
#include "cli/qt_module.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "prepare/mux_rate.h"


namespace tscard::cli {
namespace {

constexpr int kExitErrorsFound = 3;

struct CheckArgs {
    std::string file;
    std::string program;
    std::string rate;
    std::string pid_timeout;
    std::string plot;
    bool json = false;
    bool details = false;
};

// A positive decimal number with '.' whatever the locale; nullopt otherwise.
std::optional<double> ParseDecimal(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value <= 0.0) return std::nullopt;
    return value;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool PlotKindKnown(const std::string& path) {
    const std::string name = Lower(path);
    const auto ends = [&](const std::string& tail) {
        return name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    return ends(".png") || ends(".svg");
}

// The options given, read before anything is opened; the refusal or empty.
std::string ReadOptions(const CheckArgs& args, CheckOptions& options) {
    if (!args.program.empty()) {
        const std::optional<std::uint64_t> n = ParseNumber(args.program);
        if (!n || *n == 0 || *n > 0xFFFF) return "--program: " + args.program + " is not a program number (1 to 65535)";
        options.Program = static_cast<std::uint16_t>(*n);
    }
    if (!args.rate.empty()) {
        if (Lower(args.rate) == "card") {
            options.RateBps = kMuxBitRate;
        } else {
            const std::optional<double> rate = ParseDecimal(args.rate);
            if (!rate) return "--rate: " + args.rate + " is not a bit rate in bit/s (or \"card\")";
            options.RateBps = *rate;
        }
    }
    if (!args.pid_timeout.empty()) {
        const std::optional<double> seconds = ParseDecimal(args.pid_timeout);
        if (!seconds) return "--pid-timeout: " + args.pid_timeout + " is not a time in seconds";
        options.PidTimeoutSeconds = *seconds;
    }
    if (!args.plot.empty() && !PlotKindKnown(args.plot))
        return "--plot: " + args.plot + " must end in .png or .svg";
    return {};
}

int RunCheckCommand(const CheckArgs& args, QtModule& qt) {
    CheckOptions options;
    if (const std::string refused = ReadOptions(args, options); !refused.empty()) {
        PrintError(refused);
        return kExitUsage;
    }
#ifndef TSCARD_CHARTS
    if (!args.plot.empty()) {
        PrintError("--plot: this tscard-cli was built without Qt Charts (scripts/setup.sh installs it)");
        return kExitFailed;
    }
#endif
    // Before the check, which may take minutes: the charts can be drawn.
    if (!args.plot.empty()) {
        if (Status ready = qt.ChartsReady(); !ready) {
            PrintError(ready.message());
            return kExitFailed;
        }
    }
    StopFlag stop;
    CheckProgress progress;
    CheckResult result;
    {
        StopOnSignals guard(stop);
        CliEvents events(
            "Checking", [&progress] { return progress.Maximum.load(); },
            [&progress] { return progress.Position.load(); });
        result = RunCheck(args.file, options, events.Sink(), stop, progress);
        events.Close();
    }
    if (result.Ending == CheckEnding::Failed) {
        PrintError(result.Message);
        return kExitFailed;
    }
    if (args.json)
        PrintJson(CheckJson(result));
    else
        PrintCheckReport(result, args.details);
    if (!args.plot.empty()) {
        std::cout.flush();
        if (Status st = qt.WriteCheckCharts(result, args.plot); !st) {
            PrintError(st.message());
            return kExitFailed;
        }
    }
    if (result.Ending == CheckEnding::Stopped) {
        std::cout.flush();
        PrintError(args.file + ": check stopped; the report covers the first " + std::to_string(result.CheckedBytes) +
                   " bytes");
        return kExitFailed;
    }
    return result.Clean() ? kExitOk : kExitErrorsFound;
}

std::string Description() {
    return "Check a stream as broadcast monitoring does (the priority 1 and 2 indicators of TR 101 290), with "
           "the decoding delay of each stream and the bit rate over time; --plot draws the charts. The time "
           "base: a packet's time is the PCR time of the reference PID (the PCR PID of --program, else of the "
           "PAT's first program) interpolated by byte position between its PCRs, extrapolated at the nearest "
           "interval's rate before the first and after the last; at a PCR discontinuity (discontinuity_indicator, "
           "or a step outside 0..100 ms) time goes on at the previous interval's rate. With --rate the time is "
           "the byte position x 8 / rate. An indicator defined by an interval longer than a limit counts once "
           "per interval, however long; the interval from the file's first packet (or from the PAT or PMT naming "
           "the PID) to the first occurrence counts, even when none ever comes; an interval the end of the file "
           "leaves open after an occurrence does not. Without --rate, a program that names no PCR PID, or whose "
           "PCR PID carries no PCRs, cannot be timed. Exit status: 0 checked, no "
           "priority 1 or 2 error; 3 checked, errors found; 1 could not check (unreadable, not a transport "
           "stream, no clock) or stopped; 2 a bad command line";
}

std::string Footer() {
    return "Indicators (each interval on the time base):\n"
           "  1.1 TS_sync_loss: sync is acquired at 5 packets in a row with 0x47 and lost at 2 without; each loss\n"
           "  1.2 Sync_byte_error: each packet in sync without 0x47, up to the one that loses sync\n"
           "  1.3 PAT_error: each interval over 0.5 s without a table_id 0x00 section start on PID 0; a section\n"
           "      with another table_id on PID 0; a scrambled PID 0 packet\n"
           "  1.4 Continuity_count_error: each packet that breaks the continuity_counter rules (one duplicate\n"
           "      allowed; discontinuity_indicator sets a new reference); a lost, swapped or twice-duplicated\n"
           "      packet counts once\n"
           "  1.5 PMT_error: per program_map_PID, each interval over 0.5 s without a table_id 0x02 section; a\n"
           "      scrambled PMT packet\n"
           "  1.6 PID_error: each interval over --pid-timeout (5 s) without a packet of a stream a PMT names,\n"
           "      from that PMT on\n"
           "  2.1 Transport_error: packets with transport_error_indicator\n"
           "  2.2 CRC_error: PAT, CAT, PMT, NIT, SDT, BAT, EIT and TOT sections whose CRC_32 fails\n"
           "  2.3a PCR_repetition_error: consecutive PCRs of a PID more than 40 ms apart\n"
           "  2.3b PCR_discontinuity_indicator_error: PCR steps outside 0..100 ms without discontinuity_indicator\n"
           "  2.4 PCR_accuracy_error: PCRs more than 500 ns off a constant rate, per stretch between\n"
           "      discontinuities: with --rate, off the stretch's first PCR advanced at that rate; without, off\n"
           "      the stretch's least-squares line over byte position (in parts of 65,536 PCRs)\n"
           "  2.5 PTS_error: consecutive PTS of a PID more than 700 ms apart\n"
           "  2.6 CAT_error: scrambled packets while no CAT has been seen; sections on PID 1 other than 0x01\n"
           "Decoding delay: per stream of the checked program, DTS (or PTS) minus the PCR clock at the PES\n"
           "header's arrival; late PES arrive after that time, early ones more than 1 s before it.\n"
           "Bit rate: the whole stream's, each PID's, and each 1-second window's (least and largest).";
}

}  // namespace

void RegisterCheckCommand(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<CheckArgs>();
    CLI::App* cmd = app.add_subcommand("check", Description());
    cmd->footer(Footer());
    cmd->add_option("FILE", args->file, "The transport stream file (188-byte packets or 192-byte units)")->required();
    cmd->add_option("--program", args->program,
                    "The program whose PCR PID is the clock and whose streams are timed (decimal or 0x/$ "
                    "hexadecimal; default: the PAT's first)");
    cmd->add_option("--rate", args->rate,
                    "Time packets by byte position at this rate in bit/s (decimals allowed) instead of by PCR; "
                    "\"card\" is the card's fixed rate, " + CardRateText() +
                        ": a prepared stream then has every PCR within one 27 MHz tick (37.04 ns)");
    cmd->add_option("--pid-timeout", args->pid_timeout,
                    "Seconds a stream a PMT names may go without a packet before PID_error counts (default 5)");
    cmd->add_flag("--json", args->json,
                  "Print one JSON object: every figure, each indicator under its name with count and occurrences, "
                  "and the chart series");
    cmd->add_option("--plot", args->plot,
                    "Draw the charts (bit rate per 1-second window, PCR interval and accuracy, decoding delay) "
                    "into a PNG or SVG file, without a display");
    cmd->add_flag("--details", args->details, "List up to 20 occurrences of each indicator: time, byte and PID");
    cmd->callback([args, &options] { Exit(RunCheckCommand(*args, *options.qt)); });
}

}  // namespace tscard::cli
