// tscard-cli analyze FILE [--mode card|prepare|parse] [--details] [--tree] [--json]
//
// By default a report: the file, its packets, its size on a card, and per
// program the service names, PIDs and elementary streams. --tree prints
// the content tree in its place, --details adds the layout figures and the
// lists the other commands work from, --json all of it as one object.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/analyzer.h"
#include "analysis/stream_summary.h"
#include "cli/cli_analysis.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "cli/stream_report.h"
#include "demux/parsed_programs.h"

namespace tscard::cli {
namespace {

struct AnalyzeArgs {
    std::string file;
    std::string mode = "prepare";
    bool json = false;
    bool details = false;
    bool tree = false;
};

AnalysisMode ModeOf(const std::string& name) {
    if (name == "card") return AnalysisMode::ModeCardWrite;
    if (name == "parse") return AnalysisMode::ModeParse;
    return AnalysisMode::ModePrepare;
}

const char* EndingName(AnalysisEnding ending) {
    switch (ending) {
        case AnalysisEnding::Complete: return "Complete";
        case AnalysisEnding::NoDescription: return "NoDescription";
        case AnalysisEnding::SyncFailed: return "SyncFailed";
        case AnalysisEnding::Stopped: return "Stopped";
        case AnalysisEnding::Failed: return "Failed";
        case AnalysisEnding::Refused: return "Refused";
    }
    return "?";
}

std::string HexList(const std::vector<std::uint16_t>& values) {
    std::string text;
    for (std::uint16_t v : values) {
        if (!text.empty()) text += ", ";
        text += Hex4(v);
    }
    return text;
}

std::string PacketHex(const Packet& packet) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * packet.size());
    for (std::uint8_t b : packet) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

// The fields of a ProgramRemap as (name, text) pairs; stored packets only
// when parse mode built them.
std::vector<std::pair<std::string, std::string>> RemapFields(const ProgramRemap& r, bool with_packets,
                                                             const GlobalOptions& options) {
    std::vector<std::pair<std::string, std::string>> f = {
        {"SourcePmtPid", Hex4(r.SourcePmtPid)},
        {"SourceProgramNumber", Hex4(r.SourceProgramNumber)},
        {"SourcePcrPid", Hex4(r.SourcePcrPid)},
        {"SourceVideoPid", Hex4(r.SourceVideoPid)},
        {"SourceAudioPids", HexList(r.SourceAudioPids)},
        {"SourcePesPids", HexList(r.SourcePesPids)},
        {"AllEsPids", HexList(r.AllEsPids)},
        {"TargetPmtPid", Hex4(r.TargetPmtPid)},
        {"TargetProgramNumber", Hex4(r.TargetProgramNumber)},
        {"TargetPcrPid", Hex4(r.TargetPcrPid)},
        {"TargetVideoPid", Hex4(r.TargetVideoPid)},
        {"TargetAudioPids", HexList(r.TargetAudioPids)},
        {"TargetPesPids", HexList(r.TargetPesPids)},
        {"PcrInVideo", std::to_string(int(r.PcrInVideo))},
        {"VideoStreamType", Hex2(r.VideoStreamType)},
        {"SourceProvider", TerminalText(r.SourceProvider, options)},
        {"SourceName", TerminalText(r.SourceName, options)},
        {"TargetProvider", TerminalText(r.TargetProvider, options)},
        {"TargetName", TerminalText(r.TargetName, options)},
        {"Selected", std::to_string(int(r.Selected))},
    };
    if (with_packets) {
        f.emplace_back("StoredPat", PacketHex(r.StoredPat));
        f.emplace_back("StoredSdt", PacketHex(r.StoredSdt));
        f.emplace_back("StoredPmt", PacketHex(r.StoredPmt));
    }
    return f;
}

nlohmann::json RemapJson(const ProgramRemap& r, bool with_packets, const GlobalOptions& options) {
    nlohmann::json j = {
        {"SourcePmtPid", r.SourcePmtPid},
        {"SourceProgramNumber", r.SourceProgramNumber},
        {"SourcePcrPid", r.SourcePcrPid},
        {"SourceVideoPid", r.SourceVideoPid},
        {"SourceAudioPids", r.SourceAudioPids},
        {"SourcePesPids", r.SourcePesPids},
        {"AllEsPids", r.AllEsPids},
        {"TargetPmtPid", r.TargetPmtPid},
        {"TargetProgramNumber", r.TargetProgramNumber},
        {"TargetPcrPid", r.TargetPcrPid},
        {"TargetVideoPid", r.TargetVideoPid},
        {"TargetAudioPids", r.TargetAudioPids},
        {"TargetPesPids", r.TargetPesPids},
        {"PcrInVideo", int(r.PcrInVideo)},
        {"VideoStreamType", r.VideoStreamType},
        {"SourceProvider", DisplayText(r.SourceProvider, options)},
        {"SourceName", DisplayText(r.SourceName, options)},
        {"TargetProvider", DisplayText(r.TargetProvider, options)},
        {"TargetName", DisplayText(r.TargetName, options)},
        {"Selected", int(r.Selected)},
    };
    if (with_packets) {
        j["StoredPat"] = PacketHex(r.StoredPat);
        j["StoredSdt"] = PacketHex(r.StoredSdt);
        j["StoredPmt"] = PacketHex(r.StoredPmt);
    }
    return j;
}

nlohmann::json TreeJson(const ContentNode& node) {
    nlohmann::json j = {{"Text", node.Text}};
    if (node.Data) j["Data"] = *node.Data;
    if (!node.Children.empty()) {
        j["Children"] = nlohmann::json::array();
        for (const ContentNode& child : node.Children) j["Children"].push_back(TreeJson(child));
    }
    return j;
}

Fields LayoutFields(const StreamState& state) {
    const StreamLayout& l = state.Layout;
    Fields f;
    f.Add("PacketSize", state.Packet192Mode ? "192" : "188")
        .Add("StartOffset", std::to_string(l.StartOffset))
        .Add("RemainingBytes", std::to_string(l.RemainingBytes))
        .Add("WindowCount", std::to_string(l.WindowCount))
        .Add("TailBytes", std::to_string(l.TailBytes))
        .Add("BigBlocks", std::to_string(l.BigBlocks))
        .Add("MidBlocks", std::to_string(l.MidBlocks))
        .Add("TailPackets", std::to_string(l.TailPackets));
    return f;
}

void PrintTree(std::ostream& out, const ContentNode& node, int level) {
    out << std::string(2 * static_cast<std::size_t>(level), ' ') << EscapeControls(node.Text) << '\n';
    for (const ContentNode& child : node.Children) PrintTree(out, child, level + 1);
}

// What the other commands work from: the layout figures, the result lists
// and each program's record, as they stand.
void PrintDetails(std::ostream& out, const StreamState& state, AnalysisMode mode,
                  const std::vector<std::string>& parse_lines, const GlobalOptions& options) {
    const bool parse = mode == AnalysisMode::ModeParse;
    Fields lists = LayoutFields(state);
    lists.Add("IsH264Stream", std::to_string(int(state.IsH264Stream)))
        .Add("PcrPids", HexList(state.Lists.PcrPids))
        .Add("KnownPids", HexList(state.Lists.KnownPids));
    lists.Print(out);
    for (std::size_t n = 0; n < state.Lists.ProgramList.size(); ++n) {
        out << "\nProgram: " << n << '\n';
        Fields fields;
        for (auto& [name, value] : RemapFields(state.Lists.ProgramList[n], parse, options)) fields.Add(name, value);
        fields.Print(out);
    }
    if (mode == AnalysisMode::ModePrepare) {
        out << "\nCurrentRemap:\n";
        Fields fields;
        for (auto& [name, value] : RemapFields(state.CurrentRemap, false, options)) fields.Add(name, value);
        fields.Print(out);
    }
    if (parse && !parse_lines.empty()) {
        out << '\n';
        Fields fields;
        for (const std::string& line : parse_lines) fields.Add("ParseLine", TerminalText(line, options));
        fields.Print(out);
    }
}

nlohmann::json ResultJson(const AnalysisResult& result, const StreamState& state, AnalysisMode mode,
                          const std::string& mode_name, const std::vector<std::string>& parse_lines,
                          const GlobalOptions& options) {
    const bool parse = mode == AnalysisMode::ModeParse;
    const StreamLayout& l = state.Layout;
    nlohmann::json j = {
        {"Ending", EndingName(result.Ending)},
        {"Mode", mode_name},
        {"StreamFileName", l.StreamFileName},
    };
    if (result.Ending != AnalysisEnding::Complete) j["Message"] = result.Message.English();
    if (result.Ending == AnalysisEnding::Complete || result.Ending == AnalysisEnding::NoDescription) {
        j["PacketSize"] = state.Packet192Mode ? 192 : 188;
        j["Packet192Mode"] = int(state.Packet192Mode);
        j["SyncOffset"] = state.SyncOffset;
        j["StartOffset"] = l.StartOffset;
        j["RemainingBytes"] = l.RemainingBytes;
        j["WindowCount"] = l.WindowCount;
        j["TailBytes"] = l.TailBytes;
        j["BigBlocks"] = l.BigBlocks;
        j["MidBlocks"] = l.MidBlocks;
        j["TailPackets"] = l.TailPackets;
    }
    if (parse) j["OnlyOneProgram"] = result.OnlyOneProgram;
    if (result.Ending == AnalysisEnding::Complete || result.Ending == AnalysisEnding::NoDescription)
        AddStreamSummaryJson(j, SummariseStream(state), options);
    if (result.Ending != AnalysisEnding::Complete) return j;
    j["Tree"] = TreeJson(result.Tree);
    j["IsH264Stream"] = int(state.IsH264Stream);
    j["ProgramNumbers"] = state.Lists.ProgramNumbers;
    j["PmtPids"] = state.Lists.PmtPids;
    j["PcrPids"] = state.Lists.PcrPids;
    j["KnownPids"] = state.Lists.KnownPids;
    j["ProgramList"] = nlohmann::json::array();
    for (const ProgramRemap& r : state.Lists.ProgramList) j["ProgramList"].push_back(RemapJson(r, parse, options));
    j["CurrentRemap"] = RemapJson(state.CurrentRemap, false, options);
    if (parse) {
        j["ParseLines"] = nlohmann::json::array();
        for (const std::string& line : parse_lines) j["ParseLines"].push_back(DisplayText(line, options));
    }
    return j;
}

int RunAnalyze(const AnalyzeArgs& args, const GlobalOptions& options) {
    const AnalysisMode mode = ModeOf(args.mode);
    StreamState state;
    StopFlag stop;
    AnalysisResult result;
    {
        StopOnSignals guard(stop);
        result = AnalyseWithProgress(mode, args.file, state, stop);
    }
    std::vector<std::string> parse_lines;
    if (mode == AnalysisMode::ModeParse && result.Ending == AnalysisEnding::Complete)
        parse_lines = SelectParsedPrograms(state);
    if (args.json) {
        PrintJson(ResultJson(result, state, mode, args.mode, parse_lines, options));
    } else if (result.Ending == AnalysisEnding::Complete) {
        std::ostringstream out;
        if (args.tree)
            PrintTree(out, result.Tree, 0);
        else
            PrintStreamReport(out, SummariseStream(state), parse_lines, options);
        if (args.details) {
            out << "\nDetails\n\n";
            PrintDetails(out, state, mode, parse_lines, options);
        }
        std::cout << out.str();
    }
    if (mode == AnalysisMode::ModeParse && result.OnlyOneProgram)
        PrintError(args.file + ": " + kOnlyOneProgramMessage);
    if (result.Ending == AnalysisEnding::Complete) return kExitOk;
    PrintError(result.Message.English());
    return kExitFailed;
}

}  // namespace

void RegisterAnalyzeCommand(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<AnalyzeArgs>();
    CLI::App* cmd = app.add_subcommand(
        "analyze",
        "Find the packet size and first packet of a stream, read its PAT, PMTs and SDT, and report its "
        "programs: service names, PMT and PCR PIDs, elementary streams with their types, and the size the "
        "stream takes on a card");
    cmd->add_option("FILE", args->file, "The transport stream file")->required();
    cmd->add_option("--mode", args->mode,
                    "What the analysis is for: card (write to a card), prepare (one program; the default) or "
                    "parse (split a multi-program stream)")
        ->check(CLI::IsMember({"card", "prepare", "parse"}));
    cmd->add_flag("--details", args->details,
                  "Add the layout figures, the PID lists and each program's record that preparing, splitting "
                  "and card writing work from");
    cmd->add_flag("--tree", args->tree, "Print the content tree as the window shows it, in place of the report");
    cmd->add_flag("--json", args->json,
                  "Print the result as one JSON object: the summary (file, packet_size, card_bytes, programs, "
                  "streams, ...) and every figure of --details");
    cmd->callback([args, &options] { Exit(RunAnalyze(*args, options)); });
}

}  // namespace tscard::cli
