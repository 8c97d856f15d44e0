#pragma once
// Reading one stream back from a card into a file, as the stored blocks
// ("Compressed") or rebuilt with its null packets ("Original").
//
// The worker loads the card's directory afresh and takes the stream's
// record by its index in the in-memory directory (as the card's content
// tree numbers its streams). The record must describe blocks the card
// holds (its start and length inside the data area, its last slot within
// a block), and every block must look like stream data (each used slot
// starting with the sync byte): an erased or foreign block ends the copy
// with an error instead of being rebuilt into packets that were never
// there. Units are read in large batches; a stop is seen after each block.
//
// The output follows the rules of platform/output_file.h ("-" is the
// standard output) and is opened only once the record has been checked: it
// is kept when the copy completes, or is stopped after at least one block;
// a failure leaves an existing file exactly as it was.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "card/card_device.h"
#include "platform/file_io.h"
#include "platform/output_file.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

enum class CardReadForm { Compressed, Original };

struct CardReadJob {
    std::uint8_t ReadEntryIndex = 0;
    CardReadForm Form = CardReadForm::Compressed;
    std::string OutputPath;
    // Called on the worker's thread after each block: blocks done, blocks
    // in all. A window hands it over to its own thread.
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
};

enum class CardReadEnding {
    Complete,
    Stopped,  // the stop flag; the output holds the blocks read before it
    Failed,   // the directory, the record, a block or the output; Message says which
    Refused,  // another card read is in progress
};

struct [[nodiscard]] CardReadResult {
    CardReadEnding Ending = CardReadEnding::Failed;
    Words Message;
    DirEntry Entry;               // the stream's record, once found
    std::uint64_t Blocks = 0;     // the stream's blocks
    std::uint64_t BlocksRead = 0;  // blocks read and handed to the output
    std::uint64_t BytesWritten = 0;
    // The output holds the BlocksRead blocks: it was kept (Complete, or
    // Stopped after a block). A failure keeps nothing of a file; a device
    // or pipe keeps what reached it (WrittenInPlace).
    bool OutputKept = false;
    bool WrittenInPlace = false;
};

// The rebuilt form of one block: for each of the first `slots` slots its
// packet, then as many copies of NullPacket as its trailer counts (after
// the rule for the trailer's top four bits). In the final block the rebuild
// ends at the first slot that holds no stored packet (no sync byte, or a
// null packet): a final block with one packet has LastSlot 0 as a full one.
void RebuildBlock(const std::uint8_t* block, std::size_t slots, bool final_block, BlockWriter& out);

// The first of the block's used slots that does not start with the sync
// byte, or kSlotsPerBlock when each does (in the final block the used slots
// may end earlier, at the first free slot, but slot 0 is always used).
std::size_t FirstSlotWithoutPacket(const std::uint8_t* block, std::size_t slots, bool final_block);

// Why the record cannot describe a stream on a card of this many whole
// data units, or empty.
std::string EntryProblem(const DirEntry& entry, std::uint64_t card_units);

// How many packets the stream of an entry plays: its stored packets and
// the null packets their trailers add, as the "Original" read rebuilds
// them. Reads the stream's blocks (in large batches); the same checks as
// the read apply.
struct PlayedPackets {
    bool Complete = false;        // every block was read and counted
    std::uint64_t Packets = 0;    // of the blocks read
    std::uint64_t BlocksRead = 0;
    std::string Message;        // why it is not complete (empty when stopped)
};
PlayedPackets CountPlayedPackets(CardDevice& device, const DirEntry& entry, StopFlag& stop,
                                 const std::function<void(std::uint64_t done, std::uint64_t total)>& progress);

class CardReadWorker {
public:
    static constexpr std::size_t kBatchUnits = 128;  // 1 MiB per read

    CardReadWorker() = default;
    ~CardReadWorker();
    CardReadWorker(const CardReadWorker&) = delete;
    CardReadWorker& operator=(const CardReadWorker&) = delete;

    // The whole copy on the calling thread, into job.OutputPath.
    CardReadResult Run(const CardReadJob& job, CardDevice& device, StopFlag& stop);
    // The same on a worker thread; the device and the flag must outlive it.
    Status Start(const CardReadJob& job, CardDevice& device, StopFlag& stop);
    CardReadResult Finish();

    bool Busy() const { return run_.Busy(); }

private:
    CardReadResult RunClaimed(const CardReadJob& job, CardDevice& device, StopFlag& stop);

    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<CardReadResult> run_;
};

}  // namespace tscard
