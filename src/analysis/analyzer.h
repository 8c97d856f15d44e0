#pragma once
// The analyzer: finds the packet size and the first packet of a stream
// file, computes its layout figures, reads its PAT, PMTs and SDT in 64 KiB
// windows (platform/source_reader.h), and builds the stream description
// (content tree, ProgramList, CurrentRemap, the result lists) into a
// StreamState that the prepare worker, the demultiplexer and the card
// writer read afterwards.
//
// Running an analysis synchronously (the command line):
//
//     StreamState state;
//     StopFlag stop;                       // raised by SIGINT/SIGTERM, say
//     NullEventSink events;                // or an EventHub
//     Analyzer analyzer;
//     AnalysisRequest request{AnalysisMode::ModePrepare, "clip.ts"};
//     AnalysisResult result = analyzer.Run(request, state, events, stop);
//     if (result.Ending != AnalysisEnding::Complete) ... result.Message ...
//
// Running it on a worker thread (the window):
//
//     Status started = analyzer.Start(request, state, hub, stop);
//     // refused (not ok) while another analysis runs; otherwise the worker
//     // signals ChangeProgressPosG1 after each 64 KiB window that did not
//     // complete the description (ProgressPosition/ProgressMaximum say
//     // where it stands), and evRefreshGauge exactly once when it has
//     // ended, whatever the ending. The evRefreshGauge handler (or anyone,
//     // at any time) then collects the result. Clear the hub's
//     // LastGaugeGroup (EventHandOver::ResetGaugeGroup) before Start, so
//     // that a run ending in its first window takes no other run's branch.
//     AnalysisResult result = analyzer.Finish();   // joins the worker
//
// While a run is in progress `state` belongs to the worker: nobody else may
// touch it until Run returns or Finish has been called. A second Run or
// Start on the same Analyzer while one is in progress is refused (ending
// Refused, state untouched). The stop flag is polled per candidate, window
// and packet; the run that sees it set clears it.
//
// What a run leaves in `state`:
//   - always: Path, Packet192Mode, SyncOffset, Layout (StartOffset and the
//     figures) once the sync search succeeded; AnalysisScanning 0.
//   - Complete: Analysis (the PSI state: PmtSlots[i].Data holds program i's
//     first PMT packet), Lists (ProgramNumbers, PmtPids, ParsedPrograms,
//     PcrPids, KnownPids, ProgramList), CurrentRemap, IsH264Stream, and by
//     mode: ModeCardWrite keeps CardSource (the file, open, with the size it
//     was analysed with) for the card writer; ModePrepare sets PrepareGaugeMax and closes the file;
//     ModeParse keeps DemuxInput open for the demultiplexer (which closes
//     it); SelectParsedPrograms (demux/parsed_programs.h) then chooses the
//     programs to split.
//   - any other ending: no open file, no description (Analysis
//     null, lists and CurrentRemap empty).

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "events/event_sink.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"
#include "ts/model.h"

namespace tscard {

enum class AnalysisMode : std::uint8_t {
    ModeCardWrite = 0,  // write to the card
    ModePrepare = 1,    // prepare one program
    ModeParse = 2,      // split a multi-program stream
};

// What an analysis is for and which file it reads.
struct AnalysisRequest {
    AnalysisMode Mode = AnalysisMode::ModePrepare;
    std::string Path;  // full path of the stream file
};

// How a run ended; each ending signals evRefreshGauge once.
enum class AnalysisEnding {
    Complete,       // the description was built
    NoDescription,  // the file ended before the PAT and all its PMTs were read
    SyncFailed,     // no 188- or 192-byte packet pattern ("Unknow stream format")
    Stopped,        // the stop request ended the run
    Failed,         // the file could not be opened, sized or read, or it shrank while it was read
    Refused,        // another analysis was in progress; nothing was touched
};

// One line of the content tree. Texts are 8-bit bytes (file names as the
// file system has them); program nodes carry their index in ProgramList.
struct ContentNode {
    std::string Text;
    std::optional<std::uint8_t> Data;
    std::vector<ContentNode> Children;
};

struct [[nodiscard]] AnalysisResult {
    AnalysisEnding Ending = AnalysisEnding::Failed;
    // For every ending but Complete: what happened, naming the file. For
    // SyncFailed: "<path>: Unknow stream format (<what the file held>)".
    Words Message;
    // Complete only: root (the file name) > programs > PCR and stream lines.
    ContentNode Tree;
    // ModeParse: the PAT announced exactly one program; the operator is
    // told kOnlyOneProgramMessage and no split is offered.
    bool OnlyOneProgram = false;
};

constexpr const char* kOnlyOneProgramMessage =
    N_("In selected stream is only one programm.There is no need paresed it");
constexpr const char* kContentErrorCaption = N_("Content  error");

// Once the PMTs are complete the scan goes on for the SDT until it is read,
// or a PCR lies this many ticks (2 s) after the first PCR seen on its PID
// since completion, or this many bytes have been scanned since then. It
// then goes on, reading no more PSI, until it knows each program's PCR PID
// (at most 4 MiB more): the PID its PMT names when that PID carries a PCR;
// otherwise (a PMT that names 0x1FFF, or a PID that carries none) the first
// of the program's elementary streams to carry a PCR from where the stream
// starts, which the description then gives as the program's PCR PID.
constexpr std::uint64_t kSdtWaitTicks = 54000000;
constexpr std::uint64_t kSdtWaitBytes = 1048576;

class Analyzer {
public:
    Analyzer() = default;
    ~Analyzer();  // waits for a worker still running
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    // Runs an analysis on the calling thread.
    AnalysisResult Run(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop);

    // Starts an analysis on a worker thread. Not ok (and nothing started)
    // while another is in progress or its result has not been collected.
    Status Start(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop);
    // Waits for the worker started by Start and returns its result (ending
    // Refused when no worker was started).
    AnalysisResult Finish();

    // True from the start of a run until its result is ready (any thread).
    bool Busy() const { return run_.Busy(); }
    // True while the file is being scanned (any thread).
    bool Scanning() const { return scanning_.load(std::memory_order_acquire); }
    // Number of full 64 KiB windows of the current run's file, known once
    // the sync search succeeded: the maximum of a progress bar that takes
    // one step per ChangeProgressPosG1 (any thread).
    std::uint64_t ProgressMaximum() const { return progress_maximum_.load(std::memory_order_acquire); }
    // Full windows scanned so far in the current run: where a progress bar
    // stands, whatever number of progress events reached it (any thread).
    std::uint64_t ProgressPosition() const { return progress_position_.load(std::memory_order_acquire); }

private:
    AnalysisResult RunClaimed(const AnalysisRequest& request, StreamState& state, EventSink& events,
                              StopFlag& stop);

    std::atomic<bool> scanning_{false};
    std::atomic<std::uint64_t> progress_maximum_{0};
    std::atomic<std::uint64_t> progress_position_{0};
    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<AnalysisResult> run_;
};

// "Programm number -0x0001,content:" and the other tree texts.
std::string ProgramNodeText(std::uint16_t program_number);
std::string PcrNodeText(std::uint16_t pcr_pid);
std::string StreamNodeText(const EsEntry& stream);

}  // namespace tscard
