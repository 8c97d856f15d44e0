#include "card/card_write_packer.h"

#include <optional>

#include <algorithm>
#include <cstring>

#include "ts/model.h"
#include "ts/packet.h"

namespace tscard {
namespace {

constexpr std::size_t kLastSlot = kSlotsPerBlock - 1;

std::uint8_t* Slot(std::uint8_t* block, std::size_t slot) { return block + kSlotSize * slot; }

}  // namespace

CardPacker::CardPacker(bool packet192, BlockSink& sink)
    : packet192_(packet192),
      unit_(packet192 ? kUnit192Size : kPacketSize),
      prefix_(packet192 ? kUnitPrefixSize : 0),
      sink_(sink) {
    NewCurrentBlock();
}

void CardPacker::NewCurrentBlock() {
    state_.CurrentBlock = sink_.NewBlock();
    std::memset(state_.CurrentBlock + kBlockPaddingOffset, 0xFF, kUnitSize - kBlockPaddingOffset);
    slot_trailer_zeroed_ = false;
    slot_null_image_ = false;
}

// A block that leaves partly filled: the free slots as a block filled with
// 0xFF has them after the reads made into it.
void CardPacker::CompleteFreeSlots() {
    std::uint8_t* slot = Slot(state_.CurrentBlock, state_.SlotIndex);
    if (slot_null_image_)
        std::memcpy(slot, NullPacket().data(), kPacketSize);
    else
        std::memset(slot, 0xFF, kPacketSize);
    if (!slot_trailer_zeroed_) WriteTrailer(state_.CurrentBlock, state_.SlotIndex, 0xFFFF);
    std::memset(slot + kSlotSize, 0xFF, kBlockPaddingOffset - kSlotSize * (state_.SlotIndex + 1));
}

std::size_t CardPacker::PackWindow(const std::uint8_t* buffer, std::size_t length) {
    buf_ = buffer;
    len_ = length;
    pos_ = 0;
    at_end_ = false;
    int passes = length >= kFullWindow ? kPassesPerWindow : static_cast<int>(length / kPassBytes);
    for (;;) {
        for (int pass = 0; pass < passes; ++pass) {
            for (std::size_t read = 0; read < kSlotsPerBlock; ++read) {
                switch (ReadPacket()) {
                    case Read::Packed: break;
                    case Read::NeedMore: return len_ - keep_from_;
                    case Read::Lost: return 0;
                }
            }
        }
        // A large remainder gets eight more passes; a smaller one waits for
        // the next window.
        if (len_ - pos_ >= kPassesPerWindow * kPassBytes) {
            passes = kPassesPerWindow;
            continue;
        }
        return len_ - pos_;
    }
}

void CardPacker::FinishPacking(const std::uint8_t* kept, std::size_t length) {
    buf_ = kept;
    len_ = length;
    pos_ = 0;
    at_end_ = true;
    while (pos_ < len_ && ReadPacket() == Read::Packed) {
    }
    if (state_.InNullRun) EndNullRun();
    // Null packets at the end of the source are already counted in the
    // held block's last trailer (PatchHeld) or in the current block.
    if (state_.HeldBlock != nullptr) {
        if (state_.PatchHeld) WriteTrailer(state_.HeldBlock, kLastSlot, state_.NullCount);
        state_.PatchHeld = false;
        sink_.WriteBlock(state_.HeldBlock);
        state_.HeldBlock = nullptr;
    }
    if (state_.SlotIndex > 0) {
        CompleteFreeSlots();
        sink_.WriteBlock(state_.CurrentBlock);
    }
}

// Moves to the next sync position at or after `from`; a result ends the
// read (more bytes needed, or the stream is lost), none means go on.
std::optional<CardPacker::Read> CardPacker::Resync(std::size_t from) {
    std::size_t candidate = 0;
    switch (FindSync(from, candidate)) {
        case Sync::Found:
            pos_ = candidate - prefix_;
            return std::nullopt;
        case Sync::NeedMore:
            keep_from_ = candidate - prefix_;
            resync_pending_ = true;
            return Read::NeedMore;
        case Sync::Failed:
            break;
    }
    return Read::Lost;
}

// One read of a pass: the next source packet into slot SlotIndex.
CardPacker::Read CardPacker::ReadPacket() {
    WriteTrailer(state_.CurrentBlock, state_.SlotIndex, 0);
    slot_trailer_zeroed_ = true;
    if (resync_pending_) {
        resync_pending_ = false;
        if (const auto stop = Resync(pos_ + prefix_)) return *stop;
    }
    for (;;) {
        // A whole unit, prefix included, must be there: a packet that
        // straddles two windows waits for the next one with its prefix.
        if (len_ - pos_ < unit_) {
            keep_from_ = pos_;
            return Read::NeedMore;
        }
        const std::uint8_t* packet = buf_ + pos_ + prefix_;
        if (packet[0] == kSyncByte) {
            pos_ += unit_;
            TakePacket(packet);
            return Read::Packed;
        }
        // Lost sync: search after the bytes just read.
        if (const auto stop = Resync(pos_ + unit_)) return *stop;
    }
}

// Finds the next 0x47 at or after `from` that is confirmed by the bytes one,
// two and three packets later: the middle one a sync byte, or the first
// and the last both. A rejected candidate resumes the search three packets
// on. Probes past the end of the buffer wait for the next window, unless
// none follows (then they count as no sync byte).
CardPacker::Sync CardPacker::FindSync(std::size_t from, std::size_t& candidate) {
    const std::size_t step = packet192_ ? kUnit192Size : kPacketSize;
    std::size_t at = from;
    while (at < len_) {
        const auto* found = static_cast<const std::uint8_t*>(std::memchr(buf_ + at, kSyncByte, len_ - at));
        if (found == nullptr) return Sync::Failed;
        const std::size_t c = static_cast<std::size_t>(found - buf_);
        bool known[3];
        bool sync[3];
        for (std::size_t k = 0; k < 3; ++k) {
            const std::size_t probe = c + (k + 1) * step;
            known[k] = probe < len_;
            sync[k] = known[k] && buf_[probe] == kSyncByte;
        }
        if (sync[1] || (sync[0] && sync[2])) {
            candidate = c;
            return Sync::Found;
        }
        const bool rejected = known[1] && ((known[0] && !sync[0]) || (known[2] && !sync[2]));
        if (!rejected && !at_end_) {
            candidate = c;
            return Sync::NeedMore;
        }
        at = c + 3 * step;
    }
    return Sync::Failed;
}

void CardPacker::TakePacket(const std::uint8_t* packet) {
    if (FoldPid(packet) == kNullPid) {
        std::uint16_t continued = 0;
        if (state_.SlotIndex == 0 && !state_.PatchHeld) {
            // Nothing before it in this block can carry it: the held
            // block's last packet does, or, before the first stored packet,
            // nobody (leading null packets are not represented).
            if (state_.HeldBlock == nullptr) return;
            state_.PatchHeld = true;
            continued = ReadTrailer(state_.HeldBlock, kLastSlot);
        }
        if (!state_.InNullRun) {
            state_.InNullRun = true;
            state_.NullCount = continued;
            run_length_ = 0;
        }
        ++state_.NullCount;
        ++run_length_;
        if (state_.PatchHeld)
            WriteTrailer(state_.HeldBlock, kLastSlot, state_.NullCount);
        else
            WriteTrailer(state_.CurrentBlock, state_.SlotIndex - 1, state_.NullCount);
        // The slot stays free and holds the image of NullPacket; it is put
        // there only if the block leaves with this slot free.
        slot_null_image_ = true;
        return;
    }

    std::memcpy(Slot(state_.CurrentBlock, state_.SlotIndex), packet, kPacketSize);
    if (state_.InNullRun) EndNullRun();
    ++state_.PacketsStored;
    state_.InNullRun = false;
    if (state_.PatchHeld) {
        state_.PatchHeld = false;
        WriteTrailer(state_.HeldBlock, kLastSlot, state_.NullCount);
        sink_.WriteBlock(state_.HeldBlock);
        state_.HeldBlock = nullptr;
    }
    state_.NullCount = 0;
    slot_trailer_zeroed_ = false;
    slot_null_image_ = false;
    if (++state_.SlotIndex == kSlotsPerBlock) {
        state_.SlotIndex = 0;
        if (state_.HeldBlock != nullptr) sink_.WriteBlock(state_.HeldBlock);
        state_.HeldBlock = state_.CurrentBlock;
        NewCurrentBlock();
    }
}

void CardPacker::EndNullRun() {
    const std::uint16_t read_back = TrailerNullCount(state_.NullCount);
    if (read_back == run_length_) return;
    if (null_runs_.Runs++ == 0) {
        null_runs_.FirstAfterPacket = state_.PacketsStored - 1;
        null_runs_.FirstLength = run_length_;
        null_runs_.FirstReadBack = read_back;
    }
}

PackEnd PackSource(CardPacker& packer, const SourceFile& source, std::uint64_t start,
                   const std::function<bool(std::uint64_t windows_packed)>& after_window) {
    PackEnd end;
    WindowReader reader(source, start, kWindowSize);
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
    std::size_t kept = 0;
    std::uint64_t windows = 0;
    while (reader.Next(kept, data, length)) {
        const std::size_t fresh = length - kept;
        kept = packer.PackWindow(data, length);
        // The tail after the last whole window is packed without a call.
        if (fresh == kWindowSize && !after_window(++windows)) {
            end.Stopped = true;
            return end;
        }
    }
    if (reader.Failed()) {
        end.Read = reader.Error();
        return end;
    }
    packer.FinishPacking(data + length - kept, kept);
    return end;
}

}  // namespace tscard
