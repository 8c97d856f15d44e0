#pragma once
// One output of a demultiplex run: a selected program, the file it goes to
// and the three packets the run writes in place of the input's PAT, SDT
// and PMT packets.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/output_file.h"
#include "platform/status.h"
#include "ts/model.h"

namespace tscard {

struct DemuxOutput {
    std::unique_ptr<OutputFile> Output;  // opened by the run
    std::string Path;
    std::uint16_t ProgramNumber = 0;
    std::uint16_t PcrPid = 0;
    std::uint16_t PmtPid = 0;
    std::vector<std::uint16_t> EsPids;
    Packet PatPacket{};
    Packet SdtPacket{};  // continuity counter rewritten before each use
    Packet PmtPacket{};
    bool PcrInEs = false;  // PcrPid is one of EsPids
};

// folder + "/prg_0x" + four upper-case hexadecimal digits + ".ts".
std::string DemuxOutputFileName(const std::string& folder, std::uint16_t program_number);

// The outputs of the selected programs of the list, in list order (files
// not opened yet). PIDs and program numbers are the low 16 bits of the
// record's fields.
std::vector<DemuxOutput> SelectedDemuxOutputs(const std::vector<ProgramRemap>& programs, const std::string& folder);

}  // namespace tscard

namespace tscard {

// Opens every output by the output rules (platform/output_file.h): each
// file is written under a temporary name and replaces its namesake only
// when the run keeps it, so a run that cannot open one of its files, or
// fails later, leaves every file of those names as it was.
Status OpenDemuxOutputs(std::vector<DemuxOutput>& outputs, const StopFlag& stop);
// Keeps what was written (every file, in order; the first failure is
// reported) or takes it back.
Status CommitDemuxOutputs(std::vector<DemuxOutput>& outputs);
void DiscardDemuxOutputs(std::vector<DemuxOutput>& outputs);

}  // namespace tscard
