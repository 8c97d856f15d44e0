#pragma once
// The prepare worker: turns an analysed single-program stream into the file
// the card player plays. It reads the source from its first packet, repairs
// continuity counters, replaces PAT, PMT and SDT by generated ones, groups
// the packets into PCR intervals, pads each interval with null packets so
// that it fills its PCR span at the fixed multiplex rate (TicksPerPacket),
// restamps every PCR from its output position, rewrites PIDs to their
// targets, and for MPEG-2 video repairs the tail of the output.
//
// Running it on the calling thread (the command line):
//
//     PrepareJob job;
//     MakePrepareJob(state, "clip_pre.ts", job);   // after a prepare analysis
//     job.Remap.TargetPmtPid = 0x400;              // ... the operator's targets
//     PrepareWorker worker;
//     PrepareResult result = worker.Run(job, events, stop);
//
// Or on a worker thread (the window): Start(...), then Finish() from the
// evRefreshGauge handler. The worker signals ChangeProgressPosG3 while the
// accepted input stands on a multiple of 65,424 bytes (ProgressPosition and
// ProgressMaximum say where it stands) and evRefreshGauge once at its end,
// whatever the ending. Every run starts from the same state (continuity
// counters included), so the same job gives the same bytes whatever ran
// before it.
//
// The output follows the rules of platform/output_file.h: a file is
// written under a temporary name beside OutputPath and renamed over it when
// the run keeps it (Completed, and PcrStepError or Stopped once something
// was written); a failed or refused run, or one that wrote nothing, leaves
// OutputPath as it was. A device or FIFO is written in place, without the
// tail repair (it cannot be read back or cut). A run that reaches the end
// of the source without a PCR interval fails: nothing to prepare.

#include <atomic>
#include <cstdint>
#include <string>

#include "events/event_sink.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"
#include "prepare/end_pass.h"
#include "prepare/prepare_job.h"

namespace tscard {

// A lag of the output clock above this many ms is worth a warning.
constexpr double kLagWarningMs = 100.0;

// The operator's message when a PCR interval is too long (followed by the
// step as PcrStepText), and its caption.
constexpr const char* kPcrStepErrorText = "Invalid value PCR; delta PCR(sek)-> ";
constexpr const char* kPcrStepErrorCaption = "Critical error source clip";

// An interval is held in memory until its closing PCR arrives. A PCR step
// of at most 0.75 s holds this many packets only above about 130 Mbit/s,
// far beyond any stream the multiplex rate can carry; a longer interval is
// counted, not held.
constexpr std::size_t kMaxHeldIntervalPackets = 1 << 16;

// What a run reports per closed PCR interval, for the front end to show.
// Called on the worker's thread, in interval order.
class PrepareObserver {
public:
    virtual ~PrepareObserver() = default;
    // The PCR step of the interval in seconds (text: PcrStepText).
    virtual void OnPcrStep(double seconds) { (void)seconds; }
    // The output bit rate of the interval in Mbit/s (text: BitrateText);
    // reported once 0.25 PaceUnit of stream time has passed.
    virtual void OnBitrate(double mbit_per_second) { (void)mbit_per_second; }
    // The step that ends the run, before the tail is repaired: the front
    // end may show kPcrStepErrorText at once (the result carries it too).
    virtual void OnPcrStepError(const std::string& text) { (void)text; }
};

enum class PrepareEnding {
    Completed,     // the input ended; the tail was repaired
    PcrStepError,  // a PCR step above 0.75 s ended the input; the tail was repaired
    Stopped,       // the stop request ended the run; what was written stays, tail not repaired
    Failed,        // the source or the output failed; no output left behind
    Refused,       // the job cannot be prepared, or another run is in progress
};

struct [[nodiscard]] PrepareResult {
    PrepareEnding Ending = PrepareEnding::Failed;
    // Failed, Refused: what went wrong, naming the file. PcrStepError:
    // kPcrStepErrorText followed by the step.
    Words Message;
    double PcrStepSeconds = 0.0;  // PcrStepError: the step that ended the run
    bool OutputKept = false;      // OutputPath holds what the run wrote
    bool WrittenInPlace = false;  // a device or FIFO took the output: no tail repair
    std::uint64_t InputPackets = 0;  // accepted (null and separator packets are not)
    std::uint64_t OutputBytes = 0;   // the output's final size
    std::uint64_t NullPackets = 0;   // inserted
    std::uint64_t NullPacketsCut = 0;  // of those, cut away with the tail
    std::uint64_t Intervals = 0;     // PCR intervals written
    std::uint64_t Separators = 0;
    // The source against the multiplex rate: the PCR intervals whose
    // packets outnumber the slots their PCR step holds, where the first
    // began (source PCR time since the run's first PCR), and the largest
    // lag of the output clock behind the source's. Frames then reach the
    // decoder that much later than the source meant.
    std::uint64_t OverfullIntervals = 0;
    double FirstOverfullSeconds = 0.0;
    double LargestLagMs = 0.0;
    EndPassResult EndPass;
};

class PrepareWorker {
public:
    PrepareWorker() = default;
    ~PrepareWorker();  // waits for a worker still running
    PrepareWorker(const PrepareWorker&) = delete;
    PrepareWorker& operator=(const PrepareWorker&) = delete;

    // Runs on the calling thread. The stop flag is polled before every
    // packet; the run that sees it set clears it.
    PrepareResult Run(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer = nullptr);

    // Runs on a worker thread with its own copy of the job. Not ok while
    // another run is in progress or its result has not been collected.
    Status Start(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer = nullptr);
    // Waits for the worker and returns its result.
    PrepareResult Finish();

    bool Busy() const { return run_.Busy(); }
    // Steps of 65,424 accepted input bytes so far, and the progress
    // maximum of the run (any thread).
    std::uint64_t ProgressPosition() const { return progress_position_.load(std::memory_order_acquire); }
    std::uint64_t ProgressMaximum() const { return progress_maximum_.load(std::memory_order_acquire); }

private:
    PrepareResult RunClaimed(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer);

    std::atomic<std::uint64_t> progress_position_{0};
    std::atomic<std::uint64_t> progress_maximum_{0};
    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<PrepareResult> run_;
};

}  // namespace tscard
