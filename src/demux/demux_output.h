#pragma once
// One output of a demultiplex run: a selected program, the file it goes to
// and the three packets the run writes in place of the input's PAT, SDT
// and PMT packets.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/status.h"
#include "ts/model.h"

namespace tscard {

struct DemuxOutput {
    tscard::File File;  // opened by the run
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

// Opens every output's file for writing and empties it. Files are emptied
// only once all of them could be opened, so a run that cannot create one of
// its files leaves the others as they were (and removes those it created).
Status OpenDemuxOutputs(std::vector<DemuxOutput>& outputs);

}  // namespace tscard
