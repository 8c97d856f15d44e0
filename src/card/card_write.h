#pragma once
// Writing one analysed stream to a card: the card header is rebuilt as an
// empty version-0.1 header carrying the bit rate, the stream is packed into
// blocks from unit 0 on, and one directory entry describes it at the end.
//
// The worker (CardWriteWorker) asks the front end to rebuild the header
// (ReinitCardHeader, through CardWriteJob::RebuildHeader) and waits for
// it, packs and writes the blocks, and signals ChangeProgressPosG1 once per
// 64 KiB window. At the end of every write that reached the card, completed
// or stopped, it puts the entry into the directory and stores the directory
// on the card itself, so no front end can leave blocks without an entry;
// then it signals, for the front end to show the result:
//
//   - completed: CompleteWriteFile, evRefreshGauge;
//   - stopped (the stop flag, or a block that could not be written):
//     evBreakWrite, CompleteWriteFile, evRefreshGauge;
//   - either, when the directory could not be stored: CompleteErrWriteFile
//     in place of CompleteWriteFile (the card keeps the rebuilt header and
//     the blocks, with an empty directory; WriteFinished is cleared).
//
// The command line, synchronously:
//
//     CardWriteJob job;                 // the source the card-mode analysis left, ...
//     CardWriteState write;
//     CardWriteResult r = writer.Run(job, device, write, events, stop);
//
// A stop is seen once per window and ends the write with an entry for the
// blocks on the card; blocks still held in memory are dropped. A source
// that cannot be read to its end (a read error, or it shrank while it was
// read) ends the write the same way.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "card/card_device.h"
#include "card/card_stream_size.h"
#include "card/card_write_packer.h"
#include "events/event_sink.h"
#include "platform/source_reader.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

// The bit rate written when the stream gives none ("Hardware building").
constexpr const char* kDefaultCardBitrateText = "120000";

// The header's bit rate, in kbit/s: the player sends the stream at this
// rate over its DVB-ASI link, which carries at most about 213 Mbit/s of
// transport stream (270 Mbit/s on the line); 0 would be no rate at all.
constexpr std::uint32_t kMinCardBitrate = 1;
constexpr std::uint32_t kMaxCardBitrate = 213000;
// "a whole number of kbit/s from 1 to 213000": what every refusal says.
Words CardBitrateRangeText();
// "<stream>: the stream holds no packet to store (only null packets);
// nothing was written": a stream of null packets only is refused.
Words NothingToStore(const std::string& stream);

// The header's bit rate from its text: a decimal whole number in the range
// above, digits only; anything else is refused.
[[nodiscard]] std::optional<std::uint32_t> ParseCardBitrate(std::string_view text);

// Rebuilds the card's header region for a write: empty, version 0.1, the
// bit rate; the in-memory directory becomes 240 zero records. Never fills
// the card first.
Status ReinitCardHeader(CardDevice& device, std::uint32_t bitrate);

// True when a stream that takes card_bytes on the card (whole blocks, as
// MeasureCardStream gives them) is larger than the card's whole data area:
// it would not fit. A write first empties the card, so the space of the
// stream it replaces counts as free.
bool StreamExceedsDataArea(std::int64_t card_bytes, std::int64_t data_units);

struct CardWriteJob {
    // The source file, open, with the size it was analysed with (the
    // card-mode analysis leaves it); the worker closes it when it ends.
    SourceFile Source;
    // The first packet of the stream (the analysis's StartOffset): packing
    // runs from here to the end of the file.
    std::uint64_t StartOffset = 0;
    bool Packet192Mode = false;
    // The entry's name: the source file name without its folder, as 8-bit
    // text in the card's code page; cut to 119 bytes.
    std::string FileName;
    std::uint32_t Bitrate = 0;  // kbit/s, written into the header
    // Runs ReinitCardHeader on the front end's thread and returns when it
    // has run; the worker waits meanwhile. Without it the worker rebuilds
    // the header itself.
    std::function<Status()> RebuildHeader;
    // What the stream takes on the card (MeasureCardStream of Source from
    // StartOffset), when the front end has measured it already; otherwise
    // the worker measures it first. Either way a stream with nothing to
    // store is refused before the card changes.
    std::optional<CardStreamSize> Size;
};

// One write's record, shared by the worker and the front end's handlers:
// the worker fills it before it signals, the handlers read it afterwards.
struct CardWriteState {
    std::uint64_t StartUnit = 0;
    std::int32_t EntryIndex = 0;
    std::uint64_t BlocksWritten = 0;  // blocks that reached the card
    bool CardWriteBusy = false;    // from the start until the directory store
    bool WriteFinished = false;    // the write ended; cleared when the store failed
    bool DirectoryStored = false;  // the directory with the entry is on the card
    Status DirectoryStatus;        // the directory store's outcome
};

enum class CardWriteEnding {
    Complete,  // the whole stream is on the card (or there was nothing to store)
    Stopped,   // the stop flag or a failed block write; the blocks on the card get an entry
    Failed,    // the header could not be rebuilt; no block was written
    Refused,   // nothing was touched (another write runs, no card, bad source)
};

// Why a write stopped: the stop flag, a failed block write, the card's
// end, the card gone (pulled, its image deleted or cut short), which the
// worker looks for before every batch of blocks, or a source that could
// not be read to its end (it shrank while it was read).
enum class CardWriteStop { None, Operator, WriteFailed, CardFull, CardRemoved, SourceFailed };

struct [[nodiscard]] CardWriteResult {
    CardWriteEnding Ending = CardWriteEnding::Failed;
    CardWriteStop StopReason = CardWriteStop::None;
    // Failed, Refused, and a stop by a failed write or source: what went
    // wrong, naming the card or the file.
    Words Message;
    std::uint64_t PacketsStored = 0;
    std::uint64_t BlocksWritten = 0;
    std::uint64_t PacketsOnCard = 0;
    // An entry describes the blocks on the card (none when no block got
    // there). Entry is what the entry holds once the directory is stored.
    bool Recorded = false;
    DirEntry Entry;
    NullRunWarning NullRuns;
};

class CardWriteWorker {
public:
    CardWriteWorker() = default;
    ~CardWriteWorker();  // waits for a worker still running
    CardWriteWorker(const CardWriteWorker&) = delete;
    CardWriteWorker& operator=(const CardWriteWorker&) = delete;

    // The whole write on the calling thread. The card must be open for
    // writing and its directory loaded.
    CardWriteResult Run(CardWriteJob& job, CardDevice& device, CardWriteState& write, EventSink& events,
                        StopFlag& stop);
    // The same on a worker thread; everything passed must outlive it. Not
    // ok while another write runs or its result was not collected.
    [[nodiscard]] Status Start(CardWriteJob& job, CardDevice& device, CardWriteState& write, EventSink& events,
                               StopFlag& stop);
    // Waits for the worker and returns its result (Refused when none ran).
    CardWriteResult Finish();

    bool Busy() const { return run_.Busy(); }
    // Whole 64 KiB windows of the source, and how many are packed (any
    // thread): the progress bar's maximum and position.
    std::uint64_t ProgressMaximum() const { return progress_maximum_.load(std::memory_order_acquire); }
    std::uint64_t ProgressPosition() const { return progress_position_.load(std::memory_order_acquire); }

private:
    CardWriteResult RunClaimed(CardWriteJob& job, CardDevice& device, CardWriteState& write, EventSink& events,
                               StopFlag& stop);

    std::atomic<std::uint64_t> progress_maximum_{0};
    std::atomic<std::uint64_t> progress_position_{0};
    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<CardWriteResult> run_;
};

}  // namespace tscard
