#pragma once
// Packing a transport stream into card blocks: 43 packets per block, each
// followed by the count of null packets that came after it in the source;
// null packets themselves are not stored, 192-byte prefixes are dropped.
//
// The source comes in windows. Each call is given the packing buffer: the
// bytes the previous call kept followed by the new window, as one range
// (platform/source_reader.h hands the source out that way). A call returns how many bytes at the end of
// the range it keeps; the next range must start with them.
//
// A block is handed to the sink as soon as its last trailer is final: the
// last completed block is held back while null packets may still be counted
// into its slot-42 trailer (HeldBlock / PatchHeld). Blocks are built in
// storage the sink lends, so that a sink can have them built where they
// are written from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <functional>

#include "card/card_layout.h"
#include "platform/source_reader.h"
#include "platform/status.h"

namespace tscard {

using CardBlock = std::array<std::uint8_t, kUnitSize>;

// Where finished blocks go, in stream order.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    // Storage for the next block (kUnitSize bytes, any content). The packer
    // has at most two out at a time (the held and the current block) and
    // hands them back with WriteBlock in the order it got them; one it
    // never hands back (dropped at a stop) may be lent again.
    virtual std::uint8_t* NewBlock() = 0;
    // WriteBlock: the block is final.
    virtual void WriteBlock(const std::uint8_t* block) = 0;
};

// A sink that copies the blocks it is given: it lends storage of its own.
class CopyingBlockSink : public BlockSink {
public:
    std::uint8_t* NewBlock() override { return storage_[next_++ & 1].data(); }

private:
    CardBlock storage_[2];
    unsigned next_ = 0;
};

// A run of null packets whose count the trailer cannot carry unchanged:
// longer than 65,535 (the counter wraps), or a count that the read-back rule
// for the top four bits changes. The layout keeps the count as it is; the
// operator is told that the stream will not read back with the same nulls.
struct NullRunWarning {
    std::uint64_t Runs = 0;           // runs affected
    std::uint64_t FirstAfterPacket = 0;  // stored packet (from 0) the first one follows
    std::uint64_t FirstLength = 0;    // its length in the source
    std::uint16_t FirstReadBack = 0;  // the count a reader takes from its trailer
};

// What packing keeps from one window to the next.
struct PackingState {
    std::size_t SlotIndex = 0;             // next free slot of CurrentBlock
    std::uint8_t* CurrentBlock = nullptr;  // the block being filled
    std::uint8_t* HeldBlock = nullptr;     // the last completed block, not yet written; or none
    bool PatchHeld = false;                // null packets are counted into HeldBlock's last trailer
    bool InNullRun = false;                // the source packet before was a null packet
    std::uint16_t NullCount = 0;           // length of the null run; wraps after 65,535 as the trailer does
    std::uint64_t PacketsStored = 0;
};

class CardPacker {
public:
    // Buffers smaller than this get fewer passes of 43 reads.
    static constexpr std::size_t kFullWindow = 65536;
    static constexpr std::size_t kPassBytes = kSlotsPerBlock * 188;  // 8,084
    static constexpr int kPassesPerWindow = 8;

    CardPacker(bool packet192, BlockSink& sink);
    CardPacker(const CardPacker&) = delete;
    CardPacker& operator=(const CardPacker&) = delete;

    // Packs what can be packed of the buffer; returns the bytes kept.
    std::size_t PackWindow(const std::uint8_t* buffer, std::size_t length);
    // After the last window: packs the kept bytes (a final fragment shorter
    // than a packet is dropped) and hands over the held and current blocks.
    void FinishPacking(const std::uint8_t* kept, std::size_t length);

    std::uint64_t PacketsStored() const { return state_.PacketsStored; }
    const NullRunWarning& NullRuns() const { return null_runs_; }

private:
    enum class Read { Packed, NeedMore, Lost };
    enum class Sync { Found, NeedMore, Failed };

    Read ReadPacket();
    Sync FindSync(std::size_t from, std::size_t& candidate);
    std::optional<Read> Resync(std::size_t from);
    void TakePacket(const std::uint8_t* packet);
    void EndNullRun();
    void NewCurrentBlock();
    void CompleteFreeSlots();

    const bool packet192_;
    const std::size_t unit_;    // 188 or 192 bytes per source packet
    const std::size_t prefix_;  // 0 or 4
    BlockSink& sink_;

    PackingState state_;
    // A new block is all 0xFF. Its bytes are written as packets arrive, so
    // only slot SlotIndex and the ones after it still need that: its
    // trailer was zeroed by a read, and it holds the image of a dropped
    // null packet; the rest is put in when a block leaves partly filled.
    bool slot_trailer_zeroed_ = false;
    bool slot_null_image_ = false;
    std::uint64_t run_length_ = 0;  // the current null run, not wrapped
    NullRunWarning null_runs_;

    // The buffer of the call in progress.
    const std::uint8_t* buf_ = nullptr;
    std::size_t len_ = 0;
    std::size_t pos_ = 0;
    std::size_t keep_from_ = 0;  // start of the bytes kept when a read needs more
    bool at_end_ = false;        // no window follows: nothing more will come
    // The buffer starts with a packet start that FindSync found but could
    // not yet confirm: its probes lay past the end of the previous window.
    bool resync_pending_ = false;
};

// How packing a source ended. Neither stopped nor failed: the whole
// source was packed and FinishPacking ran.
struct [[nodiscard]] PackEnd {
    bool Stopped = false;  // after_window returned false
    // Not ok: the source could not be read to its end (a read error, or it
    // shrank while it was read); packing ended there.
    Status Read;
};

// Packs a source from `start` to its size: whole 64 KiB windows, each
// followed by after_window(windows packed so far), then the rest and
// FinishPacking. Ends, without finishing, as soon as after_window returns
// false or a read fails.
PackEnd PackSource(CardPacker& packer, const SourceFile& source, std::uint64_t start,
                   const std::function<bool(std::uint64_t windows_packed)>& after_window);

}  // namespace tscard
