#include "check/stream_check.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "check/bit_rate.h"
#include "check/continuity.h"
#include "check/pcr_checks.h"
#include "check/pes_timing.h"
#include "check/sections.h"
#include "check/sync_reader.h"
#include "check/table_gaps.h"
#include "check/tallies.h"
#include "check/time_base.h"
#include "platform/file_io.h"
#include "psi/crc32.h"
#include "psi/timestamps.h"
#include "ts/packet.h"
#include "ts/packet_probe.h"
#include "ts/stream_kind.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

constexpr std::size_t kPidCount = 8192;
// A stretch of the file is handed to the timed checks at every PCR and at
// least this often.
constexpr std::uint32_t kStretchPackets = 1024;
// Progress and the stop request are looked at once per this many packets.
constexpr std::uint64_t kPollMask = (1u << 16) - 1;
// Events waiting for the next reference PCR: past this many, what lies
// ahead of the last PCR is extrapolated; past the hard limit with no rate
// known at all, the stream cannot be timed.
constexpr std::size_t kPendingLimit = 1 << 16;
constexpr std::size_t kPendingHardLimit = 1 << 21;

enum class Role : std::uint8_t { None, Pat, Cat, Si, Pmt, Es };

// What the packet checks leave for the checks that need the time.
enum class Kind : std::uint8_t {
    Start,         // the file's first packet
    Occurrence,    // Flags: indicator, C: cause, A: the value's bits
    PatSection,    // a table_id 0x00 section starts on PID 0
    PmtNamed,      // Flags: named by the first PAT
    PmtDropped,
    PmtSection,    // a table_id 0x02 section starts on a program_map_PID
    EarlyPmt,      // one starts on a PID no PAT has named yet, before the first PAT
    EsNamed,
    EsDropped,
    TimedStream,   // C: stream_type
    Stretch,       // A: its first byte, Offset: the byte after it, C: PID counts
    Pcr,           // A: the value, Flags: 1 discontinuity_indicator, 2 reference PID
    Pes,           // A: DTS (or PTS) in 27 MHz
};

struct Event {
    std::uint64_t Offset = 0;
    std::uint64_t A = 0;
    std::uint32_t C = 0;
    std::uint16_t Pid = 0;
    Kind What = Kind::Start;
    std::uint8_t Flags = 0;
};

struct PidSpan {
    std::uint16_t Pid;
    std::uint32_t Packets;
    std::uint64_t First;
    std::uint64_t Last;
};

struct PidState {
    CounterState Counter;
    std::uint64_t Packets = 0;
    std::uint64_t StretchFirst = 0;
    std::uint64_t StretchLast = 0;
    std::uint32_t StretchPackets = 0;
    Role Kind = Role::None;
};

class Check final : public SectionSink {
public:
    Check(const std::string& path, const CheckOptions& options, EventSink& events, StopFlag& stop,
          CheckProgress& progress)
        : path_(path),
          options_(options),
          events_(events),
          stop_(stop),
          progress_(progress),
          tallies_(result_.Indicators),
          time_(options.RateBps),
          gaps_(tallies_, options.PidTimeoutSeconds),
          pcr_(tallies_, options.RateBps),
          timing_(tallies_),
          pids_(kPidCount),
          assemblers_(kPidCount) {
        for (std::uint16_t pid : {0x10, 0x11, 0x12, 0x14}) Become(pid, Role::Si);
        Become(0x0000, Role::Pat);
        Become(0x0001, Role::Cat);
    }

    CheckResult Run() {
        result_.Path = path_;
        progress_.Position.store(0, std::memory_order_release);
        Read();
        events_.Signal(EventId::evRefreshGauge);
        return std::move(result_);
    }

private:
    void Fail(std::string message) {
        result_.Ending = CheckEnding::Failed;
        result_.Message = std::move(message);
    }

    void Read() {
        File file;
        if (Status st = OpenStreamFile(path_, file); !st) return Fail(st.message());
        if (Status st = file.Size(result_.FileBytes); !st) return Fail(st.message());
        progress_.Maximum.store(result_.FileBytes, std::memory_order_release);
        const PacketProbe probe = ProbePacketSize(file, &stop_);
        switch (probe.Outcome) {
            case ProbeOutcome::Found: break;
            case ProbeOutcome::Stopped: return Fail(path_ + ": stopped before the first packet was found");
            case ProbeOutcome::UnknownFormat:
                return Fail(path_ + ": not a transport stream" + (probe.Message.empty() ? "" : " (" + probe.Message.English() + ")"));
            case ProbeOutcome::Failed: return Fail(probe.Message.English());
        }
        unit_ = probe.PacketSize;
        result_.PacketSize = probe.PacketSize;
        result_.FirstPacketOffset = std::uint64_t(probe.SyncOffset);
        if (options_.RateBps > 0.0) {
            result_.Time = TimeSource::Rate;
            result_.RateBps = options_.RateBps;
        }

        SyncReader reader(file, std::uint64_t(probe.SyncOffset), unit_);
        reader_ = &reader;
        bool stopped = false;
        for (ReadUnit u;;) {
            const ReadStep step = reader.Next(u);
            if (step == ReadStep::End) break;
            if (step == ReadStep::BadSync) {
                BadSync(u);
            } else if (step == ReadStep::Packet) {
                Packet(u.Packet, u.Offset);
                if (failed_) break;
            }
            if ((++units_ & kPollMask) == 0 || step == ReadStep::Hunting) {
                progress_.Position.store(reader.Position(), std::memory_order_release);
                events_.Signal(EventId::ChangeProgressPosG1);
                if (stop_.TakeIfSet()) {
                    stopped = true;
                    break;
                }
            }
        }
        reader_ = nullptr;
        progress_.Position.store(reader.Position(), std::memory_order_release);
        if (failed_) return;
        if (reader.Failed()) return Fail(reader.Error());
        if (result_.Packets == 0) return Fail(path_ + ": no packet in sync: not a transport stream");
        Finish(stopped);
    }

    // --- Packet checks: at once, per packet ---

    void Become(std::uint16_t pid, Role role) {
        pids_[pid].Kind = role;
        if (role != Role::Es && role != Role::None && !assemblers_[pid])
            assemblers_[pid] = std::make_unique<SectionAssembler>();
    }

    void Note(Indicator indicator, std::uint64_t offset, std::uint16_t pid, Cause cause, double value = 0.0) {
        if (!tallies_.Count(indicator)) return;
        Push({offset, std::bit_cast<std::uint64_t>(value), static_cast<std::uint32_t>(cause), pid, Kind::Occurrence,
              static_cast<std::uint8_t>(indicator)});
    }

    void Push(const Event& e) { pending_.push_back(e); }

    void BadSync(const ReadUnit& u) {
        const std::uint16_t pid = static_cast<std::uint16_t>(((u.Packet[1] & 0x1F) << 8) | u.Packet[2]);
        Note(Indicator::Sync_byte_error, u.Offset, pid, Cause::SyncByte, u.Packet[0]);
        if (u.Lost) Note(Indicator::TS_sync_loss, u.Offset, pid, Cause::SyncLost);
    }

    void Packet(const std::uint8_t* p, std::uint64_t x) {
        const std::uint16_t pid = static_cast<std::uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
        const unsigned control = (p[3] >> 4) & 3;
        const bool adaptation = (control & 2) && p[4] > 0;
        const std::uint8_t flags = adaptation ? p[5] : 0;
        const bool error = (p[1] & 0x80) != 0;
        const bool has_pcr = !error && (flags & 0x10) && p[4] >= 7;
        if (result_.Packets == 0) {
            Push({x, 0, 0, 0, Kind::Start, 0});
            stretch_start_ = x;
        }
        // A stretch ends before every PCR, so the time base never bends inside one.
        if (has_pcr || stretch_packets_ >= kStretchPackets) EndStretch(x);
        ++result_.Packets;
        last_offset_ = x;

        PidState& s = pids_[pid];
        ++s.Packets;
        if (s.StretchPackets++ == 0) {
            s.StretchFirst = x;
            touched_.push_back(pid);
        }
        s.StretchLast = x;
        ++stretch_packets_;

        if (error) Note(Indicator::Transport_error, x, pid, Cause::Flag);
        const unsigned scrambling = p[3] >> 6;
        if (scrambling != 0) Scrambled(pid, s.Kind, x, scrambling);
        CounterVerdict verdict = CounterVerdict::Ok;
        if (pid != kNullPid) {
            verdict = CheckCounter(s.Counter, p[3] & 0x0F, (control & 1) != 0, (flags & 0x80) != 0, x,
                                   [&](std::uint64_t previous) { return SameAsBefore(previous, p); });
            if (verdict == CounterVerdict::Error) {
                Note(Indicator::Continuity_count_error, x, pid, Cause::Counter, p[3] & 0x0F);
                if (assemblers_[pid]) assemblers_[pid]->Abort();
            }
        }
        if (has_pcr) Pcr(p, pid, x, (flags & 0x80) != 0);
        if (s.Kind == Role::None) {
            if (!pat_version_ && !error && scrambling == 0 && PayloadUnitStart(p)) EarlyTable(p, pid, x);
            return;
        }
        if (verdict == CounterVerdict::Duplicate) return;
        if (error) {
            if (assemblers_[pid]) assemblers_[pid]->Abort();
            return;
        }
        if (s.Kind == Role::Es) {
            if (scrambling == 0 && PayloadUnitStart(p)) Pes(p, pid, x);
            return;
        }
        // Tables are never scrambled: such a payload is not read as one.
        if (scrambling != 0) {
            assemblers_[pid]->Abort();
            return;
        }
        section_pid_ = pid;
        section_offset_ = x;
        assemblers_[pid]->Feed(p, *this);
    }

    // Before the first PAT any PID may be a PMT's: where a table_id 0x02
    // section starts is kept, so a PMT that came before the PAT naming it
    // still counts as seen.
    void EarlyTable(const std::uint8_t* p, std::uint16_t pid, std::uint64_t x) {
        const unsigned control = (p[3] >> 4) & 3;
        if ((control & 1) == 0) return;
        const std::size_t at = 4 + ((control & 2) ? 1 + std::size_t(p[4]) : 0);
        if (at >= kPacketSize || at + 1 + p[at] >= kPacketSize) return;
        if (p[at + 1 + p[at]] == 0x02) Push({x, 0, 0, pid, Kind::EarlyPmt, 0});
    }

    bool SameAsBefore(std::uint64_t previous, const std::uint8_t* p) const {
        std::uint8_t before[kPacketSize];
        return reader_->Fetch(previous, before) && std::memcmp(before, p, kPacketSize) == 0;
    }

    void Scrambled(std::uint16_t pid, Role role, std::uint64_t x, unsigned bits) {
        if (!cat_seen_) Note(Indicator::CAT_error, x, pid, Cause::Scrambled, bits);
        if (role == Role::Pat) Note(Indicator::PAT_error, x, pid, Cause::Scrambled, bits);
        if (role == Role::Pmt) Note(Indicator::PMT_error, x, pid, Cause::Scrambled, bits);
    }

    void Pcr(const std::uint8_t* p, std::uint16_t pid, std::uint64_t x, bool flagged) {
        const std::uint64_t value = PcrTicks(p);
        const bool reference = reference_ && *reference_ == pid;
        Push({x, value, 0, pid, Kind::Pcr, static_cast<std::uint8_t>((flagged ? 1 : 0) | (reference ? 2 : 0))});
        if (reference) time_.Add(x, value, flagged);
    }

    void Pes(const std::uint8_t* p, std::uint16_t pid, std::uint64_t x) {
        if (!ReadPesTimestamps(p, pes_) || !pes_.HasPts) return;
        Push({x, pes_.PtsOnly ? pes_.Pts() : pes_.Dts(), 0, pid, Kind::Pes, 0});
    }

    // Sections of the PSI PIDs.
    void OnSectionStart(std::uint8_t table_id) override {
        const std::uint16_t pid = section_pid_;
        const std::uint64_t x = section_offset_;
        switch (pids_[pid].Kind) {
            case Role::Pat:
                if (table_id == 0x00)
                    Push({x, 0, 0, pid, Kind::PatSection, 0});
                else
                    Note(Indicator::PAT_error, x, pid, Cause::TableId, table_id);
                return;
            case Role::Cat:
                if (table_id == 0x01)
                    cat_seen_ = true;
                else
                    Note(Indicator::CAT_error, x, pid, Cause::TableId, table_id);
                return;
            case Role::Pmt:
                if (table_id == 0x02) Push({x, 0, 0, pid, Kind::PmtSection, 0});
                return;
            default: return;
        }
    }

    void OnSection(const std::uint8_t* s, std::size_t length) override {
        const std::uint16_t pid = section_pid_;
        const Role role = pids_[pid].Kind;
        if (!CarriesCrc(pid, role == Role::Pmt, s[0])) return;
        if (length < 8 || Crc32Mpeg2(s, length) != 0) {
            Note(Indicator::CRC_error, section_offset_, pid, Cause::Crc, s[0]);
            return;
        }
        if (role == Role::Pat) Pat(s, length);
        if (role == Role::Pmt) Pmt(s, length);
    }

    void Pat(const std::uint8_t* s, std::size_t length) {
        std::vector<PatEntry> entries;
        if (!ReadPatSection(s, length, entries)) return;
        const std::uint8_t version = SectionVersion(s);
        if (!pat_version_ || *pat_version_ != version) pat_programs_.clear();
        const bool first_pat = !pat_version_;
        pat_version_ = version;
        for (const PatEntry& e : entries) pat_programs_[e.ProgramNumber] = e.PmtPid;
        if (!program_ && !entries.empty()) program_ = options_.Program.value_or(entries.front().ProgramNumber);
        if (program_ && pat_programs_.count(*program_) != 0) program_found_ = true;
        std::set<std::uint16_t> pmt_pids;
        for (const auto& [number, pid] : pat_programs_) pmt_pids.insert(pid);
        for (std::uint16_t pid : pmt_pids) {
            if (pmt_pids_.count(pid) != 0 || pid < 0x10 || pid == kNullPid) continue;
            Become(pid, Role::Pmt);
            Push({section_offset_, 0, 0, pid, Kind::PmtNamed, static_cast<std::uint8_t>(first_pat ? 1 : 0)});
        }
        for (std::uint16_t pid : pmt_pids_) {
            if (pmt_pids.count(pid) != 0) continue;
            pids_[pid].Kind = Role::None;
            Push({section_offset_, 0, 0, pid, Kind::PmtDropped, 0});
        }
        pmt_pids_ = std::move(pmt_pids);
    }

    void Pmt(const std::uint8_t* s, std::size_t length) {
        PmtTable pmt;
        if (!ReadPmtSection(s, length, pmt)) return;
        auto known = pmt_versions_.find(pmt.ProgramNumber);
        if (known != pmt_versions_.end() && known->second == pmt.Version) return;
        pmt_versions_[pmt.ProgramNumber] = pmt.Version;
        std::vector<std::uint16_t>& streams = program_streams_[pmt.ProgramNumber];
        streams.clear();
        for (const PmtStreamEntry& e : pmt.Streams) streams.push_back(e.Pid);
        UpdateStreams();
        if (!program_ || pmt.ProgramNumber != *program_) return;
        for (const PmtStreamEntry& e : pmt.Streams) {
            if (!timed_.insert(e.Pid).second) continue;
            kinds_[e.Pid] = StreamKindText(EsEntry{e.Pid, e.StreamType, e.DescriptorTags, {}});
            Push({section_offset_, 0, e.StreamType, e.Pid, Kind::TimedStream, 0});
        }
        result_.ProgramNumber = pmt.ProgramNumber;
        if (!reference_ && pmt.PcrPid != kNullPid) ChooseReference(pmt.PcrPid);
    }

    // The elementary streams every PMT names, watched for PID_error.
    void UpdateStreams() {
        std::set<std::uint16_t> now;
        for (const auto& [number, pids] : program_streams_) now.insert(pids.begin(), pids.end());
        for (std::uint16_t pid : now) {
            if (streams_.count(pid) != 0 || pids_[pid].Kind != Role::None) continue;
            pids_[pid].Kind = Role::Es;
            Push({section_offset_, 0, 0, pid, Kind::EsNamed, 0});
        }
        for (std::uint16_t pid : streams_) {
            if (now.count(pid) != 0) continue;
            if (pids_[pid].Kind == Role::Es) pids_[pid].Kind = Role::None;
            Push({section_offset_, 0, 0, pid, Kind::EsDropped, 0});
        }
        std::erase_if(now, [&](std::uint16_t pid) { return pids_[pid].Kind != Role::Es; });
        streams_ = std::move(now);
    }

    // The PID whose PCRs are the clock; its PCRs already read join the time base.
    void ChooseReference(std::uint16_t pid) {
        reference_ = pid;
        result_.ReferencePid = pid;
        for (Event& e : pending_) {
            if (e.What != Kind::Pcr || e.Pid != pid) continue;
            e.Flags |= 2;
            time_.Add(e.Offset, e.A, (e.Flags & 1) != 0);
        }
    }

    void EndStretch(std::uint64_t end) {
        if (touched_.empty()) return;
        for (std::uint16_t pid : touched_) {
            PidState& s = pids_[pid];
            spans_.push_back({pid, s.StretchPackets, s.StretchFirst, s.StretchLast});
            s.StretchPackets = 0;
        }
        Push({end, stretch_start_, static_cast<std::uint32_t>(touched_.size()), 0, Kind::Stretch, 0});
        touched_.clear();
        stretch_start_ = end;
        stretch_packets_ = 0;
        Drain(false);
        if (pending_.size() < kPendingLimit) return;
        if (!time_.Release() && pending_.size() >= kPendingHardLimit) {
            failed_ = true;
            return Fail(path_ + ": " + NoClockReason() + " in the first " + std::to_string(end) + " bytes");
        }
        Drain(false);
    }

    // Why the PCRs give no time, in the words of the program checked.
    std::string NoClockReason() const {
        const std::string cannot = ": the stream cannot be timed without --rate";
        if (!program_) return "no PAT names a program, so no PCR PID is known" + cannot;
        const std::string program = "program " + std::to_string(*program_);
        if (!result_.ProgramNumber) return "no PMT of " + program + " was read, so no PCR PID is known" + cannot;
        if (!reference_) return "the PMT of " + program + " names no PCR PID (0x1FFF)" + cannot;
        const std::string pid = "the PCR PID " + std::to_string(*reference_) + " of " + program;
        if (!time_.HasPcr()) return pid + " carries no PCR" + cannot;
        return pid + " carries no two PCRs a regular interval apart" + cannot;
    }

    // --- Timed checks: in file order, once the time base knows the time ---

    void Drain(bool final) {
        while (!pending_.empty()) {
            const Event& e = pending_.front();
            Instant at;
            if (!time_.Map(e.Offset, final, at)) return;
            Dispatch(e, at);
            pending_.pop_front();
        }
    }

    double SecondsAt(std::uint64_t offset) {
        Instant at;
        static_cast<void>(time_.Map(offset, true, at));
        return at.Seconds;
    }

    void Dispatch(const Event& e, const Instant& at) {
        switch (e.What) {
            case Kind::Start:
                first_seconds_ = at.Seconds;
                gaps_.Start(at.Seconds);
                return;
            case Kind::Occurrence:
                tallies_.Keep(static_cast<Indicator>(e.Flags),
                              {at.Seconds, e.Offset, e.Pid, static_cast<Cause>(e.C), std::bit_cast<double>(e.A)});
                return;
            case Kind::PatSection: gaps_.PatSeen(at.Seconds, e.Offset); return;
            case Kind::PmtNamed: gaps_.PmtNamed(e.Pid, at.Seconds, e.Flags != 0); return;
            case Kind::PmtDropped: gaps_.PmtDropped(e.Pid); return;
            case Kind::PmtSection: gaps_.PmtSeen(e.Pid, at.Seconds, e.Offset); return;
            case Kind::EarlyPmt: gaps_.EarlyPmt(e.Pid, at.Seconds, e.Offset); return;
            case Kind::EsNamed: gaps_.EsNamed(e.Pid, at.Seconds); return;
            case Kind::EsDropped: gaps_.EsDropped(e.Pid); return;
            case Kind::TimedStream:
                timing_.Timed(e.Pid, static_cast<std::uint8_t>(e.C), std::string(kinds_[e.Pid]));
                return;
            case Kind::Pcr: pcr_.Pcr(e.Pid, e.Offset, at.Seconds, e.A, (e.Flags & 1) != 0, (e.Flags & 2) != 0); return;
            case Kind::Pes: timing_.Pes(e.Pid, e.Offset, at, e.A); return;
            case Kind::Stretch: Stretch(e, at); return;
        }
    }

    void Stretch(const Event& e, const Instant& end) {
        const double from = SecondsAt(e.A);
        counts_.clear();
        for (std::uint32_t i = 0; i < e.C; ++i) {
            const PidSpan& span = spans_.front();
            if (gaps_.Watching(span.Pid))
                gaps_.EsPresent(span.Pid, SecondsAt(span.First), span.First, SecondsAt(span.Last));
            counts_.push_back({span.Pid, span.Packets});
            spans_.pop_front();
        }
        rates_.Stretch(from, end.Seconds, counts_.data(), counts_.size());
    }

    void Finish(bool stopped) {
        const std::uint64_t end = last_offset_ + unit_;
        EndStretch(end);
        if (failed_) return;
        if (options_.Program && !program_found_)
            return Fail(path_ + ": program " + std::to_string(*options_.Program) + " is not in the stream's PAT");
        Drain(true);
        if (!pending_.empty()) return Fail(path_ + ": " + NoClockReason());
        const double end_seconds = SecondsAt(end);
        gaps_.Finish(end_seconds, last_offset_);
        pcr_.Finish(result_);
        timing_.Finish(result_);
        std::vector<std::uint64_t> packets(kPidCount);
        for (std::size_t pid = 0; pid < kPidCount; ++pid) packets[pid] = pids_[pid].Packets;
        rates_.Finish(first_seconds_, end_seconds, packets, result_);
        result_.DurationSeconds = end_seconds - first_seconds_;
        result_.CheckedBytes = std::min(end, result_.FileBytes);
        result_.Ending = stopped ? CheckEnding::Stopped : CheckEnding::Checked;
    }

    const std::string& path_;
    const CheckOptions& options_;
    EventSink& events_;
    StopFlag& stop_;
    CheckProgress& progress_;
    CheckResult result_;
    Tallies tallies_;
    TimeBase time_;
    TableGaps gaps_;
    PcrChecks pcr_;
    PesTiming timing_;
    BitRates rates_;

    std::uint32_t unit_ = kPacketSize;
    const SyncReader* reader_ = nullptr;
    std::uint64_t units_ = 0;
    bool failed_ = false;
    std::vector<PidState> pids_;
    std::vector<std::unique_ptr<SectionAssembler>> assemblers_;
    PesTimestamps pes_;

    std::uint16_t section_pid_ = 0;
    std::uint64_t section_offset_ = 0;
    bool cat_seen_ = false;
    std::optional<std::uint8_t> pat_version_;
    std::map<std::uint16_t, std::uint16_t> pat_programs_;  // program_number -> program_map_PID
    std::set<std::uint16_t> pmt_pids_;
    std::map<std::uint16_t, std::uint8_t> pmt_versions_;
    std::map<std::uint16_t, std::vector<std::uint16_t>> program_streams_;
    std::set<std::uint16_t> streams_;  // elementary streams the PMTs name
    std::optional<std::uint16_t> program_;  // the program checked
    bool program_found_ = false;            // a PAT names it
    std::set<std::uint16_t> timed_;  // its streams
    std::map<std::uint16_t, std::string_view> kinds_;  // and what each carries
    std::optional<std::uint16_t> reference_;

    std::deque<Event> pending_;
    std::deque<PidSpan> spans_;
    std::vector<std::uint16_t> touched_;  // PIDs with packets in the stretch in hand
    std::vector<PidCount> counts_;
    std::uint32_t stretch_packets_ = 0;
    std::uint64_t stretch_start_ = 0;
    std::uint64_t last_offset_ = 0;
    double first_seconds_ = 0.0;
};

}  // namespace

CheckResult RunCheck(const std::string& path, const CheckOptions& options, EventSink& events, StopFlag& stop,
                     CheckProgress& progress) {
    Check check(path, options, events, stop, progress);
    return check.Run();
}

}  // namespace tscard
