#include "analysis/analyzer.h"

#include <algorithm>
#include <filesystem>

#include "analysis/stream_summary.h"
#include "platform/file_io.h"
#include "platform/source_reader.h"
#include "platform/hex_text.h"
#include "psi/psi_reader.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

// Decides when the scan may end. The description is complete on the packet
// that reads the last PMT; the scan then goes on for the SDT (a common muxer
// order is SDT, PAT, PMT, so it usually came first) until it is read, or a
// PCR 2 s after the first one seen on its PID since completion, or 1 MiB
// more has been scanned.
class DescriptionWatch {
public:
    // Called after each packet handed to ProcessPacket; true when done.
    bool AfterPacket(const StreamAnalysis& analysis, const ResultLists& lists, const std::uint8_t* packet,
                     std::size_t unit) {
        if (!complete_) {
            if (!DescriptionComplete(analysis, lists)) return false;
            complete_ = true;
            return analysis.SdtDone || analysis.SdtState == kPsiComplete;
        }
        bytes_after_ += unit;
        // Read, or refused for good (a section too long to read).
        if (analysis.SdtDone || analysis.SdtState == kPsiComplete) return true;
        if (HasPcr(packet)) {
            const std::uint16_t pid = FoldPid(packet);
            const std::uint64_t pcr = PcrTicks(packet);
            if (!have_pcr_) {
                have_pcr_ = true;
                pcr_pid_ = pid;
                first_pcr_ = pcr;
            } else if (pid == pcr_pid_) {
                if (pcr < first_pcr_)
                    first_pcr_ = pcr;  // went backwards: count again from here
                else if (pcr - first_pcr_ >= kSdtWaitTicks)
                    return true;
            }
        }
        return bytes_after_ >= kSdtWaitBytes;
    }
    bool Complete() const { return complete_; }

private:
    bool complete_ = false;
    std::uint64_t bytes_after_ = 0;
    bool have_pcr_ = false;
    std::uint16_t pcr_pid_ = 0;
    std::uint64_t first_pcr_ = 0;
};

// The PIDs that carry PCRs, in the order of their first PCR from where the
// stream starts: a PMT may name no PCR PID (0x1FFF), or one that never
// carries a PCR, while the PCRs ride on one of the program's streams.
class PcrSightings {
public:
    void See(const std::uint8_t* packet) {
        if (!HasPcr(packet) || TransportErrorIndicator(packet)) return;
        const std::uint16_t pid = FoldPid(packet);
        if (pids_.size() < kMaxPids && !Seen(pid)) pids_.push_back(pid);
    }
    bool Seen(std::uint16_t pid) const { return std::find(pids_.begin(), pids_.end(), pid) != pids_.end(); }

    // The program's PCR PID: the one its PMT names when a PCR was seen
    // there; otherwise the first of its streams to carry a PCR; otherwise
    // the one its PMT names.
    std::uint16_t PcrPidOf(const ProgramEntry& program) const {
        if (program.PcrPid != kNullPid && Seen(program.PcrPid)) return program.PcrPid;
        for (std::uint16_t pid : pids_)
            for (const EsEntry& stream : program.Streams)
                if (stream.Pid == pid) return pid;
        return program.PcrPid;
    }
    // True when more of the stream cannot change PcrPidOf.
    bool Settled(const ProgramEntry& program) const {
        if (program.PcrPid != kNullPid) return Seen(program.PcrPid);
        return PcrPidOf(program) != kNullPid;
    }

private:
    static constexpr std::size_t kMaxPids = 64;
    std::vector<std::uint16_t> pids_;
};

enum ScanCode : int { kScanComplete = 0, kScanStopped = 106, kScanExhausted = 125 };

// Once the description is complete (and the SDT read or given up), the
// scan goes on, reading no more PSI, until every program's PCR PID is
// settled or this many bytes more have been scanned.
constexpr std::uint64_t kPcrWaitBytes = 4 * 1048576;

struct ScanState {
    DescriptionWatch watch;
    PcrSightings pcrs;
    bool described = false;        // the watch is satisfied: PSI is read no more
    std::uint64_t pcr_wait = 0;   // bytes scanned since
};

bool PcrPidsSettled(const ResultLists& lists, const PcrSightings& pcrs) {
    return std::all_of(lists.ParsedPrograms.begin(), lists.ParsedPrograms.end(),
                       [&](const ProgramEntry& program) { return pcrs.Settled(program); });
}

// Hands every whole unit of [pos, end) to ProcessPacket and advances pos
// past them. A unit that runs past end is left for the next window.
int ScanWindow(const std::uint8_t* base, std::uint64_t& pos, std::uint64_t end, std::size_t unit,
               StreamAnalysis& analysis, ResultLists& lists, StopFlag& stop, ScanState& scan) {
    const std::size_t prefix = unit - kPacketSize;
    while (pos + unit <= end) {
        const std::uint8_t* packet = base + pos + prefix;
        pos += unit;
        // Polled here with a plain load, cleared only once seen: a clearing
        // exchange per packet would cost more than the rest of the scan.
        if (stop.IsSet() && stop.TakeIfSet()) return kScanStopped;
        scan.pcrs.See(packet);
        if (!scan.described) {
            ProcessPacket(analysis, lists, packet, nullptr, true);
            if (!scan.watch.AfterPacket(analysis, lists, packet, unit)) continue;
            scan.described = true;
        } else {
            scan.pcr_wait += unit;
        }
        if (scan.pcr_wait >= kPcrWaitBytes || PcrPidsSettled(lists, scan.pcrs)) return kScanComplete;
    }
    return kScanExhausted;
}

Words MissingDescriptionText(const StreamAnalysis& analysis, const ResultLists& lists) {
    if (!analysis.PatDone) return Words(N_("no PAT before the end of the file"));
    if (lists.ProgramNumbers.empty()) return Words(N_("the PAT announces no program"));
    std::string missing;
    for (const ProgramEntry& entry : analysis.PatPrograms) {
        if (entry.PmtRead) continue;
        if (!missing.empty()) missing += ", ";
        missing += "0x" + HexDigits(entry.ProgramNumber, 4);
    }
    return Words(N_("no PMT before the end of the file for program %1"), {missing});
}

// The service names of program_number, with the defaults for names the
// SDT leaves empty.
SdtNames LookUpNames(const StreamAnalysis& analysis, std::uint16_t program_number) {
    SdtNames names = FindServiceNames(analysis, program_number);
    if (!names.Found) return names;
    if (names.Provider.empty()) names.Provider = "DemoStream";
    if (names.Name.empty()) names.Name = "DemoChannel";
    return names;
}

void SetNames(ProgramRemap& current, ProgramRemap& program, const SdtNames& names) {
    if (names.Found) {
        for (ProgramRemap* r : {&current, &program}) {
            r->SourceProvider = names.Provider;
            r->SourceName = names.Name;
            r->TargetProvider = names.Provider;
            r->TargetName = names.Name;
        }
        return;
    }
    // A program missing from the SDT gets the defaults as source and target.
    current.SourceProvider = current.TargetProvider = "Demo stream";
    program.SourceProvider = program.TargetProvider = "DemoStream";
    current.SourceName = current.TargetName = "DemoChannel";
    program.SourceName = program.TargetName = "DemoChannel";
}

// The description of a completed scan: content tree, ProgramList,
// CurrentRemap, PcrPids, KnownPids, IsH264Stream.
ContentNode BuildDescription(StreamState& state, AnalysisMode mode, const PcrSightings& pcrs) {
    StreamAnalysis& analysis = *state.Analysis;
    ResultLists& lists = state.Lists;
    ProgramRemap& current = state.CurrentRemap;
    const bool names_and_pids = mode == AnalysisMode::ModePrepare || mode == AnalysisMode::ModeParse;

    lists.KnownPids.clear();
    lists.KnownPids.push_back(analysis.PatDone ? kPatPid : kNullPid);
    lists.KnownPids.push_back(analysis.SdtDone ? kSdtPid : kNullPid);
    lists.PcrPids.clear();

    ContentNode root;
    root.Text = state.Layout.StreamFileName;

    current.SourceAudioPids.clear();
    current.SourcePesPids.clear();
    current.AllEsPids.clear();
    current.TargetAudioPids.clear();
    current.TargetPesPids.clear();
    lists.ProgramList.clear();

    for (std::size_t n = 0; n < lists.ParsedPrograms.size(); ++n) {
        const ProgramEntry& entry = lists.ParsedPrograms[n];
        const std::uint16_t pcr_pid = pcrs.PcrPidOf(entry);
        ProgramRemap program;
        ContentNode node;
        node.Text = ProgramNodeText(entry.ProgramNumber);
        node.Data = static_cast<std::uint8_t>(n);

        lists.PcrPids.push_back(pcr_pid);
        lists.KnownPids.push_back(pcr_pid);
        lists.KnownPids.push_back(entry.PmtPid);
        node.Children.push_back(ContentNode{PcrNodeText(pcr_pid), std::nullopt, {}});

        current.VideoStreamType = 0xFF;
        program.VideoStreamType = 0xFF;
        bool first = true;
        for (const EsEntry& stream : entry.Streams) {
            const std::uint8_t type = stream.StreamType;
            program.AllEsPids.push_back(stream.Pid);
            lists.KnownPids.push_back(stream.Pid);
            node.Children.push_back(ContentNode{StreamNodeText(stream), std::nullopt, {}});
            if (type == 0x01 || type == 0x02) current.VideoStreamType = program.VideoStreamType = 0x0F;
            if (type == 0x1B) state.IsH264Stream = true;
            if (!names_and_pids) continue;
            if (first) SetNames(current, program, LookUpNames(analysis, entry.ProgramNumber));
            first = false;
            for (ProgramRemap* r : {&current, &program}) {
                r->SourcePmtPid = r->TargetPmtPid = entry.PmtPid;
                r->SourceProgramNumber = r->TargetProgramNumber = entry.ProgramNumber;
                r->SourcePcrPid = r->TargetPcrPid = pcr_pid;
            }
            switch (type) {
                case 0x01:
                case 0x02:
                case 0x05:
                case 0x1B:
                    for (ProgramRemap* r : {&current, &program}) {
                        r->SourceVideoPid = r->TargetVideoPid = stream.Pid;
                        r->VideoStreamType = type;
                    }
                    current.PcrInVideo = current.SourceVideoPid == current.SourcePcrPid;
                    break;
                case 0x03:
                case 0x04:
                case 0x0F:
                    if (current.VideoStreamType == 0xFF) current.VideoStreamType = program.VideoStreamType = type;
                    for (ProgramRemap* r : {&current, &program}) {
                        r->SourceAudioPids.push_back(stream.Pid);
                        r->TargetAudioPids.push_back(stream.Pid);
                    }
                    break;
                case 0x06:
                    for (ProgramRemap* r : {&current, &program}) {
                        r->SourcePesPids.push_back(stream.Pid);
                        r->TargetPesPids.push_back(stream.Pid);
                    }
                    break;
                default: break;
            }
        }
        root.Children.push_back(std::move(node));
        lists.ProgramList.push_back(std::move(program));
    }
    return root;
}

void ForgetDescription(StreamState& state) {
    state.Analysis.reset();
    state.Lists.Clear();
    state.CurrentRemap = ProgramRemap{};
    state.IsH264Stream = false;
}

AnalysisResult Refused(Words message) {
    AnalysisResult refused;
    refused.Ending = AnalysisEnding::Refused;
    refused.Message = std::move(message);
    return refused;
}

Words BusyMessage(const AnalysisRequest& request) {
    return Words(N_("%1: refused, another analysis is in progress"), {request.Path});
}

}  // namespace

std::string ProgramNodeText(std::uint16_t program_number) {
    return "Programm number -0x" + HexDigits(program_number, 4) + ",content:";
}

std::string PcrNodeText(std::uint16_t pcr_pid) { return "Pid pcr -0x" + HexDigits(pcr_pid, 4); }

std::string StreamNodeText(const EsEntry& stream) {
    return "Pid stream -0x" + HexDigits(stream.Pid, 4) + ",type 0x" + HexDigits(stream.StreamType, 2) + "(" +
           std::string(StreamClassText(stream.StreamType));
}

Analyzer::~Analyzer() { run_.Join(); }

AnalysisResult Analyzer::Run(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop) {
    AnalysisResult result;
    const Status ran =
        run_.RunHere(BusyMessage(request), [&] { return RunClaimed(request, state, events, stop); }, result);
    return ran ? result : Refused(ran.words());
}

Status Analyzer::Start(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop) {
    return run_.RunOnThread(BusyMessage(request), [this, request, &state, &events, &stop] {
        return RunClaimed(request, state, events, stop);
    });
}

AnalysisResult Analyzer::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no analysis was started");
}

AnalysisResult Analyzer::RunClaimed(const AnalysisRequest& request, StreamState& state, EventSink& events,
                                    StopFlag& stop) {
    const std::string& path = request.Path;
    AnalysisResult result;
    File file;
    SourceFile source;

    // Every ending passes here: what this run opened is closed unless a
    // completed run hands it on, and the front end hears of it once.
    auto end_run = [&](AnalysisEnding ending, Words message) {
        result.Ending = ending;
        result.Message = std::move(message);
        if (ending != AnalysisEnding::Complete) {
            ForgetDescription(state);
            state.CardSource.Close();
            state.DemuxInput.CloseQuietly();
        }
        file.CloseQuietly();
        source.Close();
        state.AnalysisScanning = false;
        scanning_.store(false, std::memory_order_release);
        events.Signal(EventId::evRefreshGauge);
        return std::move(result);
    };

    // A new analysis replaces the previous description wholesale.
    progress_maximum_.store(0, std::memory_order_release);
    progress_position_.store(0, std::memory_order_release);
    state.CardSource.Close();
    state.DemuxInput.CloseQuietly();
    ForgetDescription(state);
    state.Analysis = std::make_unique<StreamAnalysis>();
    state.Packet192Mode = false;
    state.SyncOffset = 0;
    state.PrepareGaugeMax = 0;
    state.Layout = StreamLayout{};
    state.Layout.StreamFileName = std::filesystem::path(path).filename().string();
    state.Path = path;

    if (Status st = OpenStreamFile(path, file); !st) return end_run(AnalysisEnding::Failed, st.words());

    // Sync search.
    const PacketProbe probe = ProbePacketSize(file, &stop);
    switch (probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::Stopped: return end_run(AnalysisEnding::Stopped, Words(N_("%1: analysis stopped"), {path}));
        case ProbeOutcome::UnknownFormat:
            return end_run(AnalysisEnding::SyncFailed,
                           UnknownStreamFormat(path, probe.Message));
        case ProbeOutcome::Failed: return end_run(AnalysisEnding::Failed, probe.Message);
    }
    const std::size_t unit = probe.PacketSize;
    const std::size_t prefix = unit - kPacketSize;
    state.Packet192Mode = unit == kUnit192Size;
    state.SyncOffset = probe.SyncOffset;

    // The size the rest of the run goes by: measured now, after the probe.
    if (Status st = source.Open(std::move(file)); !st) return end_run(AnalysisEnding::Failed, st.words());
    const std::uint64_t size = source.Size();

    // Skip leading null packets. A file of nothing else ends the skip at
    // its last whole unit.
    std::uint64_t start = static_cast<std::uint64_t>(probe.SyncOffset);
    {
        WindowReader reader(source, start, WindowReader::kReadBytes);
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        std::size_t kept = 0;
        bool found = false;
        while (!found && reader.Next(kept, data, length)) {
            if (stop.TakeIfSet()) return end_run(AnalysisEnding::Stopped, Words(N_("%1: analysis stopped"), {path}));
            std::size_t pos = 0;
            for (; pos + unit <= length; pos += unit) {
                if (FoldPid(data + pos + prefix) != kNullPid) {
                    found = true;
                    break;
                }
            }
            start = reader.Position() - length + pos;
            kept = length - pos;
        }
        if (reader.Failed()) return end_run(AnalysisEnding::Failed, reader.Error().words());
    }

    // Layout.
    StreamLayout& layout = state.Layout;
    layout.StartOffset = static_cast<std::int64_t>(start);
    layout.RemainingBytes = size - start;
    ComputeBlockFigures(layout.RemainingBytes, state.Packet192Mode, layout);
    ComputeWindowFigures(layout.RemainingBytes, layout);
    layout.WindowOffset = 0;
    progress_maximum_.store(layout.WindowCount, std::memory_order_release);
    if (request.Mode == AnalysisMode::ModePrepare) state.PrepareGaugeMax = layout.WindowCount;

    state.AnalysisScanning = true;
    scanning_.store(true, std::memory_order_release);

    // Window loop: WindowCount whole windows, then the tail. A unit that
    // runs past a window is kept for the next one, which reads it whole.
    StreamAnalysis& analysis = *state.Analysis;
    WindowReader reader(source, start, kWindowSize);
    ScanState scan;
    std::size_t kept = 0;
    int code = kScanExhausted;
    const std::uint64_t windows = layout.WindowCount + (layout.TailBytes > 0 ? 1 : 0);
    for (std::uint64_t i = 0; i < windows; ++i) {
        if (stop.TakeIfSet()) return end_run(AnalysisEnding::Stopped, Words(N_("%1: analysis stopped"), {path}));
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        if (!reader.Next(kept, data, length)) {
            if (reader.Failed()) return end_run(AnalysisEnding::Failed, reader.Error().words());
            break;
        }
        std::uint64_t pos = 0;
        code = ScanWindow(data, pos, length, unit, analysis, state.Lists, stop, scan);
        if (code == kScanStopped) return end_run(AnalysisEnding::Stopped, Words(N_("%1: analysis stopped"), {path}));
        if (code == kScanComplete) break;
        kept = static_cast<std::size_t>(length - pos);
        layout.WindowOffset += kWindowSize;
        if (i < layout.WindowCount) {
            progress_position_.store(i + 1, std::memory_order_release);
            events.Signal(EventId::ChangeProgressPosG1);
        }
    }
    // The file ending after the description was complete (while the scan
    // looked for the SDT) still completes it.
    if (code != kScanComplete && !scan.watch.Complete()) {
        result.OnlyOneProgram =
            request.Mode == AnalysisMode::ModeParse && state.Lists.ProgramNumbers.size() == 1;
        layout.WindowOffset = static_cast<std::uint64_t>(layout.StartOffset);
        return end_run(AnalysisEnding::NoDescription,
                       Words(N_("%1: %2"), {path, MissingDescriptionText(analysis, state.Lists)}));
    }
    scanning_.store(false, std::memory_order_release);
    state.AnalysisScanning = false;

    result.Tree = BuildDescription(state, request.Mode, scan.pcrs);
    if (request.Mode == AnalysisMode::ModeParse) result.OnlyOneProgram = state.Lists.ProgramNumbers.size() == 1;
    layout.WindowOffset = static_cast<std::uint64_t>(layout.StartOffset);

    // Hand-over by mode.
    switch (request.Mode) {
        case AnalysisMode::ModeCardWrite: state.CardSource = std::move(source); break;
        case AnalysisMode::ModePrepare: break;
        case AnalysisMode::ModeParse: state.DemuxInput = source.Take(); break;
    }
    return end_run(AnalysisEnding::Complete, std::string());
}

}  // namespace tscard
