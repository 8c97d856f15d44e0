#pragma once
// Raw byte access to one card: a block device, an image file, or a test
// stand-in. Offsets are absolute from the card's first byte and 64-bit.
// Transfers report how many bytes moved and the system error, so the
// caller can tell a short read at the card's end from a failure and knows
// what reached the card before a write failed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace tscard {

struct IoResult {
    std::size_t bytes = 0;  // transferred before the end or the error
    int error = 0;          // errno of the failure, 0 when none
};

class CardBackend {
public:
    virtual ~CardBackend() = default;

    // The device node or image file, as given.
    virtual const std::string& Path() const = 0;
    // Length in bytes, as found when the card was opened.
    virtual std::uint64_t Length() const = 0;
    virtual bool Writable() const = 0;
    // True when transfers bypass the page cache (O_DIRECT).
    virtual bool DirectIo() const { return false; }

    // Reads up to len bytes at offset; fewer, with error 0, only at the end
    // of the card.
    virtual IoResult ReadAt(std::uint64_t offset, void* buffer, std::size_t len) = 0;
    // Writes len bytes at offset; nothing is ever written past the end of
    // the card (that fails with ENOSPC).
    virtual IoResult WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) = 0;
    // Makes completed writes durable on the medium.
    virtual Status Flush() = 0;
    // Fails once the card has gone (pulled from the reader, image deleted).
    virtual Status CheckPresent() = 0;
    // Frees the card from whatever refused a write (a mounted file system)
    // and reopens it; only a block device opened for writing can.
    virtual Status Reclaim() { return Status::Fail(Path() + ": nothing to reclaim"); }
};

}  // namespace tscard
