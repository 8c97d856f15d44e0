#pragma once
// All raw access to one card: its size figures, the header region as last
// read or built, the directory, and the 8192-byte units of the data area.
// The owner (the window, or a command) creates one per card it works on
// and passes it explicitly; it has no lock, so one thread uses it at a
// time.
//
// Failed transfers come back as Status naming the card, the offset and the
// reason, and are also written to the diagnostic log: "Seek Error" for
// failed or short reads, "Read\Write Error" for failed writes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "card/aligned_buffer.h"
#include "card/card_backend.h"
#include "card/card_directory.h"
#include "card/card_layout.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

enum class DirectoryState { Valid, NotInLayout, Unreadable };

// Progress of a full format: MiB chunks written so far and in all; the
// stop flag is looked at before every chunk.
struct FillObserver {
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
    StopFlag* Stop = nullptr;
};

// "no card is open", and "<card>: the card was opened read-only".
constexpr const char* kNoCardOpen = N_("no card is open");
Words OpenedReadOnly(const std::string& card);

class CardDevice {
public:
    CardDevice();
    explicit CardDevice(std::unique_ptr<CardBackend> backend);
    CardDevice(CardDevice&&) noexcept;
    CardDevice& operator=(CardDevice&&) noexcept;
    ~CardDevice();

    bool IsOpen() const { return backend_ != nullptr; }
    const std::string& Path() const;
    CardBackend& Backend() { return *backend_; }

    // Figures of the card (see FiguresOfLength) and of its directory.
    std::uint64_t TotalSectors = 0;
    std::uint64_t CapacityMB = 0;
    std::int64_t DataUnits = 0;
    std::int64_t FreeUnits = 0;
    bool DirectoryLoaded = false;  // LoadDirectory accepted a header
    bool FullFormat = false;       // WriteEmptyHeader fills the card with 0xFF first
    bool CardChanged = false;      // set when the header region was rewritten
    CardDirectory Directory;           // the directory of the card in use

    // The 0x7A00-byte header region, as last read or built.
    const std::uint8_t* HeaderBuffer() const { return header_.data(); }

    // Reads and checks the header region and fills the directory (both
    // passes); then FreeUnits follows the directory. When the read fails
    // or comes up short the card is unreadable; read_status, if given,
    // then says why.
    DirectoryState LoadDirectory(CardDirectory& directory, Status* read_status = nullptr);
    // Stores sector 0 and entries 0 to FileCount - 1 of the directory; the
    // other entries are written back as the header region holds them.
    // Afterwards the directory is reset and FreeUnits equals DataUnits (the
    // next load reads the card again).
    Status WriteDirectory(CardDirectory& directory);
    void UpdateFreeUnits(const CardDirectory& directory);

    // Writes a new, empty header region (FileCount 0, all entries free,
    // flags of version 0.1 or 0.0, the bit rate), after filling the card
    // when FullFormat is set; then Directory is empty, FreeUnits equals
    // DataUnits and CardChanged is set. A fill that was stopped or failed
    // still ends with the header written, and its failure is returned.
    Status WriteEmptyHeader(bool version01, std::uint32_t bitrate, const FillObserver& observer = {});
    // Fills every sector of the card with 0xFF, 1 MiB per write.
    Status FillCard(const FillObserver& observer = {});

    // One unit, or `count` consecutive units in one transfer (any buffer;
    // an AlignedBuffer avoids a copy). units_done, if given, receives the
    // number of whole units read, or written to the card before a failure.
    Status ReadUnit(std::uint64_t unit, void* buffer);
    Status WriteUnit(std::uint64_t unit, const void* buffer);
    Status ReadUnits(std::uint64_t first_unit, std::size_t count, void* buffer, std::size_t* units_done = nullptr);
    Status WriteUnits(std::uint64_t first_unit, std::size_t count, const void* buffer,
                      std::size_t* units_done = nullptr);
    // Writes whole sectors at a byte offset. A write refused because the
    // card is held by a mounted file system is retried once after the
    // card's own file systems have been unmounted.
    Status WriteRaw(std::uint64_t offset, const void* buffer, std::size_t size);

    // Makes the writes so far durable on the card.
    Status Flush();
    // Fails once the card has been pulled (for the removal watch).
    Status CheckPresent();

private:
    IoResult RawWrite(std::uint64_t offset, const void* buffer, std::size_t size);
    Status WriteFailure(std::uint64_t offset, std::size_t size, const IoResult& result) const;
    Status ReadFailure(std::uint64_t offset, std::size_t size, const IoResult& result) const;

    std::unique_ptr<CardBackend> backend_;
    AlignedBuffer header_;
};

}  // namespace tscard
