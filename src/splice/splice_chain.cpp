#include "splice/splice_chain.h"

#include <algorithm>

#include "platform/file_identity.h"
#include "platform/output_file.h"
#include "ts/packet.h"

namespace tscard {
namespace {

Words UnitText(std::uint32_t unit) {
    return unit == kUnit192Size ? Words(N_("192-byte units")) : Words(N_("%1-byte packets"), {std::to_string(unit)});
}

// Where the packet (unit) that `offset` falls in ends, counted from the
// file's first packet; never past the end of the file.
std::uint64_t PacketEnd(const StickFileEntry& entry, std::uint64_t offset, std::uint64_t size) {
    if (entry.UnitSize == 0 || offset <= entry.FirstPacket) return offset;
    const std::uint64_t into = (offset - entry.FirstPacket) % entry.UnitSize;
    return std::min(into == 0 ? offset : offset + (entry.UnitSize - into), size);
}

}  // namespace

SpliceChain::SpliceChain(StickJob& job, EventSink& events, StopFlag& stop) : job_(job), events_(events), stop_(stop) {}

SpliceChain::~SpliceChain() {
    JoinWorker();
    if (job_.Splicing && !finished_.load(std::memory_order_acquire)) {
        // Never finished: nothing is kept, an existing output stays as it was.
        job_.Output.Discard();
        job_.Splicing = false;
    }
}

void SpliceChain::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

Status SpliceChain::Start() {
    if (job_.Splicing) return Status::Fail(Words(N_("%1: refused, a splice is in progress"), {job_.OutputPath}));
    if (job_.OutputPath.empty()) return Status::Fail(Words(N_("no output file is set up for the splice")));
    JoinWorker();
    const auto output = OutputIdentity(job_.OutputPath);
    std::uint64_t maximum = 1;
    // Every file must hold packets of the first one's size: joined, they
    // are read as one stream.
    for (std::int32_t i = 0; i < job_.FileCount; ++i) {
        StickFileEntry& entry = job_.Files[static_cast<std::size_t>(i)];
        if (output && IdentityOf(entry.Handle) == output)
            return Status::Fail(OutputAsInput(entry.Path));
        if (Status st = SizeSpliceEntry(entry); !st) return st;
        if (Status st = ProbeSpliceEntry(entry); !st) return st;
        const StickFileEntry& first = job_.Files[0];
        if (entry.UnitSize != first.UnitSize)
            return Status::Fail(Words(N_("%1: holds %2, the first file (%3) %4; only streams of one packet size can be "
                                         "spliced"),
                                      {entry.Path, UnitText(entry.UnitSize), first.Path, UnitText(first.UnitSize)}));
        maximum += entry.Blocks;
    }
    // The output is opened by the first copy worker (a FIFO waits there for
    // its reader, not in the front end).
    job_.Output.Discard();

    job_.Splicing = true;
    write_offset_ = 0;
    copy_status_ = Status::Ok();
    copy_stopped_ = false;
    copy_complete_ = false;
    result_ = SpliceResult{};
    StickNext.store(0, std::memory_order_release);
    StickBlocks.store(0, std::memory_order_release);
    maximum_.store(maximum, std::memory_order_release);
    current_.store(-1, std::memory_order_release);
    output_bytes_.store(job_.OutputStart, std::memory_order_release);
    finished_.store(false, std::memory_order_release);
    events_.Signal(EventId::evStickOpenFile);
    return Status::Ok();
}

bool SpliceChain::OnOpenFile() {
    JoinWorker();
    if (finished_.load(std::memory_order_acquire)) return true;
    if (!job_.Splicing) return false;
    const std::int32_t row = StickNext.load(std::memory_order_acquire);
    if (row >= job_.FileCount) {
        Finish();
        return true;
    }
    OpenFile(row);
    return false;
}

void SpliceChain::OpenFile(std::int32_t row) {
    current_.store(row, std::memory_order_release);
    copy_stopped_ = false;
    copy_complete_ = false;
    // Advanced before the worker starts, so that a worker stopping at once
    // (which points StickNext past the list) has the last word.
    StickNext.store(row + 1, std::memory_order_release);
    // The size counts as it is now, not as it was when the file was added;
    // taken here, so that the front end may show the row meanwhile. A file
    // may have grown since the splice started, but one that shrank lost
    // what the operator chose to join.
    StickFileEntry& entry = job_.Files[static_cast<std::size_t>(row)];
    const std::uint64_t started = entry.Blocks * kSpliceBlockSize + entry.TailBytes;
    Status st = SizeSpliceEntry(entry);
    if (st && entry.Blocks * kSpliceBlockSize + entry.TailBytes < started) st = ShrankStatus(entry.Handle, started);
    if (!st) {
        copy_status_ = st;
        StickNext.store(job_.FileCount, std::memory_order_release);
        events_.Signal(EventId::evStickCloseFile);
        return;
    }
    worker_ = std::thread([this, row] { CopyRow(row); });
}

bool SpliceChain::OpenOutput() {
    if (job_.Output.IsOpen()) return true;
    copy_status_ = job_.Output.Open(job_.OutputPath, SpliceOutputRules(job_.Mode), &stop_);
    if (!copy_status_) {
        // Stopped while a FIFO waited for its reader: nothing was written.
        if (stop_.IsSet()) {
            copy_status_ = Status::Ok();
            copy_stopped_ = true;
        }
        return false;
    }
    job_.OutputStart = job_.Output.StartOffset();
    write_offset_ = job_.OutputStart;
    output_bytes_.store(write_offset_, std::memory_order_release);
    return true;
}

void SpliceChain::CopyRow(std::int32_t row) {
    StickFileEntry& entry = job_.Files[static_cast<std::size_t>(row)];
    auto end_chain = [&] {
        StickNext.store(job_.FileCount, std::memory_order_release);
        events_.Signal(EventId::evStickCloseFile);
    };
    auto copy = [&](std::uint64_t in_offset, std::uint64_t len, std::uint64_t& copied) {
        copy_status_ = copier_.Copy(entry.Handle, in_offset, job_.Output.Output(), write_offset_, len, copied);
        write_offset_ += copied;
        output_bytes_.store(write_offset_, std::memory_order_release);
        return copy_status_.ok();
    };

    if (!OpenOutput()) return end_chain();
    // Every file but the first follows a separator: written here, in front
    // of it, so that the output never has to be cut (a pipe cannot be).
    if (row > 0) {
        const Packet& separator = SeparatorPacket();
        copy_status_ = job_.Output.Output().WriteAt(write_offset_, separator.data(), separator.size());
        if (!copy_status_) return end_chain();
        write_offset_ += separator.size();
        output_bytes_.store(write_offset_, std::memory_order_release);
    }

    // The file's size when its copy began: a file that ends before it
    // shrank meanwhile, and the splice fails rather than join a part of it.
    const std::uint64_t size = entry.Blocks * kSpliceBlockSize + entry.TailBytes;
    std::uint64_t in_offset = 0;
    auto copy_whole = [&](std::uint64_t len) {
        std::uint64_t copied = 0;
        if (!copy(in_offset, len, copied)) return false;
        in_offset += copied;
        if (copied == len) return true;
        copy_status_ = ShrankStatus(entry.Handle, size);
        return false;
    };
    for (std::uint64_t b = 0; b < entry.Blocks;) {
        const std::uint64_t step = std::min(kSpliceBlocksPerStep, entry.Blocks - b);
        StickBlocks.fetch_add(step, std::memory_order_acq_rel);
        if (stop_.IsSet()) {
            // The output ends on a whole packet: the one in hand is copied
            // to its end.
            if (!copy_whole(PacketEnd(entry, in_offset, size) - in_offset)) return end_chain();
            copy_stopped_ = true;
            return end_chain();
        }
        events_.Signal(EventId::evStickRefreshGauge);
        if (!copy_whole(step * kSpliceBlockSize)) return end_chain();
        b += step;
    }
    if (entry.TailBytes != 0) {
        StickBlocks.fetch_add(1, std::memory_order_acq_rel);
        events_.Signal(EventId::evStickRefreshGauge);
        if (!copy_whole(entry.TailBytes)) return end_chain();
    }
    copy_complete_ = true;
    events_.Signal(EventId::evStickCloseFile);
}

void SpliceChain::OnCloseFile() {
    JoinWorker();
    if (!job_.Splicing) return;
    const std::int32_t row = current_.load(std::memory_order_acquire);
    if (row >= 0 && row < job_.FileCount) job_.Files[static_cast<std::size_t>(row)].Handle.CloseQuietly();
    if (copy_complete_) ++result_.FilesCopied;
    if (!copy_status_) StickNext.store(job_.FileCount, std::memory_order_release);
    events_.Signal(EventId::evStickOpenFile);
}

void SpliceChain::Finish() {
    Status status = copy_status_;
    const bool wrote = job_.Output.IsOpen() && write_offset_ > job_.OutputStart;
    const bool in_place = job_.Output.InPlace();
    bool kept = false;
    if (!status || (copy_stopped_ && !wrote)) {
        // A failure takes back what can be taken back; a stop before the
        // first byte leaves the output as it was.
        job_.Output.Discard();
    } else if (job_.Output.IsOpen()) {
        if (Status st = job_.Output.Commit(); !st) status = st;
        kept = status.ok();
    }
    output_bytes_.store(write_offset_, std::memory_order_release);

    result_.OutputSize = kept ? write_offset_ : 0;
    if (!status) {
        result_.Ending = SpliceEnding::Failed;
        result_.Message = status.words();
        // A pipe or device cannot be taken back.
        if (in_place && wrote)
            result_.Message = Words(N_("%1; what was written to %2 stays there"), {result_.Message, job_.OutputPath});
    } else if (copy_stopped_) {
        result_.Ending = SpliceEnding::Stopped;
        result_.Message =
            kept ? Words(N_("%1: splice stopped; the output keeps what was copied"), {job_.OutputPath})
                 : Words(N_("%1: splice stopped before anything was copied; the output is left as it was"),
                         {job_.OutputPath});
    } else {
        result_.Ending = SpliceEnding::Complete;
    }
    job_.Splicing = false;
    finished_.store(true, std::memory_order_release);
}

SpliceProgress SpliceChain::Progress() const {
    SpliceProgress p;
    p.Blocks = StickBlocks.load(std::memory_order_acquire);
    p.Maximum = maximum_.load(std::memory_order_acquire);
    p.CurrentIndex = current_.load(std::memory_order_acquire);
    p.OutputBytes = output_bytes_.load(std::memory_order_acquire);
    return p;
}

}  // namespace tscard
