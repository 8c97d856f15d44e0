#include "prepare/prepare_job.h"

#include <algorithm>

#include "psi/psi_reader.h"

namespace tscard {

Status ReadPrepareSource(const StreamState& state, PrepareSource& source) {
    const StreamAnalysis* analysis = state.Analysis.get();
    const ResultLists& lists = state.Lists;
    if (analysis == nullptr || !DescriptionComplete(*analysis, lists) || analysis->PatPrograms.empty() ||
        !analysis->PatPrograms[0].PmtRead)
        return Status::Fail(state.Path + ": the analysis did not read the PAT and the PMT; nothing to prepare");
    if (lists.ProgramNumbers.size() > 1)
        return Status::Fail(state.Path + ": the stream carries " + std::to_string(lists.ProgramNumbers.size()) +
                            " programs; only a single-program stream can be prepared (use demux first)");
    PrepareSource s;
    std::copy_n(analysis->PmtSlots[0].Data.begin(), kPacketSize, s.FirstPmtPacket.begin());
    s.KnownPids = lists.KnownPids;
    s.PmtPids = lists.PmtPids;
    s.IsH264Stream = state.IsH264Stream;
    s.Packet192Mode = state.Packet192Mode;
    s.SyncOffset = state.SyncOffset;
    s.GaugeMax = state.PrepareGaugeMax;
    source = std::move(s);
    return Status::Ok();
}

Status MakePrepareJob(const StreamState& state, const std::string& output_path, PrepareJob& job) {
    PrepareJob j;
    if (Status st = ReadPrepareSource(state, j.Source); !st) return st;
    j.SourcePath = state.Path;
    j.OutputPath = output_path;
    j.Remap = state.CurrentRemap;
    job = std::move(j);
    return Status::Ok();
}

void ReleasePreparedLists(StreamState& state) {
    state.Lists.ProgramNumbers.clear();
    state.Lists.PmtPids.clear();
    state.Lists.PcrPids.clear();
    state.Lists.KnownPids.clear();
    state.Lists.ParsedPrograms.clear();
}

}  // namespace tscard
