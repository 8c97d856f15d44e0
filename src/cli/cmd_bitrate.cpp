// tscard-cli bitrate FILE [--stream] [--json]
//
// Says what was measured, in words and figures, and what it means for the
// next step: "Program bit rate 24.08 Mbit/s: above the 14.5 Mbit/s that
// prepare accepts without --force", or why nothing was measured.

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/bitrate.h"
#include "card/card_write.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "cli/signals.h"

namespace tscard::cli {
namespace {

struct BitrateArgs {
    std::string file;
    bool stream = false;
    bool json = false;
};

enum class Verdict { Within, Above, Below, NotMeasured };

const char* VerdictName(Verdict v) {
    switch (v) {
        case Verdict::Within: return "within";
        case Verdict::Above: return "above";
        case Verdict::Below: return "below";
        case Verdict::NotMeasured: return "not measured";
    }
    return "?";
}

// The measurements give the rate texts only for a rate in their range.
Verdict VerdictOf(const BitrateMeasurement& m, bool stream) {
    if (!m.Measured) return Verdict::NotMeasured;
    if (!m.Rate188Text.empty()) return Verdict::Within;
    const double max = stream ? kStreamRateMax : kProgramRateMax;
    return m.MeasuredBitrate > max ? Verdict::Above : Verdict::Below;
}

// "1.5", "14.5", "100": the range bounds as people write them.
std::string Bound(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string VerdictText(Verdict v, bool stream) {
    const std::string min = Bound(stream ? kStreamRateMin : kProgramRateMin);
    const std::string max = Bound(stream ? kStreamRateMax : kProgramRateMax);
    if (!stream) {
        switch (v) {
            case Verdict::Within: return "within the " + min + " to " + max + " Mbit/s that prepare accepts";
            case Verdict::Above: return "above the " + max + " Mbit/s that prepare accepts without --force";
            case Verdict::Below: return "below the " + min + " Mbit/s that prepare accepts without --force";
            case Verdict::NotMeasured: break;
        }
        return {};
    }
    switch (v) {
        case Verdict::Within: return "within the " + min + " to " + max + " Mbit/s the card measurement looks for";
        case Verdict::Above:
            return "above the " + max + " Mbit/s the card measurement looks for; card write takes its card rate all the same";
        case Verdict::Below:
            return "below the " + min + " Mbit/s the card measurement looks for; card write takes its card rate all the same";
        case Verdict::NotMeasured: break;
    }
    return {};
}

// Why nothing was measured, from what the measurement saw.
std::string ReasonText(const BitrateMeasurement& m, bool stream) {
    if (!m.Message.English().empty()) return m.Message.English();
    const std::string start = "byte " + std::to_string(m.StartByte);
    if (m.UnitsRead == 0) return "the stream ends before " + start + ", where the measurement starts";
    if (!m.PcrFound)
        return "no PCR in the " + std::to_string(m.UnitsRead) + " packets from " + start + " to the end of the stream";
    if (stream) {
        return "no 10-second PCR interval in a " + SecondsText(m.PcrSeconds) + " stream (from " + start +
               "); card write would take the default " + KbitText(std::stoull(kDefaultCardBitrateText));
    }
    return "only " + std::to_string(m.Intervals) + " of the 3 PCR intervals it takes before the stream ends (" +
           SecondsText(m.PcrSeconds, 3) + " of PCRs from " + start + ")";
}

std::uint64_t CardRate(const BitrateMeasurement& m) {
    std::uint64_t kbit = 0;
    std::from_chars(m.CardRateText.data(), m.CardRateText.data() + m.CardRateText.size(), kbit);
    return kbit;
}

void PrintText(const BitrateArgs& args, const BitrateMeasurement& m, Verdict verdict) {
    const char* what = args.stream ? "Stream bit rate" : "Program bit rate";
    std::ostringstream out;
    if (verdict == Verdict::NotMeasured) {
        out << what << " not measured: " << ReasonText(m, args.stream) << '\n';
        std::cout << out.str();
        return;
    }
    out << what << ' ' << MbitText(m.MeasuredBitrate) << ": " << VerdictText(verdict, args.stream) << '\n';
    Fields fields;
    const std::string from = " from byte " + std::to_string(m.StartByte);
    if (args.stream)
        fields.Add("Measured", MbitText(m.MeasuredBitrate, 3) + " over the first PCR interval of 10 s or more" + from);
    else
        fields.Add("Measured", MbitText(m.MeasuredBitrate, 7) + ", the largest of 3 PCR intervals" + from);
    if (!m.Rate188Text.empty()) fields.Add("188-byte packets", m.Rate188Text + " Mbit/s");
    if (!m.Rate204Text.empty()) fields.Add("204-byte packets", m.Rate204Text + " Mbit/s");
    if (args.stream && !m.CardRateText.empty()) fields.Add("Card bit rate", KbitText(CardRate(m)));
    fields.Print(out, 2);
    std::cout << out.str();
}

nlohmann::json ResultJson(const BitrateArgs& args, const BitrateMeasurement& m, Verdict verdict) {
    nlohmann::json j = {
        {"file", args.file},
        {"measurement", args.stream ? "stream" : "program"},
        {"code", m.Code},
        {"measured", m.Measured},
        {"verdict", VerdictName(verdict)},
        {"range_mbps", {args.stream ? kStreamRateMin : kProgramRateMin, args.stream ? kStreamRateMax : kProgramRateMax}},
        {"start_byte", m.StartByte},
        {"units_read", m.UnitsRead},
        {"pcr_found", m.PcrFound},
        {"intervals", m.Intervals},
        {"pcr_seconds", m.PcrSeconds},
    };
    if (m.Measured) j["bitrate_mbps"] = m.MeasuredBitrate;
    if (!m.Rate188Text.empty()) j["rate188_text"] = m.Rate188Text;
    if (!m.Rate204Text.empty()) j["rate204_text"] = m.Rate204Text;
    if (!m.CardRateText.empty()) j["card_rate_kbps"] = CardRate(m);
    if (verdict == Verdict::NotMeasured) j["reason"] = ReasonText(m, args.stream);
    if (!m.Message.English().empty()) j["message"] = m.Message.English();
    return j;
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
        PrintError(m.Message.English());
        return kExitFailed;
    }
    if (m.Stopped) {
        PrintError(args.file + ": measurement stopped");
        return kExitFailed;
    }
    const Verdict verdict = VerdictOf(m, args.stream);
    // A stream too short for an interval was read; one that could not be
    // read (empty, not a stream, a read error) fails.
    const bool failed = verdict == Verdict::NotMeasured && !m.Message.English().empty();
    if (args.json)
        PrintJson(ResultJson(args, m, verdict));
    else if (!failed)
        PrintText(args, m, verdict);
    if (!failed) return kExitOk;
    std::cout.flush();
    PrintError(m.Message.English());
    return kExitFailed;
}

}  // namespace

void RegisterBitrateCommand(CLI::App& app, GlobalOptions& options) {
    (void)options;
    auto args = std::make_shared<BitrateArgs>();
    CLI::App* cmd = app.add_subcommand(
        "bitrate",
        "Measure a stream's bit rate from its PCRs and say what it means: by default as before preparing (the "
        "largest of three PCR intervals from 16,356,000 bytes in; prepare takes 1.5 to 14.5 Mbit/s without "
        "--force), with --stream as before writing to a card (the first PCR interval of at least 10 s within "
        "1.5 to 100 Mbit/s; it gives the card's bit rate in kbit/s)");
    cmd->add_option("FILE", args->file, "The transport stream file")->required();
    cmd->add_flag("--stream", args->stream, "Measure as for writing to a card; also gives the card rate (kbit/s)");
    cmd->add_flag("--json", args->json,
                  "Print the result as one JSON object: the result code, the verdict and every figure");
    cmd->callback([args] { Exit(RunBitrate(*args)); });
}

}  // namespace tscard::cli
