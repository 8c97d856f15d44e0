#include "card/card_write.h"

#include <algorithm>
#include <charconv>

#include "card/card_format.h"
#include "card/card_write_batch.h"
#include "ts/model.h"

namespace tscard {
namespace {

DirEntry EntryOf(std::uint64_t start_unit, std::uint64_t blocks, std::uint8_t last_slot, const std::string& name) {
    DirEntry entry;
    entry.StartSector = static_cast<std::uint32_t>(UnitToSector(start_unit));
    entry.Length = static_cast<std::uint32_t>(blocks - 1);
    entry.LastSlot = last_slot;
    entry.SetName(name);
    return entry;
}

CardWriteResult Refused(Words message) {
    CardWriteResult refused;
    refused.Ending = CardWriteEnding::Refused;
    refused.Message = std::move(message);
    return refused;
}

Words BusyMessage(const CardDevice& device) {
    return Words(N_("%1: refused, another card write is in progress"), {device.Path()});
}

}  // namespace

Words CardBitrateRangeText() {
    return Words(N_("a whole number of kbit/s from %1 to %2"),
                 {std::to_string(kMinCardBitrate), std::to_string(kMaxCardBitrate)});
}

Words NothingToStore(const std::string& stream) {
    return Words(N_("%1: the stream holds no packet to store (only null packets); nothing was written"), {stream});
}

std::optional<std::uint32_t> ParseCardBitrate(std::string_view text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < kMinCardBitrate || value > kMaxCardBitrate) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

Status ReinitCardHeader(CardDevice& device, std::uint32_t bitrate) {
    device.FullFormat = false;
    return device.WriteEmptyHeader(true, bitrate);
}

bool StreamExceedsDataArea(std::int64_t card_bytes, std::int64_t data_units) {
    return card_bytes > std::max<std::int64_t>(data_units, 0) * std::int64_t(kUnitSize);
}

CardWriteWorker::~CardWriteWorker() { run_.Join(); }

CardWriteResult CardWriteWorker::Run(CardWriteJob& job, CardDevice& device, CardWriteState& write, EventSink& events,
                                     StopFlag& stop) {
    CardWriteResult result;
    const Status ran =
        run_.RunHere(BusyMessage(device), [&] { return RunClaimed(job, device, write, events, stop); }, result);
    return ran ? result : Refused(ran.words());
}

Status CardWriteWorker::Start(CardWriteJob& job, CardDevice& device, CardWriteState& write, EventSink& events,
                              StopFlag& stop) {
    return run_.RunOnThread(BusyMessage(device), [this, &job, &device, &write, &events, &stop] {
        return RunClaimed(job, device, write, events, stop);
    });
}

CardWriteResult CardWriteWorker::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no card write was started");
}

CardWriteResult CardWriteWorker::RunClaimed(CardWriteJob& job, CardDevice& device, CardWriteState& write,
                                            EventSink& events, StopFlag& stop) {
    CardWriteResult result;
    progress_maximum_.store(0, std::memory_order_release);
    progress_position_.store(0, std::memory_order_release);

    // Refusals touch nothing, not even the card's header.
    auto refuse = [&](Words message) {
        result.Ending = CardWriteEnding::Refused;
        result.Message = std::move(message);
        return result;
    };
    if (!device.IsOpen()) return refuse(Words(kNoCardOpen));
    if (!device.Backend().Writable()) return refuse(OpenedReadOnly(device.Path()));
    if (device.DataUnits <= 0) return refuse(TooSmallForLayout(device.Path(), device.Backend().Length()));
    if (!job.Source.IsOpen())
        return refuse(Words(N_("%1: the source is not open for the card write"), {job.FileName}));
    if (job.StartOffset > job.Source.Size())
        return refuse(Words(N_("%1: the first packet lies past the end of the source"), {job.FileName}));
    // What the stream takes on the card is known before the card changes.
    if (!job.Size) {
        const CardStreamSize size = MeasureCardStream(job.Source, job.StartOffset, job.Packet192Mode,
                                                      [&](std::uint64_t) { return !stop.IsSet(); });
        if (!size.Read) return refuse(size.Read.words());
        if (!size.Complete) {
            stop.Clear();
            return refuse(Words(N_("%1: the write was stopped before it began; nothing was written"), {job.FileName}));
        }
        job.Size = size;
    }
    if (job.Size->PacketsStored == 0)
        return refuse(NothingToStore(job.FileName));

    write.StartUnit = 0;
    write.EntryIndex = 0;
    write.BlocksWritten = 0;
    write.CardWriteBusy = true;
    write.WriteFinished = false;
    write.DirectoryStored = false;
    write.DirectoryStatus = Status::Ok();

    progress_maximum_.store((job.Source.Size() - job.StartOffset) / kWindowSize, std::memory_order_release);

    // The header first, on the front end's thread while this one waits. A
    // card whose header cannot be rebuilt gets no block: the old directory
    // would describe them wrongly.
    const Status rebuilt = job.RebuildHeader ? job.RebuildHeader() : ReinitCardHeader(device, job.Bitrate);
    auto fail = [&](Words message) {
        write.CardWriteBusy = false;
        job.Source.Close();
        result.Ending = CardWriteEnding::Failed;
        result.Message = std::move(message);
        events.Signal(EventId::evRefreshGauge);
        return result;
    };
    if (!rebuilt)
        return fail(Words(N_("%1; the card header was not rebuilt and no block was written"), {rebuilt.words()}));
    auto& records = device.Directory.Records;
    const auto free_record =
        std::find_if(records.begin(), records.end(), [](const DirEntry& e) { return e.Length == 0; });
    if (free_record == records.end())
        return fail(Words(N_("%1: the directory has no free record"), {device.Path()}));
    write.EntryIndex = static_cast<std::int32_t>(free_record - records.begin());

    UnitBatchWriter batch(device, write.StartUnit);
    CardPacker packer(job.Packet192Mode, batch);

    // The end of every write that reached the card, completed or stopped:
    // the entry (when a block got there) goes into the directory and the
    // directory onto the card; the front end is only told how that went.
    auto store_entry = [&](std::uint8_t last_slot) {
        if (write.BlocksWritten > 0) {
            DirEntry& entry = records[static_cast<std::size_t>(write.EntryIndex)];
            entry = EntryOf(write.StartUnit, write.BlocksWritten, last_slot, job.FileName);
            device.Directory.Header.FileCount = static_cast<std::uint8_t>(device.Directory.Header.FileCount + 1);
            result.Recorded = true;
            result.Entry = entry;
        }
        job.Source.Close();
        Status stored = device.WriteDirectory(device.Directory);
        if (stored) stored = device.Flush();
        write.DirectoryStatus = stored;
        write.DirectoryStored = stored.ok();
        write.CardWriteBusy = false;
        // A card without the entry is not announced as written.
        if (!stored) write.WriteFinished = false;
        return stored.ok();
    };

    // Stop: the blocks handed to the card so far get there, the held and
    // current blocks are dropped; the entry describes what is on the card.
    auto stop_path = [&](CardWriteStop reason, Words message) {
        const Status flushed = batch.Flush();
        write.BlocksWritten = batch.UnitsOnCard();
        write.WriteFinished = true;
        result.Ending = CardWriteEnding::Stopped;
        result.StopReason = reason;
        result.Message = std::move(message);
        if (!flushed) {
            result.StopReason = batch.CardGone()          ? CardWriteStop::CardRemoved
                                : batch.ReachedCardEnd() ? CardWriteStop::CardFull
                                                         : CardWriteStop::WriteFailed;
            result.Message = flushed.words();
        }
        result.PacketsStored = packer.PacketsStored();
        result.BlocksWritten = write.BlocksWritten;
        result.PacketsOnCard = write.BlocksWritten * kSlotsPerBlock;
        result.NullRuns = packer.NullRuns();
        const bool stored = store_entry(0);  // every block on the card is full
        events.Signal(EventId::evBreakWrite);
        events.Signal(stored ? EventId::CompleteWriteFile : EventId::CompleteErrWriteFile);
        events.Signal(EventId::evRefreshGauge);
        return result;
    };

    const PackEnd packed = PackSource(packer, job.Source, job.StartOffset, [&](std::uint64_t windows) {
        progress_position_.store(windows, std::memory_order_release);
        events.Signal(EventId::ChangeProgressPosG1);
        return !stop.TakeIfSet() && !batch.Failed();
    });
    if (!packed.Read) return stop_path(CardWriteStop::SourceFailed, packed.Read.words());
    if (packed.Stopped) return stop_path(CardWriteStop::Operator, std::string());
    // A block that failed in the last window or at the end stops the write
    // as well: the entry must describe only what is on the card. So does a
    // card that went after its last batch.
    if (!batch.Flush() || !batch.CheckCard()) return stop_path(CardWriteStop::Operator, std::string());

    const std::uint64_t packets = packer.PacketsStored();
    write.BlocksWritten = batch.UnitsOnCard();
    write.WriteFinished = true;
    result.Ending = CardWriteEnding::Complete;
    result.PacketsStored = packets;
    result.PacketsOnCard = packets;
    result.BlocksWritten = write.BlocksWritten;
    result.NullRuns = packer.NullRuns();
    // A source without a packet to store puts no block on the card and
    // gets no entry.
    const bool stored = store_entry(write.BlocksWritten > 0 ? ExtentOfPackets(packets).LastSlot : 0);
    events.Signal(stored ? EventId::CompleteWriteFile : EventId::CompleteErrWriteFile);
    events.Signal(EventId::evRefreshGauge);
    stop.Clear();
    return result;
}

}  // namespace tscard
