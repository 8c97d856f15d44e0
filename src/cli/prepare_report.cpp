#include "cli/prepare_report.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_common.h"
#include "cli/report.h"
#include "prepare/mux_rate.h"
#include "ts/packet.h"

namespace tscard::cli {
namespace {

std::string TailText(const PrepareJob& job, const PrepareResult& r) {
    if (job.Source.IsH264Stream) return "none (H.264)";
    if (r.WrittenInPlace) return "none (the output is written in place; its tail cannot be cut)";
    if (!r.EndPass.Run) return "skipped (fewer than two GOP headers written)";
    return "cut at byte " + std::to_string(r.EndPass.TruncatedAt) + ", " + std::to_string(r.EndPass.DemotedPictures) +
           " B pictures made P";
}

// Whether the source fits the multiplex rate, in a line.
std::string FitText(const PrepareResult& r) {
    if (r.OverfullIntervals == 0) return "the source fits the rate";
    return std::to_string(r.OverfullIntervals) + (r.OverfullIntervals == 1 ? " PCR interval holds" : " PCR intervals hold") +
           " more packets than the rate carries, the first at " + SecondsText(r.FirstOverfullSeconds, 3) +
           "; the output clock falls up to " + FormatFixed(r.LargestLagMs, 1) + " ms behind the source's";
}

bool LagWarned(const PrepareResult& r) { return r.LargestLagMs > kLagWarningMs; }

// The output's figures at the fixed multiplex rate.
struct OutputFigures {
    std::uint64_t packets = 0;
    std::uint64_t nulls = 0;  // in the output: inserted, less those the tail cut took
    double seconds = 0.0;
    double null_share = 0.0;  // percent
    std::optional<double> largest_step;
};

OutputFigures FiguresOf(const PrepareResult& r, const LastFigures& figures) {
    OutputFigures f;
    f.packets = r.OutputBytes / kPacketSize;
    f.seconds = double(f.packets) * TicksPerPacket / double(kSystemClockHz);
    f.nulls = r.NullPackets - std::min(r.NullPacketsCut, r.NullPackets);
    if (f.packets > 0) f.null_share = 100.0 * double(f.nulls) / double(f.packets);
    f.largest_step = figures.largest_step;
    // The step that ended the run is not reported as an interval.
    if (r.Ending == PrepareEnding::PcrStepError)
        f.largest_step = std::max(f.largest_step.value_or(0.0), r.PcrStepSeconds);
    return f;
}

void PrintSummary(const PrepareJob& job, const PrepareResult& r, const LastFigures& figures) {
    const OutputFigures f = FiguresOf(r, figures);
    const double rate = double(kBitsPerPacket) * double(kSystemClockHz) / TicksPerPacket / 1e6;
    Fields out;
    out.Add("Output", EscapeControls(job.OutputPath))
        .Add("Size", SizeText(r.OutputBytes))
        .Add("Duration", SecondsText(f.seconds, 3) + " at the fixed " + MbitText(rate, 4))
        .Add("Null packets", std::to_string(f.nulls) + " inserted, " + FormatFixed(f.null_share, 1) + " % of the " +
                                 std::to_string(f.packets) + " packets")
        .Add("Source packets", std::to_string(r.InputPackets))
        .Add("PCR intervals", std::to_string(r.Intervals));
    if (f.largest_step) out.Add("Largest PCR step", SecondsText(*f.largest_step, 3));
    if (const std::string decided = PcrPidDecision(job); !decided.empty()) out.Add("PCR PID", decided);
    if (r.Separators > 0) out.Add("Separators", std::to_string(r.Separators));
    if (figures.bitrate) out.Add("Last interval", MbitText(*figures.bitrate, 7));
    out.Add("Tail repair", TailText(job, r));
    out.Add("Rate fit", FitText(r));
    std::ostringstream text;
    out.Print(text);
    if (LagWarned(r))
        text << "Warning: the source is too fast for the card's rate: frames reach the decoder up to "
             << FormatFixed(r.LargestLagMs, 1) << " ms late\n";
    std::cout << text.str();
}

nlohmann::json SummaryJson(const PrepareJob& job, const PrepareResult& r, const LastFigures& figures) {
    const OutputFigures f = FiguresOf(r, figures);
    nlohmann::json j = {
        {"output", job.OutputPath},
        {"output_bytes", r.OutputBytes},
        {"output_packets", f.packets},
        {"duration_seconds", f.seconds},
        {"null_packets", f.nulls},
        {"null_packets_cut", r.NullPacketsCut},
        {"null_percent", f.null_share},
        {"input_packets", r.InputPackets},
        {"pcr_intervals", r.Intervals},
        {"separators", r.Separators},
        {"pcr_pid_decision", PcrPidDecision(job)},
        {"tail_repair", TailText(job, r)},
        {"tail_cut_at", r.EndPass.Run ? nlohmann::json(r.EndPass.TruncatedAt) : nlohmann::json(nullptr)},
        {"tail_pictures_made_p", r.EndPass.DemotedPictures},
        {"completed", r.Ending == PrepareEnding::Completed},
        {"overfull_intervals", r.OverfullIntervals},
        {"largest_lag_ms", r.LargestLagMs},
        {"lag_warning", LagWarned(r)},
    };
    j["first_overfull_seconds"] =
        r.OverfullIntervals > 0 ? nlohmann::json(r.FirstOverfullSeconds) : nlohmann::json(nullptr);
    j["largest_pcr_step_seconds"] = f.largest_step ? nlohmann::json(*f.largest_step) : nlohmann::json(nullptr);
    j["last_interval_mbps"] = figures.bitrate ? nlohmann::json(*figures.bitrate) : nlohmann::json(nullptr);
    if (r.Ending == PrepareEnding::PcrStepError) j["pcr_step_error_seconds"] = r.PcrStepSeconds;
    return j;
}

}  // namespace

void PrintPrepareSummary(bool json, const PrepareJob& job, const PrepareResult& result, const LastFigures& figures) {
    if (json)
        PrintJson(SummaryJson(job, result, figures));
    else
        PrintSummary(job, result, figures);
}

}  // namespace tscard::cli
