#include "check/sync_reader.h"

#include <cstring>

namespace tscard {
namespace {

constexpr int kUnitsToAcquire = 5;
constexpr int kUnitsToLose = 2;

}  // namespace

SyncReader::SyncReader(const File& file, std::uint64_t start, std::size_t unit, std::size_t block)
    : file_(file),
      buffer_(block + kUnitsToAcquire * unit),
      unit_(unit),
      prefix_(unit - kPacketSize),
      lookahead_(kUnitsToAcquire * unit),
      base_(start),
      next_read_(start) {
    // Unknown, the shrink goes unnoticed; a read error is still told.
    if (!file.Size(size_)) size_ = 0;
}

// Keeps what is left of the block and reads on behind it.
void SyncReader::Refill() {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    base_ += pos_;
    end_ -= pos_;
    pos_ = 0;
    const std::size_t room = buffer_.size() - end_;
    const std::int64_t n = file_.ReadAt(next_read_, buffer_.data() + end_, room);
    if (n < 0) {
        failed_ = true;
        eof_ = true;
        error_ = FileError(file_.Path(), N_("cannot read")).English();
        return;
    }
    end_ += static_cast<std::size_t>(n);
    next_read_ += static_cast<std::uint64_t>(n);
    if (static_cast<std::size_t>(n) < room) {
        eof_ = true;
        if (next_read_ < size_) {
            failed_ = true;
            error_ = ShrankStatus(file_, size_).message();
        }
    }
}

// Looks for 5 units in a row that begin with 0x47. False when the bytes in
// hand hold none; pos_ then stands where the search goes on.
bool SyncReader::Hunt() {
    const std::size_t span = prefix_ + (kUnitsToAcquire - 1) * unit_;
    for (; pos_ + span < end_; ++pos_) {
        const std::uint8_t* p = buffer_.data() + pos_ + prefix_;
        if (p[0] != kSyncByte) continue;
        bool good = true;
        for (int k = 1; k < kUnitsToAcquire && good; ++k) good = p[k * unit_] == kSyncByte;
        if (!good) continue;
        in_sync_ = true;
        bad_ = 0;
        return true;
    }
    return false;
}

ReadStep SyncReader::Slow(ReadUnit& u) {
    for (;;) {
        if (!eof_ && end_ - pos_ < lookahead_) Refill();
        if (failed_) return ReadStep::End;
        if (end_ - pos_ < unit_) return ReadStep::End;
        if (!in_sync_) {
            if (Hunt()) continue;
            if (eof_) {
                pos_ = end_;
                return ReadStep::End;
            }
            return ReadStep::Hunting;  // the search goes on in the next block
        }
        const std::uint8_t* p = buffer_.data() + pos_ + prefix_;
        u.Packet = p;
        u.Offset = base_ + pos_ + prefix_;
        u.Lost = false;
        if (p[0] == kSyncByte) {
            bad_ = 0;
            pos_ += unit_;
            return ReadStep::Packet;
        }
        if (++bad_ >= kUnitsToLose) {
            // The hunt starts one byte into the unit that lost sync.
            in_sync_ = false;
            u.Lost = true;
            pos_ += 1;
        } else {
            pos_ += unit_;
        }
        return ReadStep::BadSync;
    }
}

bool SyncReader::Fetch(std::uint64_t offset, std::uint8_t* out) const {
    if (offset >= base_ && offset + kPacketSize <= base_ + end_) {
        std::memcpy(out, buffer_.data() + (offset - base_), kPacketSize);
        return true;
    }
    return file_.ReadAt(offset, out, kPacketSize) == std::int64_t(kPacketSize);
}

}  // namespace tscard
