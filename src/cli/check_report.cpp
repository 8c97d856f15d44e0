#include "cli/check_report.h"

#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_common.h"
#include "cli/report.h"
#include "prepare/mux_rate.h"
#include "ts/packet.h"

namespace tscard::cli {
namespace {

std::string Errors(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " error" : " errors"); }

std::string PriorityText(const CheckResult& r, int priority) {
    std::string text = "priority " + std::to_string(priority) + ": " + Errors(r.Errors(priority));
    std::string named;
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const Indicator indicator = IndicatorAt(i);
        if (IndicatorPriority(indicator) != priority || r.Indicators[i].Count == 0) continue;
        if (!named.empty()) named += ", ";
        named += std::string(IndicatorName(indicator)) + " " + std::to_string(r.Indicators[i].Count);
    }
    return named.empty() ? text : text + " (" + named + ")";
}

std::string PidText(std::uint16_t pid) { return pid == kNullPid ? "0x1FFF (null)" : HexAndDecimal(pid); }

std::string WhereText(const Occurrence& o) {
    return SecondsText(o.Seconds, 3) + ", byte " + std::to_string(o.Offset);
}

// What an occurrence's value means, in words.
std::string CauseText(Indicator indicator, const Occurrence& o) {
    const auto ms = [](double v) { return FormatFixed(v, 1) + " ms"; };
    switch (o.Why) {
        case Cause::Gap:
        case Cause::Missing: {
            const std::string tail = o.Why == Cause::Missing ? ", to the end of the file" : "";
            switch (indicator) {
                case Indicator::PAT_error: return ms(o.Value) + " without a PAT section" + tail;
                case Indicator::PMT_error: return ms(o.Value) + " without a PMT section" + tail;
                case Indicator::PID_error: return ms(o.Value) + " without a packet" + tail;
                default: return "interval " + ms(o.Value);
            }
        }
        case Cause::TableId: return "a section with table_id " + Hex2(std::uint32_t(o.Value));
        case Cause::Scrambled: return "transport_scrambling_control " + std::to_string(int(o.Value));
        case Cause::Counter: return "continuity_counter " + std::to_string(int(o.Value)) + " out of order";
        case Cause::SyncByte: return "byte " + Hex2(std::uint32_t(o.Value)) + " where 0x47 belongs";
        case Cause::SyncLost: return "two packets in a row without 0x47";
        case Cause::Crc: return "CRC_32 of a section with table_id " + Hex2(std::uint32_t(o.Value)) + " fails";
        case Cause::Flag: return "transport_error_indicator set";
        case Cause::Step: return "PCR step " + FormatFixed(o.Value, 3) + " ms without discontinuity_indicator";
        case Cause::Deviation: return "PCR " + FormatFixed(o.Value, 1) + " ns off";
    }
    return {};
}

std::string TimeBaseText(const CheckResult& r) {
    if (r.Time == TimeSource::Rate) {
        std::string text = GroupedFixed(r.RateBps, 3) + " bit/s from byte 0";
        return r.RateBps == kMuxBitRate ? text + " (the card's rate)" : text;
    }
    return "PCR of the reference PID";
}

std::string ReferenceText(const CheckResult& r) {
    if (!r.ReferencePid) return "none (the checked program names no PCR PID)";
    std::string text = "PID " + HexAndDecimal(*r.ReferencePid);
    if (r.ProgramNumber) text += ", program " + HexAndDecimal(*r.ProgramNumber);
    return text;
}

std::string WindowsText(const CheckResult& r) {
    if (!r.WindowMin) return "no whole 1-second window";
    return MbitText(r.WindowMin->Mbps, 3) + " (at " + SecondsText(r.WindowMin->Seconds, 0) + ") to " +
           MbitText(r.WindowMax->Mbps, 3) + " (at " + SecondsText(r.WindowMax->Seconds, 0) + ")";
}

std::string AccuracyText(const CheckResult& r) {
    if (r.PcrsMeasured == 0) return "no PCR measured";
    const std::string against = r.Time == TimeSource::Rate ? "against the rate given"
                                                           : "against each stretch's least-squares line";
    return "largest deviation " + FormatFixed(r.PcrAccuracyMaxNs, 1) + " ns over " + std::to_string(r.PcrsMeasured) +
           " PCRs, " + against;
}

void PrintFigures(std::ostream& out, const CheckResult& r) {
    Fields f;
    f.Add("File", EscapeControls(r.Path))
        .Add("Size", SizeText(r.FileBytes))
        .Add("Packets", std::to_string(r.Packets) + " of " + std::to_string(r.PacketSize) + " bytes, the first at byte " +
                            std::to_string(r.FirstPacketOffset));
    if (r.Ending == CheckEnding::Stopped)
        f.Add("Checked", "stopped at byte " + std::to_string(r.CheckedBytes) + " of " + std::to_string(r.FileBytes) +
                             ": the figures cover what was read");
    f.Add("Duration", SecondsText(r.DurationSeconds, 3))
        .Add("Time base", TimeBaseText(r))
        .Add("Reference PCR", ReferenceText(r))
        .Add("Bit rate", MbitText(r.Mbps, 3) + ", null packets " + FormatFixed(r.NullPercent, 1) + " %")
        .Add("1-second windows", WindowsText(r))
        .Add("PCR accuracy", AccuracyText(r));
    f.Print(out);
}

void PrintIndicators(std::ostream& out, const CheckResult& r) {
    Table t;
    t.Row({"Indicator", "Count", "First"});
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const Indicator indicator = IndicatorAt(i);
        const IndicatorTally& tally = r.Indicators[i];
        std::string first;
        if (!tally.Occurrences.empty()) {
            const Occurrence& o = tally.Occurrences.front();
            first = WhereText(o) + ", PID " + PidText(o.Pid);
        }
        t.Row({std::string(IndicatorNumber(indicator)) + " " + std::string(IndicatorName(indicator)),
               std::to_string(tally.Count), first});
    }
    t.Print(out, 2);
}

void PrintTiming(std::ostream& out, const CheckResult& r) {
    if (r.Timing.empty()) return;
    out << "\nDecoding delay (DTS, or PTS, minus the PCR clock at the PES header's arrival)\n";
    Table t;
    t.Row({"PID", "Type", "Stream", "PES", "Min", "Mean", "Max", "Late", "Early"});
    for (const StreamTiming& s : r.Timing) {
        const auto ms = [&](double v) { return s.Pes == 0 ? std::string("-") : FormatFixed(v, 1) + " ms"; };
        t.Row({HexAndDecimal(s.Pid), Hex2(s.StreamType), s.Kind, std::to_string(s.Pes), ms(s.MinMs), ms(s.MeanMs), ms(s.MaxMs),
               std::to_string(s.LatePes), std::to_string(s.EarlyPes)});
    }
    t.Print(out, 2);
}

void PrintPids(std::ostream& out, const CheckResult& r) {
    out << "\nBit rate per PID\n";
    Table t;
    t.Row({"PID", "Packets", "Share", "Rate"});
    for (const PidShare& p : r.Pids)
        t.Row({PidText(p.Pid), std::to_string(p.Packets), FormatFixed(p.Percent, 2) + " %", MbitText(p.Mbps, 3)});
    t.Print(out, 2);
}

void PrintDetails(std::ostream& out, const CheckResult& r) {
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const IndicatorTally& tally = r.Indicators[i];
        if (tally.Count == 0) continue;
        const Indicator indicator = IndicatorAt(i);
        out << '\n' << IndicatorName(indicator) << ": " << tally.Count;
        if (tally.Count > tally.Occurrences.size()) out << " (the first " << tally.Occurrences.size() << ")";
        out << '\n';
        Table t;
        for (const Occurrence& o : tally.Occurrences)
            t.Row({SecondsText(o.Seconds, 6), "byte " + std::to_string(o.Offset), "PID " + PidText(o.Pid),
                   CauseText(indicator, o)});
        t.Print(out, 2);
    }
}

nlohmann::json PointsJson(const Series& s) {
    nlohmann::json points = nlohmann::json::array();
    for (const SeriesPoint& p : s.Points) points.push_back({p.Seconds, p.Value});
    return points;
}

nlohmann::json SeriesJson(const Series& s) {
    nlohmann::json j = {{"pid", s.Pid}, {"points", PointsJson(s)}};
    if (s.Whole) j["whole_stream"] = true;
    if (s.StreamType != 0) j["stream_type"] = s.StreamType;
    return j;
}

nlohmann::json OccurrenceJson(Indicator indicator, const Occurrence& o) {
    return {{"seconds", o.Seconds}, {"offset", o.Offset}, {"pid", o.Pid},
            {"cause", std::string(CauseName(o.Why))}, {"value", o.Value}, {"text", CauseText(indicator, o)}};
}

}  // namespace

std::string CheckHeadline(const CheckResult& r) {
    std::string text = PriorityText(r, 1) + "; " + PriorityText(r, 2);
    if (r.Ending == CheckEnding::Stopped) text += " (partial: stopped at byte " + std::to_string(r.CheckedBytes) + ")";
    return text;
}

void PrintCheckReport(const CheckResult& r, bool details) {
    std::ostringstream out;
    out << CheckHeadline(r) << "\n\n";
    PrintFigures(out, r);
    out << '\n';
    PrintIndicators(out, r);
    PrintTiming(out, r);
    PrintPids(out, r);
    if (details) PrintDetails(out, r);
    std::cout << out.str();
}

nlohmann::json CheckJson(const CheckResult& r) {
    nlohmann::json j = {
        {"file", std::filesystem::path(r.Path).filename().string()},
        {"path", r.Path},
        {"partial", r.Ending == CheckEnding::Stopped},
        {"headline", CheckHeadline(r)},
        {"file_bytes", r.FileBytes},
        {"checked_bytes", r.CheckedBytes},
        {"packet_size", r.PacketSize},
        {"first_packet_offset", r.FirstPacketOffset},
        {"packets", r.Packets},
        {"duration_seconds", r.DurationSeconds},
        {"time_base", r.Time == TimeSource::Rate ? "rate" : "pcr"},
        {"priority1_errors", r.Errors(1)},
        {"priority2_errors", r.Errors(2)},
        {"pcr_accuracy_max_ns", r.PcrAccuracyMaxNs},
        {"pcrs_measured", r.PcrsMeasured},
        {"bitrate_mbps", r.Mbps},
        {"null_percent", r.NullPercent},
        {"card_rate_bps", kMuxBitRate},
    };
    if (r.Time == TimeSource::Rate) j["rate_bps"] = r.RateBps;
    j["reference_pid"] = r.ReferencePid ? nlohmann::json(*r.ReferencePid) : nlohmann::json(nullptr);
    j["program_number"] = r.ProgramNumber ? nlohmann::json(*r.ProgramNumber) : nlohmann::json(nullptr);
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const Indicator indicator = IndicatorAt(i);
        const IndicatorTally& tally = r.Indicators[i];
        nlohmann::json occurrences = nlohmann::json::array();
        for (const Occurrence& o : tally.Occurrences) occurrences.push_back(OccurrenceJson(indicator, o));
        j[std::string(IndicatorName(indicator))] = {{"count", tally.Count},
                                                    {"priority", IndicatorPriority(indicator)},
                                                    {"number", std::string(IndicatorNumber(indicator))},
                                                    {"occurrences", occurrences}};
    }
    nlohmann::json timing = nlohmann::json::array();
    for (const StreamTiming& s : r.Timing)
        timing.push_back({{"pid", s.Pid},
                          {"stream_type", s.StreamType},
                          {"kind", s.Kind},
                          {"pes", s.Pes},
                          {"min_ms", s.MinMs},
                          {"mean_ms", s.MeanMs},
                          {"max_ms", s.MaxMs},
                          {"late_pes", s.LatePes},
                          {"early_pes", s.EarlyPes}});
    j["streams"] = timing;
    nlohmann::json pids = nlohmann::json::array();
    for (const PidShare& p : r.Pids)
        pids.push_back({{"pid", p.Pid}, {"packets", p.Packets}, {"percent", p.Percent}, {"mbps", p.Mbps}});
    j["pids"] = pids;
    const auto window = [](const std::optional<WindowRate>& w) {
        return w ? nlohmann::json{{"seconds", w->Seconds}, {"mbps", w->Mbps}} : nlohmann::json(nullptr);
    };
    j["window_min"] = window(r.WindowMin);
    j["window_max"] = window(r.WindowMax);
    nlohmann::json bitrate = nlohmann::json::array();
    for (const Series& s : r.Charts.Bitrate) bitrate.push_back(SeriesJson(s));
    nlohmann::json delays = nlohmann::json::array();
    for (const Series& s : r.Charts.DecodingDelayMs) delays.push_back(SeriesJson(s));
    j["series"] = {{"bitrate_mbps", bitrate},
                   {"pcr_interval_ms", SeriesJson(r.Charts.PcrIntervalMs)},
                   {"pcr_accuracy_ns", SeriesJson(r.Charts.PcrAccuracyNs)},
                   {"decoding_delay_ms", delays}};
    return j;
}

}  // namespace tscard::cli
