#include "card/card_read.h"

#include <algorithm>

#include "card/card_directory.h"
#include "card/card_read_ahead.h"
#include "ts/packet.h"

namespace tscard {
namespace {

bool HoldsStoredPacket(const std::uint8_t* slot) { return slot[0] == kSyncByte && FoldPid(slot) != kNullPid; }

// A refusal is a read that failed before it began.
CardReadResult Refused(std::string message) {
    CardReadResult refused;
    refused.Message = std::move(message);
    return refused;
}

std::string BusyMessage(const CardDevice& device) {
    return device.Path() + ": refused, another card read is in progress";
}

}  // namespace

void RebuildBlock(const std::uint8_t* block, std::size_t slots, bool final_block, BlockWriter& out) {
    const Packet& null_packet = NullPacket();
    for (std::size_t j = 0; j < slots; ++j) {
        const std::uint8_t* slot = block + kSlotSize * j;
        if (final_block && !HoldsStoredPacket(slot)) return;
        out.Write(slot, kPacketSize);
        for (std::uint16_t n = TrailerNullCount(ReadTrailer(block, j)); n > 0; --n)
            out.Write(null_packet.data(), kPacketSize);
    }
}

CardReadWorker::~CardReadWorker() { run_.Join(); }

CardReadResult CardReadWorker::Run(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop) {
    CardReadResult result;
    const Status ran =
        run_.RunHere(BusyMessage(device), [&] { return RunClaimed(job, device, output, stop); }, result);
    return ran ? result : Refused(ran.message());
}

Status CardReadWorker::Start(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop) {
    return run_.RunOnThread(BusyMessage(device),
                            [this, job, &device, &output, &stop] { return RunClaimed(job, device, output, stop); });
}

CardReadResult CardReadWorker::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no card read was started");
}

CardReadResult CardReadWorker::RunClaimed(const CardReadJob& job, CardDevice& device, File& output, StopFlag& stop) {
    CardReadResult result;
    const std::string stream = "stream " + std::to_string(job.ReadEntryIndex);

    // The directory afresh; the record by its index in memory.
    CardDirectory directory;
    Status read_status;
    switch (device.LoadDirectory(directory, &read_status)) {
        case DirectoryState::Valid: break;
        case DirectoryState::NotInLayout:
            result.Message = device.Path() + ": the card is not in the card layout (Mast be formated)";
            return result;
        case DirectoryState::Unreadable: result.Message = read_status.message(); return result;
    }
    const std::size_t count = std::min<std::size_t>(directory.Header.FileCount, directory.Records.size());
    if (job.ReadEntryIndex >= count) {
        result.Message = device.Path() + ": there is no " + stream + " (the card holds " + std::to_string(count) +
                         (count == 1 ? " stream)" : " streams)");
        return result;
    }
    const DirEntry& entry = directory.Records[job.ReadEntryIndex];
    result.Entry = entry;
    if (entry.IsFree() || entry.StartSector < kFirstDataSector) {
        result.Message = device.Path() + ": " + stream + " has no blocks on the card";
        return result;
    }
    const std::uint64_t first_unit = SectorToUnit(entry.StartSector);
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    result.Blocks = blocks;

    BlockWriter out(output);
    auto finish = [&](CardReadEnding ending, std::string message) {
        const Status flushed = out.Flush();
        result.BytesWritten = out.BytesWritten();
        if (!flushed && ending != CardReadEnding::Failed) {
            ending = CardReadEnding::Failed;
            message = flushed.message();
        }
        result.Ending = ending;
        result.Message = std::move(message);
        return result;
    };

    UnitReadAhead units(device, first_unit, blocks, kBatchUnits);
    for (std::uint64_t i = 0; i < blocks;) {
        const UnitReadAhead::Batch batch = units.Next();
        for (std::size_t k = 0; k < batch.Units; ++k, ++i) {
            const std::uint8_t* block = batch.Data + k * kUnitSize;
            if (job.Form == CardReadForm::Original)
                RebuildBlock(block, SlotsInBlock(entry, i), i + 1 == blocks, out);
            else
                out.Write(block, kUnitSize);
            result.BlocksRead = i + 1;
            if (job.Progress) job.Progress(result.BlocksRead, blocks);
            if (out.Failed()) return finish(CardReadEnding::Failed, out.LastStatus().message());
            if (stop.TakeIfSet()) return finish(CardReadEnding::Stopped, std::string());
        }
        if (!batch.Result || batch.Units == 0) {
            const std::uint64_t unit = first_unit + i;
            return finish(CardReadEnding::Failed, "block " + std::to_string(i) + " of " + stream + " (unit " +
                                                      std::to_string(unit) + ", sector " +
                                                      std::to_string(UnitToSector(unit)) + ") cannot be read: " +
                                                      (batch.Result ? std::string("no data") : batch.Result.message()));
        }
    }
    return finish(CardReadEnding::Complete, std::string());
}

}  // namespace tscard
