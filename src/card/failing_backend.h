#pragma once
// A card that goes bad, for tests: it passes everything to another
// backend until a given number of data-area units has been written; after
// that, writes to the data area fail (those that cross the limit write
// the units before it first), as on a card that is full or failing at its
// end. The header region stays writable. PullCard makes every operation
// fail from then on, as when the card is taken out; PullCardBeforeHeaderWrite
// does it just before the given write (from 1) of the header region.

#include <cstdint>
#include <memory>

#include "card/card_backend.h"

namespace tscard {

class FailingBackend final : public CardBackend {
public:
    FailingBackend(std::unique_ptr<CardBackend> inner, std::uint64_t units_before_failure);

    void PullCard() { pulled_ = true; }
    void PullCardBeforeHeaderWrite(std::uint64_t nth) { pull_at_header_write_ = nth; }
    std::uint64_t UnitsWritten() const { return units_written_; }

    const std::string& Path() const override { return inner_->Path(); }
    std::uint64_t Length() const override { return inner_->Length(); }
    bool Writable() const override { return inner_->Writable(); }
    IoResult ReadAt(std::uint64_t offset, void* buffer, std::size_t len) override;
    IoResult WriteAt(std::uint64_t offset, const void* buffer, std::size_t len) override;
    Status Flush() override;
    Status CheckPresent() override;

private:
    std::unique_ptr<CardBackend> inner_;
    std::uint64_t units_left_;
    std::uint64_t units_written_ = 0;
    bool pulled_ = false;
    std::uint64_t header_writes_ = 0;
    std::uint64_t pull_at_header_write_ = 0;  // 0: never
};

}  // namespace tscard
