#pragma once
// Everything the last analysis leaves for the runs that follow it (prepare,
// demultiplex, card write). One instance is owned by the window, or by a
// command line command, and passed explicitly; a new analysis replaces its
// content wholesale.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "platform/source_reader.h"
#include "psi/psi_state.h"
#include "ts/model.h"

namespace tscard {

struct StreamState {
    std::unique_ptr<StreamAnalysis> Analysis;  // PSI state, with the stored PMT packets
    ResultLists Lists;
    ProgramRemap CurrentRemap;  // the program the prepare panel edits
    bool IsH264Stream = false;      // a stream of type 0x1B was found
    bool Packet192Mode = false;     // 192-byte units, not 188-byte packets
    bool AnalysisScanning = false;  // the analyzer is scanning the file
    StreamLayout Layout;
    // Offset of the first packet the sync search confirmed, before null
    // packets are skipped (for 192-byte units, the offset of its prefix).
    std::int64_t SyncOffset = 0;
    std::string Path;  // the analysed file

    // Hand-over of a completed analysis, by mode. Card writing: the file,
    // open, with the size it was analysed with. Preparing: the progress
    // maximum of the run. Parsing: the stream file, open for the
    // demultiplexer, which closes it.
    SourceFile CardSource;
    std::uint64_t PrepareGaugeMax = 0;
    File DemuxInput;
};

}  // namespace tscard
