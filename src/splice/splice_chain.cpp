#include "splice/splice_chain.h"

#include <algorithm>

#include "platform/file_identity.h"
#include "ts/packet.h"

namespace tscard {

SpliceChain::SpliceChain(StickJob& job, EventSink& events, StopFlag& stop) : job_(job), events_(events), stop_(stop) {}

SpliceChain::~SpliceChain() {
    JoinWorker();
    if (job_.Splicing && !finished_.load(std::memory_order_acquire)) job_.Splicing = false;
}

void SpliceChain::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

Status SpliceChain::Start() {
    if (job_.Splicing) return Status::Fail(job_.OutputPath + ": refused, a splice is in progress");
    if (!job_.OutputFile.IsOpen()) return Status::Fail("no output file is set up for the splice");
    JoinWorker();
    const auto output = IdentityOf(job_.OutputFile);
    std::uint64_t maximum = 1;
    for (std::int32_t i = 0; i < job_.FileCount; ++i) {
        StickFileEntry& entry = job_.Files[static_cast<std::size_t>(i)];
        if (output && IdentityOf(entry.Handle) == output)
            return Status::Fail(entry.Path + ": is the output of the splice; it cannot be one of its inputs");
        if (Status st = SizeSpliceEntry(entry); !st) return st;
        maximum += entry.Blocks;
    }
    // Appending goes after whatever the output holds now.
    std::uint64_t start = 0;
    if (Status st = job_.OutputFile.Size(start); !st) return st;
    job_.OutputStart = start;

    job_.Splicing = true;
    write_offset_ = start;
    last_write_separator_ = false;
    copy_status_ = Status::Ok();
    copy_stopped_ = false;
    copy_complete_ = false;
    result_ = SpliceResult{};
    StickNext.store(0, std::memory_order_release);
    StickBlocks.store(0, std::memory_order_release);
    maximum_.store(maximum, std::memory_order_release);
    current_.store(-1, std::memory_order_release);
    output_bytes_.store(start, std::memory_order_release);
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
    // taken here, so that the front end may show the row meanwhile.
    if (Status st = SizeSpliceEntry(job_.Files[static_cast<std::size_t>(row)]); !st) {
        copy_status_ = st;
        StickNext.store(job_.FileCount, std::memory_order_release);
        events_.Signal(EventId::evStickCloseFile);
        return;
    }
    worker_ = std::thread([this, row] { CopyRow(row); });
}

void SpliceChain::CopyRow(std::int32_t row) {
    StickFileEntry& entry = job_.Files[static_cast<std::size_t>(row)];
    auto end_chain = [&] {
        StickNext.store(job_.FileCount, std::memory_order_release);
        events_.Signal(EventId::evStickCloseFile);
    };
    auto copy = [&](std::uint64_t in_offset, std::uint64_t len, std::uint64_t& copied) {
        copy_status_ = copier_.Copy(entry.Handle, in_offset, job_.OutputFile, write_offset_, len, copied);
        write_offset_ += copied;
        if (copied > 0) last_write_separator_ = false;
        output_bytes_.store(write_offset_, std::memory_order_release);
        return copy_status_.ok();
    };

    std::uint64_t in_offset = 0;
    bool input_ended = false;
    for (std::uint64_t b = 0; b < entry.Blocks && !input_ended;) {
        const std::uint64_t step = std::min(kSpliceBlocksPerStep, entry.Blocks - b);
        StickBlocks.fetch_add(step, std::memory_order_acq_rel);
        if (stop_.IsSet()) {
            copy_stopped_ = true;
            return end_chain();
        }
        events_.Signal(EventId::evStickRefreshGauge);
        const std::uint64_t len = step * kSpliceBlockSize;
        std::uint64_t copied = 0;
        if (!copy(in_offset, len, copied)) return end_chain();
        in_offset += copied;
        input_ended = copied < len;  // the file shrank meanwhile
        b += step;
    }
    if (entry.TailBytes != 0 && !input_ended) {
        StickBlocks.fetch_add(1, std::memory_order_acq_rel);
        events_.Signal(EventId::evStickRefreshGauge);
        std::uint64_t copied = 0;
        if (!copy(in_offset, entry.TailBytes, copied)) return end_chain();
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
    if (copy_status_) {
        const Packet& separator = SeparatorPacket();
        copy_status_ = job_.OutputFile.WriteAt(write_offset_, separator.data(), separator.size());
        if (copy_status_) {
            write_offset_ += separator.size();
            last_write_separator_ = true;
            output_bytes_.store(write_offset_, std::memory_order_release);
        } else {
            StickNext.store(job_.FileCount, std::memory_order_release);
        }
    }
    events_.Signal(EventId::evStickOpenFile);
}

void SpliceChain::Finish() {
    Status status = copy_status_;
    // Only the separator this splice wrote after its last file goes; what
    // the output held before is never cut.
    if (last_write_separator_ && write_offset_ >= job_.OutputStart + kPacketSize) {
        write_offset_ -= kPacketSize;
        if (Status st = job_.OutputFile.Truncate(write_offset_); !st && status) status = st;
        last_write_separator_ = false;
    }
    if (Status st = job_.OutputFile.Close(); !st && status) status = st;
    output_bytes_.store(write_offset_, std::memory_order_release);

    result_.OutputSize = write_offset_;
    if (!status) {
        result_.Ending = SpliceEnding::Failed;
        result_.Message = status.message();
    } else if (copy_stopped_) {
        result_.Ending = SpliceEnding::Stopped;
        result_.Message = job_.OutputPath + ": splice stopped; the output keeps what was copied";
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
