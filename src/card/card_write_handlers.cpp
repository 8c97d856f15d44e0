#include "card/card_write_handlers.h"

namespace tscard {

Status DoCompleteWriteFile(CardDevice& device, CardWriteState& write, EventSink& events) {
    write.CardWriteBusy = 0;
    Status status = device.WriteDirectory(device.Directory);
    if (status) status = device.Flush();
    write.DirectoryStatus = status;
    if (!status) {
        events.Signal(EventId::CompleteErrWriteFile);
        return status;
    }
    write.DirectoryStored = 1;
    return Status::Ok();
}

void DoBreakWrite(CardDevice& device, CardWriteState& write, const EventHandOver& hand_over, EventSink& events) {
    auto& records = device.Directory.Records;
    const auto index = static_cast<std::size_t>(hand_over.BreakDirIndex);
    // A stop before the first block reached the card leaves the card empty
    // rather than counting a free entry as a stream.
    if (write.BlocksWritten > 0 && hand_over.BreakDirIndex >= 0 && index < records.size()) {
        DirEntry& entry = records[index];
        entry.StartSector = static_cast<std::uint32_t>(UnitToSector(write.StartUnit));
        entry.Length = static_cast<std::uint32_t>(write.BlocksWritten - 1);
        entry.LastSlot = hand_over.BreakLastSlot;
        entry.SetName(hand_over.BreakFileName);
        device.Directory.Header.FileCount = static_cast<std::uint8_t>(device.Directory.Header.FileCount + 1);
    }
    events.Signal(EventId::CompleteWriteFile);
}

void DoCompleteErrWriteFile(CardWriteState& write) { write.WriteFinished = 0; }

}  // namespace tscard
