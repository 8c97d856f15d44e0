#include "cli/stream_report.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/report.h"
#include "ts/stream_kind.h"

namespace tscard::cli {
namespace {

std::string NameText(const SdtNames& names, const std::string& bytes, const GlobalOptions& options) {
    if (!names.Found) return "(the SDT does not list the program)";
    if (bytes.empty()) return "(empty)";
    return TerminalText(bytes, options);
}

std::string PacketsText(const StreamSummary& s) {
    std::string text = std::to_string(s.Packets) + " of " + std::to_string(s.PacketSize) + " bytes";
    if (s.PacketSize != kPacketSize) text += " (a 4-byte prefix before each packet)";
    text += ", the first at byte " + std::to_string(s.FirstPacketOffset);
    if (s.StartOffset != s.FirstPacketOffset)
        text += "; the stream starts at byte " + std::to_string(s.StartOffset) + ", past null packets";
    return text;
}

nlohmann::json StreamJson(const EsEntry& e, const GlobalOptions& options) {
    return {{"pid", e.Pid},
            {"stream_type", e.StreamType},
            {"kind", StreamKindText(e)},
            {"language", DisplayText(e.Language, options)},
            {"descriptor_tags", e.DescriptorTags}};
}

}  // namespace

void PrintStreamReport(std::ostream& out, const StreamSummary& s, const std::vector<std::string>& parse_lines,
                 const GlobalOptions& options) {
    Fields file;
    file.Add("File", EscapeControls(s.FileName))
        .Add("Size", SizeText(s.FileBytes))
        .Add("Packets", PacketsText(s))
        .Add("On the card", SizeText(static_cast<std::uint64_t>(s.CardBytes)) + " in 8192-byte blocks")
        .Add("Programs", std::to_string(s.Programs.size()))
        .Add("SDT", s.SdtRead ? "read" : "not found: no service names");
    file.Print(out);
    for (const ProgramSummary& p : s.Programs) {
        out << "\nProgram " << HexAndDecimal(p.ProgramNumber) << '\n';
        Fields fields;
        fields.Add("Provider", NameText(p.Names, p.Names.Provider, options))
            .Add("Name", NameText(p.Names, p.Names.Name, options))
            .Add("PMT PID", HexAndDecimal(p.PmtPid))
            .Add("PCR PID", p.PcrPid == kNullPid ? HexAndDecimal(p.PcrPid) + ": no PCR found" : HexAndDecimal(p.PcrPid))
            .Add("Streams", std::to_string(p.Streams.size()));
        fields.Print(out, 2);
        if (p.Streams.empty()) continue;
        Table table;
        // The language column only where a stream names one.
        const bool languages = std::any_of(p.Streams.begin(), p.Streams.end(),
                                           [](const EsEntry& e) { return !e.Language.empty(); });
        table.Row({"PID", "Type", "Kind", languages ? "Language" : ""});
        for (const EsEntry& e : p.Streams)
            table.Row({HexAndDecimal(e.Pid), Hex2(e.StreamType), std::string(StreamKindText(e)),
                       TerminalText(e.Language, options)});
        table.Print(out, 4);
    }
    if (!parse_lines.empty()) {
        out << "\nTo split:\n";
        for (const std::string& line : parse_lines) out << "  " << TerminalText(line, options) << '\n';
    }
}

void AddStreamSummaryJson(nlohmann::json& j, const StreamSummary& s, const GlobalOptions& options) {
    j["file"] = s.FileName;
    j["file_bytes"] = s.FileBytes;
    j["packet_size"] = s.PacketSize;
    j["first_packet_offset"] = s.FirstPacketOffset;
    j["start_offset"] = s.StartOffset;
    j["packets"] = s.Packets;
    j["card_bytes"] = s.CardBytes;
    j["sdt_read"] = s.SdtRead;
    j["programs"] = nlohmann::json::array();
    j["streams"] = nlohmann::json::array();
    for (const ProgramSummary& p : s.Programs) {
        nlohmann::json program = {{"number", p.ProgramNumber},
                                  {"pmt_pid", p.PmtPid},
                                  {"pcr_pid", p.PcrPid},
                                  {"in_sdt", p.Names.Found},
                                  {"provider", DisplayText(p.Names.Provider, options)},
                                  {"name", DisplayText(p.Names.Name, options)},
                                  {"streams", nlohmann::json::array()}};
        for (const EsEntry& e : p.Streams) {
            program["streams"].push_back(StreamJson(e, options));
            nlohmann::json flat = StreamJson(e, options);
            flat["program_number"] = p.ProgramNumber;
            j["streams"].push_back(std::move(flat));
        }
        j["programs"].push_back(std::move(program));
    }
}

}  // namespace tscard::cli
