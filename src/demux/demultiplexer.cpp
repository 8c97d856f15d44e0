#include "demux/demultiplexer.h"

#include <algorithm>
#include <memory>

#include "analysis/analyzer.h"
#include "demux/demux_output.h"
#include "demux/demux_routing.h"
#include "platform/file_identity.h"
#include "platform/hex_text.h"
#include "ts/packet.h"
#include "ts/unit_reader.h"

namespace tscard {
namespace {

// Input read per system call: one progress step of packets. Each output
// gathers its packets into 16 KiB writes: large enough to keep system calls
// few, small enough that the file cache takes them in small pages, which
// bench/demux_splice_bench.sh measured faster than 64 KiB or 1 MiB writes.
constexpr std::size_t kReadPackets = kDemuxProgressPackets;
constexpr std::size_t kWriteBlock = 16 * 1024;

std::string SourceName(const StreamState& state) {
    if (!state.Path.empty()) return state.Path;
    if (!state.DemuxInput.Path().empty()) return state.DemuxInput.Path();
    return "the stream";
}

// The files of the outputs, each written through its own large buffer.
class OutputWriters {
public:
    explicit OutputWriters(std::vector<DemuxOutput>& outputs) : outputs_(outputs), packets_(outputs.size(), 0) {
        for (DemuxOutput& out : outputs)
            writers_.push_back(std::make_unique<BlockWriter>(out.Output->Output(), 0, kWriteBlock));
    }

    std::size_t Count() const { return writers_.size(); }
    void Write(std::size_t i, const std::uint8_t* packet) {
        writers_[i]->Write(packet, kPacketSize);
        ++packets_[i];
    }
    void WriteNull(std::size_t i) { Write(i, NullPacket().data()); }

    // The first write error of any output, naming its file.
    Status FirstError() const {
        for (const auto& w : writers_)
            if (w->Failed()) return w->LastStatus();
        return Status::Ok();
    }
    // Flushes every file and keeps them all, or, when one fails (or
    // keep is false), takes them all back; the first failure is reported.
    Status Close(bool keep) {
        Status first;
        for (const auto& writer : writers_) {
            Status flushed = writer->Flush();
            if (first && !flushed) first = flushed;
        }
        if (keep && first) return CommitDemuxOutputs(outputs_);
        DiscardDemuxOutputs(outputs_);
        return first;
    }
    const std::vector<std::uint64_t>& Packets() const { return packets_; }

private:
    std::vector<DemuxOutput>& outputs_;
    std::vector<std::unique_ptr<BlockWriter>> writers_;
    std::vector<std::uint64_t> packets_;
};

// One input packet through the rules. Null packets of the input are
// dropped before this when stuffing is removed.
void RoutePacket(const std::uint8_t* packet, const DemuxRoute& route, bool remove_stuffing,
                 std::vector<DemuxOutput>& outputs, OutputWriters& writers, unsigned& sdt_counter) {
    const std::size_t count = writers.Count();
    switch (route.Rule) {
        case DemuxRule::Pat:
            for (std::size_t i = 0; i < count; ++i) writers.Write(i, outputs[i].PatPacket.data());
            return;
        case DemuxRule::Sdt:
            sdt_counter = (sdt_counter + 1) & 0x0F;
            for (std::size_t i = 0; i < count; ++i) {
                SetContinuityCounter(outputs[i].SdtPacket.data(), sdt_counter);
                writers.Write(i, outputs[i].SdtPacket.data());
            }
            return;
        case DemuxRule::Pcr:
        case DemuxRule::Pmt: {
            const std::uint8_t* own = route.Rule == DemuxRule::Pcr ? packet : outputs[route.Target].PmtPacket.data();
            for (std::size_t i = 0; i < count; ++i) {
                if (i == route.Target)
                    writers.Write(i, own);
                else if (!remove_stuffing)
                    writers.WriteNull(i);
            }
            return;
        }
        case DemuxRule::Es:
            for (std::size_t i = 0; i < count; ++i) {
                if ((route.Mask >> i) & 1)
                    writers.Write(i, packet);
                else if (!remove_stuffing)
                    writers.WriteNull(i);
            }
            return;
        case DemuxRule::Other:
            if (!remove_stuffing)
                for (std::size_t i = 0; i < count; ++i) writers.WriteNull(i);
            return;
    }
}

DemuxResult Refused(Words message) {
    DemuxResult refused;
    refused.Ending = DemuxEnding::Refused;
    refused.Message = std::move(message);
    return refused;
}

Words BusyMessage(const StreamState& state) {
    return Words(N_("%1: refused, a split is already in progress"), {SourceName(state)});
}

}  // namespace

Status CheckDemuxRun(const StreamState& state, const DemuxSettings& settings) {
    const std::vector<ProgramRemap>& programs = state.Lists.ProgramList;
    if (programs.empty() || !state.DemuxInput.IsOpen())
        return Status::Fail(Words(N_("%1: no analysed stream to split; open and analyse it (parse mode) first"),
                                  {SourceName(state)}));
    if (state.Lists.ProgramNumbers.size() == 1 || programs.size() == 1)
        return Status::Fail(Words(N_("%1: %2"), {SourceName(state), Words(kOnlyOneProgramMessage)}));
    if (settings.OutputFolder.empty()) return Status::Fail(Words(kSelectDemuxFolderMessage));
    const std::string source = SourceName(state);
    const std::vector<DemuxOutput> outputs = SelectedDemuxOutputs(programs, settings.OutputFolder);
    if (outputs.size() > kMaxDemuxOutputs)
        return Status::Fail(Words(N_("%1: %2 programs selected; at most %3 can be split in one run"),
                                  {source, std::to_string(outputs.size()), std::to_string(kMaxDemuxOutputs)}));
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (outputs[j].ProgramNumber == outputs[i].ProgramNumber)
                return Status::Fail(Words(N_("%1: two selected programs have the program number %2 and would both be "
                                             "written to %3; select only one of them"),
                                          {source, HexText(outputs[i].ProgramNumber, 4), outputs[i].Path}));
        }
    }
    const auto input = IdentityOf(state.DemuxInput);
    for (const DemuxOutput& out : outputs) {
        if (input && IdentityOf(out.Path) == input)
            return Status::Fail(Words(N_("%1: is the stream being split; choose another output folder"), {out.Path}));
    }
    return Status::Ok();
}

Demultiplexer::~Demultiplexer() { run_.Join(); }

DemuxResult Demultiplexer::Run(StreamState& state, const DemuxSettings& settings, EventSink& events,
                               StopFlag& stop) {
    DemuxResult result;
    const Status ran = run_.RunHere(
        BusyMessage(state), [&] { return RunClaimed(state, settings, events, stop); }, result,
        [&] { return CheckDemuxRun(state, settings); });
    return ran ? result : Refused(ran.words());
}

Status Demultiplexer::Start(StreamState& state, const DemuxSettings& settings, EventSink& events, StopFlag& stop) {
    return run_.RunOnThread(
        BusyMessage(state),
        [this, &state, &settings, &events, &stop] { return RunClaimed(state, settings, events, stop); },
        [&] { return CheckDemuxRun(state, settings); });
}

DemuxResult Demultiplexer::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no split was started");
}

DemuxResult Demultiplexer::RunClaimed(StreamState& state, const DemuxSettings& settings, EventSink& events,
                                      StopFlag& stop) {
    DemuxResult result;
    std::vector<DemuxOutput> outputs = SelectedDemuxOutputs(state.Lists.ProgramList, settings.OutputFolder);
    for (const DemuxOutput& out : outputs) result.OutputFiles.push_back(out.Path);

    // Every ending but a refusal passes here: files closed, the description
    // used up, the front end told once everything is on disk.
    auto end_run = [&](DemuxEnding ending, Words message) {
        result.Ending = ending;
        result.Message = std::move(message);
        if (ending == DemuxEnding::Complete) {
            state.Lists.Clear();
            stop.Clear();
        } else {
            state.Lists.ProgramList.clear();
        }
        state.DemuxInput.CloseQuietly();
        events.Signal(EventId::evRefreshGauge);
        return std::move(result);
    };

    // The stop flag is the starter's to clear: a stop asked for between the
    // start and this line must not be lost.
    const std::size_t unit = state.Packet192Mode ? kUnit192Size : kPacketSize;
    const std::size_t prefix = unit - kPacketSize;
    const File& input = state.DemuxInput;
    const std::string source = state.DemuxInput.Path();
    std::uint64_t offset = static_cast<std::uint64_t>(std::max<std::int64_t>(state.SyncOffset, 0));

    // The size the analysis went by: a file that ends before it shrank.
    std::uint64_t size = static_cast<std::uint64_t>(std::max<std::int64_t>(state.Layout.StartOffset, 0)) +
                         state.Layout.RemainingBytes;
    if (size == 0) {
        if (Status st = input.Size(size); !st) return end_run(DemuxEnding::Failed, st.words());
    }
    const std::uint64_t packets = size > offset ? (size - offset) / unit : 0;
    progress_maximum_.store(packets / kDemuxProgressPackets + 1, std::memory_order_release);
    progress_position_.store(0, std::memory_order_release);

    if (Status st = OpenDemuxOutputs(outputs, stop); !st) {
        if (stop.IsSet()) return end_run(DemuxEnding::Stopped, source + ": split stopped before a file was written");
        return end_run(DemuxEnding::Failed, st.words());
    }
    OutputWriters writers(outputs);
    auto close_outputs = [&](DemuxEnding ending, Words message) {
        Status closed = writers.Close(ending != DemuxEnding::Failed);
        result.PacketsWritten = writers.Packets();
        if (!closed && ending != DemuxEnding::Failed) return end_run(DemuxEnding::Failed, closed.words());
        return end_run(ending, std::move(message));
    };

    // Every file begins with its PAT and PMT.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        writers.Write(i, outputs[i].PatPacket.data());
        writers.Write(i, outputs[i].PmtPacket.data());
    }

    const DemuxRouting routing(outputs);
    UnitReader reader(input, offset, unit, kReadPackets, size);
    unsigned sdt_counter = 0;
    std::uint64_t read = 0;
    for (;;) {
        if (stop.IsSet()) {
            result.PacketsRead = read;
            return close_outputs(DemuxEnding::Stopped, source + ": split stopped; the files keep what was written");
        }
        if (read % kDemuxProgressPackets == 0) {
            progress_position_.fetch_add(1, std::memory_order_acq_rel);
            events.Signal(EventId::ChangeProgressPosG4);
        }
        // Write failures are looked at once per read block.
        if (read % kReadPackets == 0) {
            if (Status st = writers.FirstError(); !st) return close_outputs(DemuxEnding::Failed, st.words());
        }
        // A short read is the end of the file; what is left of a partial
        // packet there is not written.
        const std::uint8_t* const unit_start = reader.Next();
        if (unit_start == nullptr) {
            if (reader.Failed()) {
                result.PacketsRead = read;
                return close_outputs(DemuxEnding::Failed, reader.Error());
            }
            break;
        }
        const std::uint8_t* packet = unit_start + prefix;
        ++read;
        const std::uint16_t pid = FoldPid(packet);
        const bool remove_stuffing = settings.RemoveStuffing.load(std::memory_order_relaxed);
        if (remove_stuffing && pid == kNullPid) continue;
        RoutePacket(packet, routing.For(pid), remove_stuffing, outputs, writers, sdt_counter);
    }
    result.PacketsRead = read;
    return close_outputs(DemuxEnding::Complete, std::string());
}

}  // namespace tscard
