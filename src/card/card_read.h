#pragma once
// Reading one stream back from a card into a file, as the stored blocks
// ("Compressed") or rebuilt with its null packets ("Original").
//
// The worker loads the card's directory afresh and takes the stream's
// record by its index in the in-memory directory (as the card's content
// tree numbers its streams). Units are read in large batches; a stop is
// seen after each block and ends the copy with the blocks before it in the
// output. A block that cannot be read ends the copy with an error: the
// output then holds the blocks before it, never stale data.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "card/card_device.h"
#include "platform/file_io.h"
#include "platform/single_run.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

enum class CardReadForm { Compressed, Original };

struct CardReadJob {
    std::uint8_t ReadEntryIndex = 0;
    CardReadForm Form = CardReadForm::Compressed;
    // Called on the worker's thread after each block: blocks done, blocks
    // in all. A window hands it over to its own thread.
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
};

enum class CardReadEnding {
    Complete,
    Stopped,  // the stop flag; the output holds the blocks read before it
    Failed,   // the directory, the record, a block or the output; Message says which
};

struct [[nodiscard]] CardReadResult {
    CardReadEnding Ending = CardReadEnding::Failed;
    std::string Message;
    DirEntry Entry;               // the stream's record, once found
    std::uint64_t Blocks = 0;     // the stream's blocks
    std::uint64_t BlocksRead = 0;  // blocks written to the output
    std::uint64_t BytesWritten = 0;
};

// The rebuilt form of one block: for each of the first `slots` slots its
// packet, then as many copies of NullPacket as its trailer counts (after
// the rule for the trailer's top four bits). In the final block the rebuild
// ends at the first slot that holds no stored packet (no sync byte, or a
// null packet): a final block with one packet has LastSlot 0 as a full one.
void RebuildBlock(const std::uint8_t* block, std::size_t slots, bool final_block, BlockWriter& out);

class CardReadWorker {
public:
    static constexpr std::size_t kBatchUnits = 128;  // 1 MiB per read

    CardReadWorker() = default;
    ~CardReadWorker();
    CardReadWorker(const CardReadWorker&) = delete;
    CardReadWorker& operator=(const CardReadWorker&) = delete;

    // The whole copy on the calling thread. The output must be open for
    // writing; it is written from its start.
    CardReadResult Run(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop);
    // The same on a worker thread; everything passed must outlive it.
    Status Start(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop);
    CardReadResult Finish();

    bool Busy() const { return run_.Busy(); }

private:
    CardReadResult RunClaimed(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop);

    // Last: destroyed first, so a running worker ends before the rest goes.
    SingleRun<CardReadResult> run_;
};

}  // namespace tscard
