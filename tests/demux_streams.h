#pragma once
// Hand-made inputs of the demultiplexer: a stream description as a parse
// analysis leaves it.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "psi/psi_builder.h"
#include "support/psi_sections.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard::test {

struct DemuxProgram {
    std::uint16_t number;
    std::uint16_t pmt_pid;
    std::uint16_t pcr_pid;
    std::vector<std::uint16_t> es_pids;
    bool selected = true;
};

// A record as parse mode fills it: PIDs, Selected and the stored PAT, SDT
// and PMT packets (a PMT section of the program's streams).
inline ProgramRemap MakeDemuxRemap(const DemuxProgram& p) {
    ProgramRemap r;
    r.SourcePmtPid = r.TargetPmtPid = p.pmt_pid;
    r.SourceProgramNumber = r.TargetProgramNumber = p.number;
    r.SourcePcrPid = r.TargetPcrPid = p.pcr_pid;
    r.AllEsPids = p.es_pids;
    r.TargetName = "Name" + std::to_string(p.number);
    r.TargetProvider = "Provider";
    std::vector<PmtStream> streams;
    for (std::uint16_t pid : p.es_pids) streams.push_back({0x06, pid, {}});
    r.StoredPmt = SectionPackets(p.pmt_pid, PmtSection(p.number, p.pcr_pid, streams))[0];
    r.StoredPat = BuildPat(r);
    if (!BuildSdt(r, r.TargetProvider, r.TargetName, r.StoredSdt)) throw std::runtime_error("names too long");
    r.Selected = p.selected;
    return r;
}

// The input written to `path` and opened for the demultiplexer, with the
// programs' records; unit 188 or 192 (a 4-byte prefix before each packet),
// `lead` garbage bytes before the first packet, `trail` after the last.
inline void MakeDemuxState(StreamState& state, const std::filesystem::path& path, const std::vector<Packet>& packets,
                           const std::vector<DemuxProgram>& programs, std::size_t unit = kPacketSize,
                           std::size_t lead = 0, std::size_t trail = 0) {
    std::vector<std::uint8_t> bytes(lead, 0x47);  // sync bytes in the garbage too
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (unit == kUnit192Size)
            for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(i >> (8 * (3 - k))));
        bytes.insert(bytes.end(), packets[i].begin(), packets[i].end());
    }
    bytes.insert(bytes.end(), trail, 0x47);
    WriteFileBytes(path, bytes);
    state.Path = path.string();
    state.Packet192Mode = unit == kUnit192Size ? 1 : 0;
    state.SyncOffset = static_cast<std::int64_t>(lead);
    state.Lists.ProgramList.clear();
    state.Lists.ProgramNumbers.clear();
    for (const DemuxProgram& p : programs) {
        state.Lists.ProgramList.push_back(MakeDemuxRemap(p));
        state.Lists.ProgramNumbers.push_back(p.number);
        state.Lists.PmtPids.push_back(p.pmt_pid);
    }
    if (Status st = File::OpenRead(path.string(), state.DemuxInput); !st) throw std::runtime_error(st.message());
}

}  // namespace tscard::test
