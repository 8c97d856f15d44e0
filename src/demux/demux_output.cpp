#include "demux/demux_output.h"

#include <algorithm>
#include <cstdio>


namespace tscard {

std::string DemuxOutputFileName(const std::string& folder, std::uint16_t program_number) {
    char name[32];
    std::snprintf(name, sizeof name, "prg_0x%04X.ts", program_number);
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::vector<DemuxOutput> SelectedDemuxOutputs(const std::vector<ProgramRemap>& programs, const std::string& folder) {
    std::vector<DemuxOutput> outputs;
    for (const ProgramRemap& program : programs) {
        if (!program.Selected) continue;
        DemuxOutput out;
        out.ProgramNumber = static_cast<std::uint16_t>(program.SourceProgramNumber);
        out.PcrPid = static_cast<std::uint16_t>(program.SourcePcrPid);
        out.PmtPid = static_cast<std::uint16_t>(program.SourcePmtPid);
        out.EsPids = program.AllEsPids;
        out.PcrInEs = std::find(out.EsPids.begin(), out.EsPids.end(), out.PcrPid) != out.EsPids.end();
        out.PatPacket = program.StoredPat;
        out.SdtPacket = program.StoredSdt;
        out.PmtPacket = program.StoredPmt;
        out.Path = DemuxOutputFileName(folder, out.ProgramNumber);
        outputs.push_back(std::move(out));
    }
    return outputs;
}

}  // namespace tscard

namespace tscard {

Status OpenDemuxOutputs(std::vector<DemuxOutput>& outputs, const StopFlag& stop) {
    for (DemuxOutput& out : outputs) {
        out.Output = std::make_unique<OutputFile>();
        if (Status st = out.Output->Open(out.Path, {}, &stop); !st) {
            DiscardDemuxOutputs(outputs);
            return st;
        }
    }
    return Status::Ok();
}

Status CommitDemuxOutputs(std::vector<DemuxOutput>& outputs) {
    Status first;
    for (DemuxOutput& out : outputs) {
        if (!out.Output) continue;
        Status st = out.Output->Commit();
        if (first && !st) first = st;
    }
    return first;
}

void DiscardDemuxOutputs(std::vector<DemuxOutput>& outputs) {
    for (DemuxOutput& out : outputs)
        if (out.Output) out.Output->Discard();
}

}  // namespace tscard
