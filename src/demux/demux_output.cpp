#include "demux/demux_output.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_identity.h"

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

Status OpenDemuxOutputs(std::vector<DemuxOutput>& outputs) {
    std::vector<bool> created(outputs.size(), false);
    auto undo = [&] {
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            if (!outputs[i].File.IsOpen()) continue;
            outputs[i].File.CloseQuietly();
            if (created[i]) static_cast<void>(RemoveFile(outputs[i].Path));
        }
    };
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        bool made = false;
        if (Status st = OpenOrCreateKeeping(outputs[i].Path, outputs[i].File, made); !st) {
            undo();
            return st;
        }
        created[i] = made;
    }
    for (DemuxOutput& out : outputs) {
        // A link to a device may stand in for an output.
        if (Status st = EmptyRegularFile(out.File); !st) {
            undo();
            return st;
        }
    }
    return Status::Ok();
}

}  // namespace tscard
