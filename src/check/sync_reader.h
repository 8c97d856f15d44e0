#pragma once
// Reads a stream file's packets in large blocks and keeps track of sync:
// sync is acquired at 5 consecutive units that begin with 0x47 and lost at
// 2 consecutive ones that do not; while it is lost the reader hunts byte by
// byte for the next 5 good units, so a stream that slipped by a few bytes
// is found again at its new phase. A file that ends before the size it
// had when the reader was made shrank while it was read: the reader fails,
// naming the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "ts/packet.h"

namespace tscard {

enum class ReadStep {
    Packet,   // a packet in sync
    BadSync,  // a unit in sync whose first byte is not 0x47 (Lost: the second in a row)
    Hunting,  // a block went by without sync: the caller may look at its stop flag
    End,      // the end of the file, or a read error (Failed)
};

struct ReadUnit {
    const std::uint8_t* Packet = nullptr;  // 188 bytes
    std::uint64_t Offset = 0;              // of the packet's first byte in the file
    bool Lost = false;
};

class SyncReader {
public:
    // unit: 188, or 192 for units whose 4-byte prefix comes first. Hunting
    // for sync starts at `start`.
    SyncReader(const File& file, std::uint64_t start, std::size_t unit, std::size_t block = 4 << 20);

    ReadStep Next(ReadUnit& u) {
        if (in_sync_ && end_ - pos_ >= lookahead_) {
            const std::uint8_t* p = buffer_.data() + pos_ + prefix_;
            if (p[0] == kSyncByte) {
                bad_ = 0;
                u.Packet = p;
                u.Offset = base_ + pos_ + prefix_;
                pos_ += unit_;
                return ReadStep::Packet;
            }
        }
        return Slow(u);
    }

    // The 188 bytes of an earlier packet (duplicate tests): from the block
    // in hand, or read again.
    bool Fetch(std::uint64_t offset, std::uint8_t* out) const;

    // File bytes consumed so far.
    std::uint64_t Position() const { return base_ + pos_; }
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }

private:
    ReadStep Slow(ReadUnit& u);
    bool Hunt();
    void Refill();

    const File& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t unit_;
    std::size_t prefix_;
    std::size_t lookahead_;  // 5 units: what hunting looks at
    std::uint64_t base_;     // file offset of buffer_[0]
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t next_read_;
    std::uint64_t size_ = 0;  // the file's size when the reader was made
    bool eof_ = false;
    bool failed_ = false;
    std::string error_;
    bool in_sync_ = false;
    int bad_ = 0;
};

}  // namespace tscard
