#pragma once
// Joining the files of a splice list into its output, one file at a time:
// a copy worker per file, chained through three events.
//
//   Start              -> evStickOpenFile
//   evStickOpenFile    -> OnOpenFile: the next file's copy worker starts
//                         (or, after the last file, the splice finishes)
//   copy worker        -> evStickRefreshGauge per block, evStickCloseFile
//                         at the end of its file or on the stop request
//   evStickCloseFile   -> OnCloseFile: the input is closed, a separator
//                         packet written, evStickOpenFile again
//   evStickRefreshGauge-> Progress(): blocks copied, output size
//
// The front end calls the On... functions from its event handlers, one at
// a time (as the event hub runs them). While a file is copied it may read
// the rows (Path, SizeText of Progress().CurrentIndex) but not change
// them. The result is the inputs' bytes with a separator packet between
// two of them (written in front of every file but the first); content an
// output held before (appending) is never touched. Copies go in blocks of
// 16 x 64 KiB, each block written exactly as read; a file's size is taken
// when its copy starts.
//
// The output (platform/output_file.h) is opened by the first copy worker
// and kept when the splice ends: renamed over the old file, or appended. A
// read or write that fails, or a file that shrank while it was copied,
// ends the splice (Failed, naming the file) and takes back what can be: an
// existing output stays as it was (an appended one is cut back to its old
// length). The stop request ends it after the current block, at the end of
// the packet in hand, the output keeping what was copied (and staying as
// it was when nothing was).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "events/event_sink.h"
#include "platform/range_copy.h"
#include "platform/status.h"
#include "platform/stop_flag.h"
#include "splice/splice_job.h"

namespace tscard {

// Blocks copied per progress step (1 MiB).
constexpr std::uint64_t kSpliceBlocksPerStep = 16;

enum class SpliceEnding {
    Complete,  // every file was joined
    Stopped,   // the stop request ended the splice
    Failed,    // a read or write failed; Message names the file
    Refused,   // nothing was started; Message says why
};

struct [[nodiscard]] SpliceResult {
    SpliceEnding Ending = SpliceEnding::Complete;
    Words Message;
    std::int32_t FilesCopied = 0;  // copied whole
    std::uint64_t OutputSize = 0;  // the output's size at the end, when it was kept
};

struct SpliceProgress {
    std::uint64_t Blocks = 0;   // 64 KiB blocks copied (a file's tail counts as one)
    std::uint64_t Maximum = 0;  // 1 + the whole blocks of every file, at the start
    std::int32_t CurrentIndex = -1;  // the row being copied, -1 before the first
    std::uint64_t OutputBytes = 0;   // the output's size now
};

class SpliceChain {
public:
    // The stop flag is the splice's own: the front end raises it, a new set
    // up clears it.
    SpliceChain(StickJob& job, EventSink& events, StopFlag& stop);
    // Waits for a copy worker still running (raise the stop flag first to
    // cut it short); a splice left unfinished releases the list.
    ~SpliceChain();
    SpliceChain(const SpliceChain&) = delete;
    SpliceChain& operator=(const SpliceChain&) = delete;

    // Sizes and probes the files, signals evStickOpenFile. Refused (nothing
    // signalled, nothing written) while a splice runs, without a set-up
    // output, when the output is one of the inputs, or when a file holds no
    // packets or packets of another size than the first file's.
    Status Start();
    // evStickOpenFile. Returns true when the splice has finished (Result).
    bool OnOpenFile();
    // evStickCloseFile.
    void OnCloseFile();
    // evStickRefreshGauge, or any time.
    SpliceProgress Progress() const;

    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    const SpliceResult& Result() const { return result_; }

private:
    void OpenFile(std::int32_t row);
    bool OpenOutput();
    void Finish();
    void CopyRow(std::int32_t row);
    void JoinWorker();

    StickJob& job_;
    EventSink& events_;
    StopFlag& stop_;
    std::thread worker_;
    RangeCopier copier_;
    // Read by the front end during a copy.
    std::atomic<std::int32_t> StickNext{0};  // the next row to open
    std::atomic<std::uint64_t> StickBlocks{0};  // blocks copied so far
    std::atomic<std::uint64_t> maximum_{0};
    std::atomic<std::int32_t> current_{-1};
    std::atomic<std::uint64_t> output_bytes_{0};
    std::atomic<bool> finished_{false};
    // Handed from the worker to OnCloseFile (joined before it is read).
    std::uint64_t write_offset_ = 0;
    bool copy_stopped_ = false;
    bool copy_complete_ = false;
    Status copy_status_;
    SpliceResult result_;
};

}  // namespace tscard
