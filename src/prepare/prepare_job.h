#pragma once
// What a prepare run works from: the parts of an analysis it needs, the
// program's source and target values, and the two paths. A run takes its
// own copy, so edits made while it runs never reach it.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "platform/status.h"
#include "ts/model.h"

namespace tscard {

// What the analysis of the source found, as a prepare run needs it.
struct PrepareSource {
    Packet FirstPmtPacket{};  // the program's first PMT packet, section at byte 5
    // The PCR_PID the source's PMT names; the remap's SourcePcrPid is the
    // PID that carries the PCRs (they differ when the PMT names 0x1FFF, or
    // a PID without PCRs, and the PCRs ride on one of the program's streams).
    std::uint16_t DeclaredPcrPid = kNullPid;
    std::vector<std::uint16_t> KnownPids;
    std::vector<std::uint16_t> PmtPids;
    bool IsH264Stream = false;
    bool Packet192Mode = false;
    // The first packet the sync search confirmed (for 192-byte units, its
    // prefix): reading starts here.
    std::int64_t SyncOffset = 0;
    std::uint64_t GaugeMax = 0;  // progress maximum (64 KiB windows)
    // The source's size when it was analysed (0: unknown): a source that
    // ends before it shrank since.
    std::uint64_t Size = 0;
};

// Takes what a run needs from a completed analysis. Refused (not ok, the
// message naming the file) when the analysis did not read the PAT and
// every PMT, or when the stream carries more than one program (the run
// would mix programs; the demultiplexer splits them first).
Status ReadPrepareSource(const StreamState& state, PrepareSource& source);

struct PrepareJob {
    std::string SourcePath;
    std::string OutputPath;
    // Source values (matched) and target values (written); names are 8-bit
    // bytes of the code page.
    ProgramRemap Remap;
    PrepareSource Source;
};

// A job from a completed analysis: its path, CurrentRemap and source parts.
Status MakePrepareJob(const StreamState& state, const std::string& output_path, PrepareJob& job);

// Everything that refuses a job before a run touches anything, as the
// prepare worker refuses it: no output named, an output that is the source
// or cannot be a file (platform/output_file.h), targets that break the
// rules of CheckPrepareTargets, a PMT that does not fit in one packet,
// names that do not fit in the SDT. The message names the file. The window
// checks this when Start is pressed.
Status CheckPrepareJob(const PrepareJob& job);

// What a run decides about the PCR PID when the source's PMT does not name
// the PID its PCRs ride on: "the source's PMT names PCR PID 0x1FFF; its
// PCRs ride on the video PID (0x0201): the output's PMT names 0x1001".
// Empty when the PMT names it.
std::string PcrPidDecision(const PrepareJob& job);

// After a run the description behind the prepare panel is spent: a new run
// needs a new analysis. Empties the lists a run used.
void ReleasePreparedLists(StreamState& state);

}  // namespace tscard
