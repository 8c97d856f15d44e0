#include "prepare/prepare_job.h"

#include <algorithm>

#include "platform/file_identity.h"
#include "platform/hex_text.h"
#include "platform/output_file.h"
#include "prepare/prepare_targets.h"
#include "psi/psi_builder.h"
#include "psi/psi_reader.h"

namespace tscard {

Status ReadPrepareSource(const StreamState& state, PrepareSource& source) {
    const StreamAnalysis* analysis = state.Analysis.get();
    const ResultLists& lists = state.Lists;
    if (analysis == nullptr || !DescriptionComplete(*analysis, lists) || analysis->PatPrograms.empty() ||
        !analysis->PatPrograms[0].PmtRead)
        return Status::Fail(Words(N_("%1: the analysis did not read the PAT and the PMT; nothing to prepare"), {state.Path}));
    if (lists.ProgramNumbers.size() > 1)
        return Status::Fail(Words(N_("%1: the stream carries %2 programs; only a single-program stream can be prepared "
                                     "(use demux first)"),
                                  {state.Path, std::to_string(lists.ProgramNumbers.size())}));
    PrepareSource s;
    std::copy_n(analysis->PmtSlots[0].Data.begin(), kPacketSize, s.FirstPmtPacket.begin());
    s.KnownPids = lists.KnownPids;
    s.PmtPids = lists.PmtPids;
    s.IsH264Stream = state.IsH264Stream;
    s.Packet192Mode = state.Packet192Mode;
    s.SyncOffset = state.SyncOffset;
    s.GaugeMax = state.PrepareGaugeMax;
    s.Size = static_cast<std::uint64_t>(state.Layout.StartOffset) + state.Layout.RemainingBytes;
    s.DeclaredPcrPid = static_cast<std::uint16_t>(state.CurrentRemap.SourcePcrPid);
    for (const ProgramEntry& program : lists.ParsedPrograms)
        if (program.ProgramNumber == state.CurrentRemap.SourceProgramNumber) s.DeclaredPcrPid = program.PcrPid;
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

Status CheckPrepareJob(const PrepareJob& job) {
    const ProgramRemap& r = job.Remap;
    if (job.OutputPath.empty()) return Status::Fail(Words(N_("%1: no output file named"), {job.SourcePath}));
    if (job.OutputPath == job.SourcePath || SameFile(job.OutputPath, job.SourcePath))
        return Status::Fail(Words(N_("%1: the output would overwrite the source"), {job.OutputPath}));
    if (Status st = CheckOutputPath(job.OutputPath); !st) return st;
    if (Status st = CheckPrepareTargets(r); !st) return Status::Fail(Words(N_("%1: %2"), {job.SourcePath, st.words()}));
    Packet pmt = job.Source.FirstPmtPacket;
    if (!BuildPmt(r, pmt))
        return Status::Fail(
            Words(N_("%1: the source's PMT does not fit in one packet; it cannot be rewritten"), {job.SourcePath}));
    Packet sdt;
    if (!BuildSdt(r, r.TargetProvider, r.TargetName, sdt))
        return Status::Fail(Words(N_("%1: provider and program name take %2 bytes; at most %3 fit in the SDT"),
                                  {job.SourcePath, std::to_string(r.TargetProvider.size() + r.TargetName.size()),
                                   std::to_string(kMaxSdtNameBytes)}));
    return Status::Ok();
}

std::string PcrPidDecision(const PrepareJob& job) {
    const ProgramRemap& r = job.Remap;
    if (job.Source.DeclaredPcrPid == r.SourcePcrPid) return std::string();
    return "the source's PMT names PCR PID " + HexText(job.Source.DeclaredPcrPid, 4) + "; its PCRs ride on " +
           PcrCarrierText(r, FindPcrCarrier(r)) + " (" + HexText(r.SourcePcrPid, 4) + "): the output's PMT names " +
           HexText(r.TargetPcrPid, 4);
}

void ReleasePreparedLists(StreamState& state) {
    state.Lists.ProgramNumbers.clear();
    state.Lists.PmtPids.clear();
    state.Lists.PcrPids.clear();
    state.Lists.KnownPids.clear();
    state.Lists.ParsedPrograms.clear();
}

}  // namespace tscard
