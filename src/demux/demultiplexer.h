#pragma once
// The demultiplexer: splits a multi-program stream, analysed in parse mode,
// into one single-program file per selected program. Each file begins with
// the program's own PAT and PMT; every input PAT and SDT becomes the
// program's PAT and (counter-stamped) SDT, every PMT of the program its
// stored PMT; the program's PCR and elementary-stream packets are copied.
// Any other input packet becomes a null packet in the file, so each file
// keeps the input's packet timing, unless "Remove staffings" is on: then
// those packets (and the input's null packets) are dropped.
//
//     StreamState state;   // after Analyzer::Run in ModeParse (DemuxInput
//                          // open, SyncOffset, Packet192Mode) and
//     SelectParsedPrograms(state);  // ProgramList: Selected, stored packets
//     DemuxSettings settings;
//     settings.OutputFolder = "/media/out";
//     settings.RemoveStuffing = false;     // may change during the run
//     Demultiplexer demux;
//     DemuxResult r = demux.Run(state, settings, events, stop);
//
// or Start(...) on a worker thread and Finish() from the evRefreshGauge
// handler. The input is read from the first synchronised packet in its
// packet size (the 4-byte prefixes of 192-byte units are dropped); a
// trailing partial packet is not written. Output writes are gathered into
// large ones; the files hold exactly the bytes of one write per packet.
//
// Refused before anything is touched (ending Refused, no event): another
// run in progress, no analysed stream (empty ProgramList or no open
// input), a stream of one program, no output folder, two selected
// programs with the same program number (they would share a file), an
// output name that is the input itself, more than kMaxDemuxOutputs
// selected programs.
//
// Every other ending signals evRefreshGauge once, after every file has been
// closed, and uses the description up: the input is closed and ProgramList
// emptied. Complete also empties the other result lists and clears the stop
// flag; Stopped leaves the flag set and each file with what was written to
// it; Failed (an output that cannot be created or written, a read error)
// names the file and what went wrong, and leaves every file of the outputs'
// names as it was before the run (platform/output_file.h: each file is
// written under a temporary name and renamed over its namesake at the
// end). ChangeProgressPosG4 is signalled before every 348th packet read,
// the first time before the first. The caller clears the stop flag before
// it starts a run: one raised after that, even before the first packet,
// stops it.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "events/event_sink.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

struct DemuxSettings {
    std::string OutputFolder;
    // "Remove staffings": read afresh for every packet, so the front end may
    // change it while a run is going.
    std::atomic<bool> RemoveStuffing{false};
};

enum class DemuxEnding {
    Complete,  // the input was read to its end
    Stopped,   // the stop request ended the run
    Failed,    // an output could not be created or written, or a read failed
    Refused,   // nothing was started (see above)
};

struct [[nodiscard]] DemuxResult {
    DemuxEnding Ending = DemuxEnding::Refused;
    Words Message;                      // for every ending but Complete
    std::vector<std::string> OutputFiles;     // program-list order
    std::vector<std::uint64_t> PacketsWritten;  // per output file
    std::uint64_t PacketsRead = 0;            // whole input packets
};

// The operator's prompt when no output folder was chosen.
constexpr const char* kSelectDemuxFolderMessage = N_("Select folder where streams will be saved");

// A progress step every this many input packets (65,424 bytes of 188-byte
// packets).
constexpr std::uint64_t kDemuxProgressPackets = 348;

class Demultiplexer {
public:
    Demultiplexer() = default;
    ~Demultiplexer();  // waits for a worker still running
    Demultiplexer(const Demultiplexer&) = delete;
    Demultiplexer& operator=(const Demultiplexer&) = delete;

    // Runs on the calling thread.
    DemuxResult Run(StreamState& state, const DemuxSettings& settings, EventSink& events, StopFlag& stop);
    // Checks the refusals, then runs on a worker thread; `state` and
    // `settings` belong to the worker until Finish. Not ok when refused.
    Status Start(StreamState& state, const DemuxSettings& settings, EventSink& events, StopFlag& stop);
    // Waits for the worker and returns its result (Refused when none).
    DemuxResult Finish();

    bool Busy() const { return run_.Busy(); }
    // Progress steps the current run takes in all, and has taken so far.
    std::uint64_t ProgressMaximum() const { return progress_maximum_.load(std::memory_order_acquire); }
    std::uint64_t ProgressPosition() const { return progress_position_.load(std::memory_order_acquire); }

private:
    DemuxResult RunClaimed(StreamState& state, const DemuxSettings& settings, EventSink& events, StopFlag& stop);

    std::atomic<std::uint64_t> progress_maximum_{0};
    std::atomic<std::uint64_t> progress_position_{0};
    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<DemuxResult> run_;
};

// The refusals, checked on the caller's thread; ok when a run may start.
Status CheckDemuxRun(const StreamState& state, const DemuxSettings& settings);

}  // namespace tscard
