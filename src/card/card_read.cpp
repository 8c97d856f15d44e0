#include "card/card_read.h"

#include <algorithm>

#include "card/card_directory.h"
#include "card/card_read_ahead.h"
#include "ts/packet.h"

namespace tscard {
namespace {

bool HoldsStoredPacket(const std::uint8_t* slot) { return slot[0] == kSyncByte && FoldPid(slot) != kNullPid; }

CardReadResult Refused(Words message) {
    CardReadResult refused;
    refused.Ending = CardReadEnding::Refused;
    refused.Message = std::move(message);
    return refused;
}

Words BusyMessage(const CardDevice& device) {
    return Words(N_("%1: refused, another card read is in progress"), {device.Path()});
}

}  // namespace

// Calls use(slot, nulls) for each slot of the block that holds a stored
// packet, with the null packets its trailer counts.
template <typename Use>
void ForEachStoredPacket(const std::uint8_t* block, std::size_t slots, bool final_block, Use use) {
    for (std::size_t j = 0; j < slots; ++j) {
        const std::uint8_t* slot = block + kSlotSize * j;
        if (final_block && !HoldsStoredPacket(slot)) return;
        use(slot, TrailerNullCount(ReadTrailer(block, j)));
    }
}

void RebuildBlock(const std::uint8_t* block, std::size_t slots, bool final_block, BlockWriter& out) {
    const Packet& null_packet = NullPacket();
    ForEachStoredPacket(block, slots, final_block, [&](const std::uint8_t* slot, std::uint16_t nulls) {
        out.Write(slot, kPacketSize);
        for (std::uint16_t n = nulls; n > 0; --n) out.Write(null_packet.data(), kPacketSize);
    });
}

std::size_t FirstSlotWithoutPacket(const std::uint8_t* block, std::size_t slots, bool final_block) {
    // A final block recorded as full (LastSlot 0) may hold a single packet.
    const std::size_t checked = final_block && slots == kSlotsPerBlock ? 1 : std::min(slots, kSlotsPerBlock);
    for (std::size_t j = 0; j < checked; ++j)
        if (block[kSlotSize * j] != kSyncByte) return j;
    return kSlotsPerBlock;
}

std::string EntryProblem(const DirEntry& entry, std::uint64_t card_units) {
    if (entry.StartSector < kFirstDataSector) return "it starts at sector " + std::to_string(entry.StartSector) + ", before the data area";
    if ((entry.StartSector - kFirstDataSector) % kSectorsPerUnit != 0)
        return "it starts at sector " + std::to_string(entry.StartSector) + ", inside a block";
    if (entry.LastSlot >= kSlotsPerBlock)
        return "its last slot " + std::to_string(unsigned(entry.LastSlot)) + " lies outside a block of " +
               std::to_string(kSlotsPerBlock) + " slots";
    const std::uint64_t first = SectorToUnit(entry.StartSector);
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    if (first >= card_units || blocks > card_units - first)
        return "its " + std::to_string(blocks) + " blocks from block " + std::to_string(first) +
               " run past the card's data area of " + std::to_string(card_units) + " blocks";
    return std::string();
}

namespace {

std::uint64_t CardUnits(CardDevice& device) {
    const std::uint64_t length = device.Backend().Length();
    return length > kHeaderRegionBytes ? (length - kHeaderRegionBytes) / kUnitSize : 0;
}

// "block 3 of stream 0 (unit 3, sector 109)"
std::string BlockName(std::uint64_t i, std::uint64_t unit, const std::string& of = std::string()) {
    return "block " + std::to_string(i) + of + " (unit " + std::to_string(unit) + ", sector " +
           std::to_string(UnitToSector(unit)) + ")";
}

std::string NoStreamData(const std::uint8_t* block, std::size_t bad) {
    return " holds no stream data (slot " + std::to_string(bad) + " does not start with 0x47" +
           (block[kSlotSize * bad] == 0xFF ? ": erased" : "") +
           "); the directory entry does not describe what the card holds";
}

// Why a walk over an entry's blocks ended.
struct BlockWalkEnd {
    enum class Why { Complete, Visitor, NoStreamData, Unreadable };
    Why Ending = Why::Complete;
    std::uint64_t Block = 0;  // where it ended
    std::string Detail;       // NoStreamData: what the block holds; Unreadable: the reason
};

// Reads the entry's blocks in order, a batch at a time, checks that each
// holds stream data and hands it to visit(i, block, slots, final_block); a
// visit that returns false ends the walk there.
template <typename Visit>
BlockWalkEnd WalkEntryBlocks(CardDevice& device, const DirEntry& entry, Visit visit) {
    using Why = BlockWalkEnd::Why;
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    UnitReadAhead units(device, SectorToUnit(entry.StartSector), blocks, CardReadWorker::kBatchUnits);
    for (std::uint64_t i = 0; i < blocks;) {
        const UnitReadAhead::Batch batch = units.Next();
        for (std::size_t k = 0; k < batch.Units; ++k, ++i) {
            const std::uint8_t* block = batch.Data + k * kUnitSize;
            const bool final_block = i + 1 == blocks;
            const std::size_t slots = SlotsInBlock(entry, i);
            if (const std::size_t bad = FirstSlotWithoutPacket(block, slots, final_block); bad < kSlotsPerBlock)
                return {Why::NoStreamData, i, NoStreamData(block, bad)};
            if (!visit(i, block, slots, final_block)) return {Why::Visitor, i, std::string()};
        }
        if (!batch.Result || batch.Units == 0)
            return {Why::Unreadable, i, batch.Result ? std::string("no data") : batch.Result.message()};
    }
    return {};
}

}  // namespace

PlayedPackets CountPlayedPackets(CardDevice& device, const DirEntry& entry, StopFlag& stop,
                                 const std::function<void(std::uint64_t done, std::uint64_t total)>& progress) {
    PlayedPackets out;
    if (entry.IsFree()) {
        out.Message = device.Path() + ": the entry has no blocks on the card";
        return out;
    }
    if (const std::string problem = EntryProblem(entry, CardUnits(device)); !problem.empty()) {
        out.Message = device.Path() + ": the directory entry does not fit the card: " + problem;
        return out;
    }
    const std::uint64_t first_unit = SectorToUnit(entry.StartSector);
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    const BlockWalkEnd end =
        WalkEntryBlocks(device, entry, [&](std::uint64_t i, const std::uint8_t* block, std::size_t slots, bool final_block) {
            ForEachStoredPacket(block, slots, final_block,
                                [&](const std::uint8_t*, std::uint16_t nulls) { out.Packets += 1 + nulls; });
            out.BlocksRead = i + 1;
            if (progress) progress(out.BlocksRead, blocks);
            return !stop.TakeIfSet();
        });
    const std::string where = device.Path() + ": " + BlockName(end.Block, first_unit + end.Block);
    switch (end.Ending) {
        case BlockWalkEnd::Why::Complete: out.Complete = true; break;
        case BlockWalkEnd::Why::Visitor: break;  // stopped
        case BlockWalkEnd::Why::NoStreamData: out.Message = where + end.Detail; break;
        case BlockWalkEnd::Why::Unreadable: out.Message = where + " cannot be read: " + end.Detail; break;
    }
    return out;
}

CardReadWorker::~CardReadWorker() { run_.Join(); }

CardReadResult CardReadWorker::Run(const CardReadJob& job, CardDevice& device, StopFlag& stop) {
    CardReadResult result;
    const Status ran = run_.RunHere(BusyMessage(device), [&] { return RunClaimed(job, device, stop); }, result);
    return ran ? result : Refused(ran.words());
}

Status CardReadWorker::Start(const CardReadJob& job, CardDevice& device, StopFlag& stop) {
    return run_.RunOnThread(BusyMessage(device), [this, job, &device, &stop] { return RunClaimed(job, device, stop); });
}

CardReadResult CardReadWorker::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no card read was started");
}

CardReadResult CardReadWorker::RunClaimed(const CardReadJob& job, CardDevice& device, StopFlag& stop) {
    CardReadResult result;
    const Words stream(N_("stream %1"), {std::to_string(job.ReadEntryIndex)});

    // The directory afresh; the record by its index in memory.
    CardDirectory directory;
    Status read_status;
    switch (device.LoadDirectory(directory, &read_status)) {
        case DirectoryState::Valid: break;
        case DirectoryState::NotInLayout:
            result.Message = Words(N_("%1: the card is not in the card layout (Mast be formated)"), {device.Path()});
            return result;
        case DirectoryState::Unreadable: result.Message = read_status.words(); return result;
    }
    const std::size_t count = std::min<std::size_t>(directory.Header.FileCount, directory.Records.size());
    if (job.ReadEntryIndex >= count) {
        result.Message = count == 1 ? Words(N_("%1: there is no %2 (the card holds %3 stream)"),
                                            {device.Path(), stream, std::to_string(count)})
                                    : Words(N_("%1: there is no %2 (the card holds %3 streams)"),
                                            {device.Path(), stream, std::to_string(count)});
        return result;
    }
    const DirEntry& entry = directory.Records[job.ReadEntryIndex];
    result.Entry = entry;
    if (entry.IsFree()) {
        result.Message = Words(N_("%1: %2 has no blocks on the card"), {device.Path(), stream});
        return result;
    }
    if (const std::string problem = EntryProblem(entry, CardUnits(device)); !problem.empty()) {
        result.Message =
            Words(N_("%1: the directory entry of %2 does not fit the card: %3"), {device.Path(), stream, problem});
        return result;
    }
    const std::uint64_t first_unit = SectorToUnit(entry.StartSector);
    const std::uint64_t blocks = std::uint64_t(entry.Length) + 1;
    result.Blocks = blocks;

    OutputFile output;
    OutputRules rules;
    rules.AllowStandardOutput = true;
    if (Status st = output.Open(job.OutputPath, rules, &stop); !st) {
        if (stop.TakeIfSet()) {
            result.Ending = CardReadEnding::Stopped;
            return result;
        }
        result.Message = st.words();
        return result;
    }
    result.WrittenInPlace = output.InPlace();
    BlockWriter out(output.Output());
    auto finish = [&](CardReadEnding ending, Words message) {
        Status done = out.Flush();
        result.BytesWritten = out.BytesWritten();
        const bool keep = ending == CardReadEnding::Complete || (ending == CardReadEnding::Stopped && result.BlocksRead > 0);
        if (done && keep) done = output.Commit();
        if (!done && ending != CardReadEnding::Failed) {
            ending = CardReadEnding::Failed;
            message = done.words();
        }
        result.OutputKept = done && keep;
        if (!result.OutputKept) output.Discard();
        result.Ending = ending;
        result.Message = std::move(message);
        return result;
    };
    auto where = [&](std::uint64_t i) { return BlockName(i, first_unit + i, " of " + stream.English()); };

    // Why the copy itself ended before the last block.
    CardReadEnding cut = CardReadEnding::Complete;
    std::string cut_message;
    const BlockWalkEnd end =
        WalkEntryBlocks(device, entry, [&](std::uint64_t i, const std::uint8_t* block, std::size_t slots, bool final_block) {
            if (job.Form == CardReadForm::Original)
                RebuildBlock(block, slots, final_block, out);
            else
                out.Write(block, kUnitSize);
            result.BlocksRead = i + 1;
            if (job.Progress) job.Progress(result.BlocksRead, blocks);
            if (out.Failed()) {
                cut = CardReadEnding::Failed;
                cut_message = out.LastStatus().message();
                return false;
            }
            if (stop.TakeIfSet()) {
                cut = CardReadEnding::Stopped;
                return false;
            }
            return true;
        });
    switch (end.Ending) {
        case BlockWalkEnd::Why::Complete: break;
        case BlockWalkEnd::Why::Visitor: return finish(cut, std::move(cut_message));
        case BlockWalkEnd::Why::NoStreamData:
            return finish(CardReadEnding::Failed, device.Path() + ": " + where(end.Block) + end.Detail);
        case BlockWalkEnd::Why::Unreadable:
            return finish(CardReadEnding::Failed, where(end.Block) + " cannot be read: " + end.Detail);
    }
    return finish(CardReadEnding::Complete, std::string());
}

}  // namespace tscard
