#include "demux/parsed_programs.h"

#include <algorithm>

#include "platform/hex_text.h"
#include "psi/psi_builder.h"
#include "psi/psi_state.h"

namespace tscard {

Packet StoredSdtFor(const ProgramRemap& program) {
    std::string provider = program.TargetProvider;
    std::string name = program.TargetName;
    if (name.size() > kMaxSdtNameBytes) name.resize(kMaxSdtNameBytes);
    if (provider.size() + name.size() > kMaxSdtNameBytes) provider.resize(kMaxSdtNameBytes - name.size());
    Packet sdt{};
    if (!BuildSdt(program, provider, name, sdt)) return Packet{};  // the names were cut to fit: never
    return sdt;
}

std::string SelectionLine(const ProgramRemap& program) {
    return program.SourceName + "[0x" + HexDigits(program.SourceProgramNumber, 4) + "]";
}

std::vector<std::string> SelectParsedPrograms(StreamState& state) {
    std::vector<std::string> lines;
    if (!state.Analysis) return lines;
    const StreamAnalysis& analysis = *state.Analysis;
    for (std::size_t slot = 0; slot < analysis.PatPrograms.size() && slot < kMaxPrograms; ++slot) {
        const ProgramEntry& entry = analysis.PatPrograms[slot];
        if (!entry.PmtRead || entry.ProgramNumber == 0) continue;
        Packet pmt;
        std::copy_n(analysis.PmtSlots[slot].Data.begin(), kPacketSize, pmt.begin());
        for (ProgramRemap& program : state.Lists.ProgramList) {
            if (program.SourceProgramNumber != entry.ProgramNumber) continue;
            program.StoredPmt = pmt;
            program.StoredPat = BuildPat(program);
            program.StoredSdt = StoredSdtFor(program);
            program.Selected = true;
            lines.push_back(SelectionLine(program));
        }
    }
    return lines;
}

}  // namespace tscard
