#include "analysis/stream_summary.h"

#include <algorithm>

#include "ts/stream_open.h"

namespace tscard {

SdtNames FindServiceNames(const StreamAnalysis& analysis, std::uint16_t program_number) {
    SdtNames names;
    const auto it = std::find(analysis.ServiceIds.begin(), analysis.ServiceIds.end(), program_number);
    if (it == analysis.ServiceIds.end()) return names;
    const std::size_t j = static_cast<std::size_t>(it - analysis.ServiceIds.begin());
    names.Found = true;
    if (j < analysis.Providers.size()) names.Provider = analysis.Providers[j];
    if (j < analysis.ServiceNames.size()) names.Name = analysis.ServiceNames[j];
    return names;
}

StreamSummary SummariseStream(const StreamState& state) {
    StreamSummary summary;
    const StreamLayout& layout = state.Layout;
    summary.FileName = layout.StreamFileName;
    summary.PacketSize = state.Packet192Mode ? kUnit192Size : kPacketSize;
    summary.FirstPacketOffset = state.SyncOffset;
    summary.StartOffset = layout.StartOffset;
    summary.FileBytes = static_cast<std::uint64_t>(layout.StartOffset) + layout.RemainingBytes;
    const auto first = static_cast<std::uint64_t>(std::max<std::int64_t>(state.SyncOffset, 0));
    if (summary.FileBytes > first) summary.Packets = (summary.FileBytes - first) / summary.PacketSize;
    summary.CardBytes = CardBytesOf(summary.FileBytes);
    if (!state.Analysis) return summary;
    summary.SdtRead = state.Analysis->SdtDone;
    const ResultLists& lists = state.Lists;
    for (std::size_t n = 0; n < lists.ParsedPrograms.size(); ++n) {
        const ProgramEntry& entry = lists.ParsedPrograms[n];
        ProgramSummary program;
        program.ProgramNumber = entry.ProgramNumber;
        program.PmtPid = entry.PmtPid;
        program.PcrPid = n < lists.PcrPids.size() ? lists.PcrPids[n] : entry.PcrPid;
        program.Names = FindServiceNames(*state.Analysis, entry.ProgramNumber);
        program.Streams = entry.Streams;
        summary.Programs.push_back(std::move(program));
    }
    return summary;
}

}  // namespace tscard
