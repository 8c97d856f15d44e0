#include "prepare/prepare_run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/file_io.h"
#include "platform/output_file.h"
#include "prepare/continuity_table.h"
#include "prepare/mux_rate.h"
#include "psi/frame_types.h"
#include "psi/psi_builder.h"
#include "psi/table_ids.h"
#include "psi/timestamps.h"
#include "ts/packet.h"
#include "ts/stream_open.h"
#include "ts/unit_reader.h"

namespace tscard {
namespace {

constexpr std::size_t kWriteBlock = 1 << 20;

// Null packets side by side, so that a run of them is one write.
constexpr std::size_t kNullRun = 64;
const std::array<Packet, kNullRun>& NullRun() {
    static const auto run = [] {
        std::array<Packet, kNullRun> packets;
        packets.fill(NullPacket());
        return packets;
    }();
    return run;
}

// A generated PSI packet's counter advances by one before each use.
const Packet& NextUse(Packet& packet) {
    SetContinuityCounter(packet.data(), ContinuityCounter(packet.data()) + 1);
    return packet;
}

class Run {
public:
    Run(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer,
        std::atomic<std::uint64_t>& progress)
        : job_(job),
          events_(events),
          stop_(stop),
          observer_(observer != nullptr ? *observer : no_observer_),
          progress_(progress) {}

    PrepareResult Execute() {
        progress_.store(0, std::memory_order_release);
        Finish(Prepare() ? ReadSource() : Ending::Refused);
        events_.Signal(EventId::evRefreshGauge);
        return std::move(result_);
    }

private:
    enum class Ending { InputEnded, PcrStepError, Stopped, Failed, Refused };
    enum class Step { Continue, PcrStepError, Failed };

    bool Refuse(Words message) {
        result_.Message = std::move(message);
        return false;
    }

    // Everything that can refuse the job is checked before the output exists.
    bool Prepare() {
        if (Status st = CheckPrepareJob(job_); !st) return Refuse(st.words());
        const ProgramRemap& r = job_.Remap;
        pmt_ = job_.Source.FirstPmtPacket;
        static_cast<void>(BuildPmt(r, pmt_));
        pat_ = BuildPat(r);
        static_cast<void>(BuildSdt(r, r.TargetProvider, r.TargetName, sdt_));
        remap_needed_ = RemapDiffers(r);
        h264_ = job_.Source.IsH264Stream;
        return true;
    }

    Ending Fail(Words message) {
        result_.Message = std::move(message);
        return Ending::Failed;
    }

    Ending ReadSource() {
        File source;
        if (Status st = OpenStreamFile(job_.SourcePath, source); !st) return Fail(st.words());
        if (Status st = output_.Open(job_.OutputPath, {}, &stop_); !st) {
            if (stop_.TakeIfSet()) return Ending::Stopped;
            return Fail(st.words());
        }
        writer_.emplace(output_.Output(), 0, kWriteBlock);
        // Room for the longest interval held; its memory is only taken as
        // packets arrive (left uninitialised, it is never touched before).
        interval_.reset(new Packet[kMaxHeldIntervalPackets]);
        interval_gop_.reserve(4096);

        const std::size_t unit = job_.Source.Packet192Mode ? kUnit192Size : kPacketSize;
        const std::size_t prefix = unit - kPacketSize;
        const std::uint64_t start = job_.Source.SyncOffset > 0 ? std::uint64_t(job_.Source.SyncOffset) : 0;
        UnitReader reader(source, start, unit, UnitReader::kUnitsPerRead, job_.Source.Size);

        for (;;) {
            if (stop_.TakeIfSet()) return Ending::Stopped;
            std::uint8_t* const read = reader.Next();
            if (read == nullptr) {
                if (reader.Failed()) return Fail(reader.Error());
                return Ending::InputEnded;
            }
            std::uint8_t* const p = read + prefix;
            if (input_bytes_ % kProgressStepBytes == 0) {
                progress_.store(input_bytes_ / kProgressStepBytes, std::memory_order_release);
                events_.Signal(EventId::ChangeProgressPosG3);
            }
            const std::uint16_t pid = FoldPid(p);
            if (pid == kNullPid) continue;
            if (IsSeparator(p)) {
                // The previous clip's tail after its last PCR is never written.
                ++result_.Separators;
                DropInterval();
                continue;
            }
            input_bytes_ += kPacketSize;
            ++result_.InputPackets;
            continuity_.Repair(p);

            // A run starts at the first PCR packet at or after the first
            // payload_unit_start_indicator.
            if (!seen_unit_start_) {
                if (!PayloadUnitStart(p)) continue;
                seen_unit_start_ = true;
            }
            PcrValue pcr;
            const bool has_pcr = ReadPcr(p, pcr);
            if (!started_ && !has_pcr) continue;
            const bool gop = !h264_ && DetectGop(p, gop_marking_);
            if (!started_) {
                started_ = true;
                previous_input_pcr_ = pcr.Ticks();
                previous_output_pcr_ = 0;
                // The output clock starts here: the first packet's slot is 0,
                // so its PCR is 0 like every later one is its slot's.
                WritePcr(p, PcrValue::FromTicks(SlotPcr(0)));
                Hold(p, gop);
                continue;
            }
            if (has_pcr) {
                switch (CloseInterval(p, gop, pcr.Ticks())) {
                    case Step::Continue: continue;
                    case Step::PcrStepError: return Ending::PcrStepError;
                    case Step::Failed: return Ending::Failed;
                }
            }
            Substitute(p, pid, gop);
        }
    }

    // PAT, PMT and SDT packets of the source give way to the generated
    // ones. Every packet on the SDT PID goes: an SDT section start is
    // replaced, the rest is dropped, so no source SDT reaches the output.
    void Substitute(const std::uint8_t* p, std::uint16_t pid, bool gop) {
        const std::uint8_t table_id = SectionTableId(p);
        if (pid == kSdtPid) {
            if (table_id == kSdtTableId) {
                sdt_seen_ = true;
                Hold(NextUse(sdt_).data(), false);
            }
            return;
        }
        switch (ClassifyPsiPid(pid, table_id, job_.Source.KnownPids, job_.Source.PmtPids)) {
            case PsiKind::Pat:
                pat_in_interval_ = true;
                Hold(NextUse(pat_).data(), false);
                return;
            case PsiKind::Pmt:
                pmt_in_interval_ = true;
                Hold(NextUse(pmt_).data(), false);
                return;
            case PsiKind::Sdt:
            case PsiKind::None: Hold(p, gop); return;
        }
    }

    void Hold(const std::uint8_t* p, bool gop) {
        if (held_ >= kMaxHeldIntervalPackets) {
            ++uncounted_;
            return;
        }
        std::memcpy(interval_[held_++].data(), p, kPacketSize);
        interval_gop_.push_back(gop);
    }

    void DropInterval() {
        held_ = 0;
        interval_gop_.clear();
        uncounted_ = 0;
        pat_in_interval_ = false;
        pmt_in_interval_ = false;
    }

    // A table of the source substituted in the interval sets its clock
    // back; a clock that reaches the period appends the generated table.
    bool Due(std::uint64_t& clock, bool substituted, std::uint64_t span) {
        clock = substituted ? 0 : clock + span;
        if (clock < kPsiRepeatTicks) return false;
        clock = 0;
        return true;
    }

    // P, the packet carrying the PCR `cur`, closes the interval in hand.
    Step CloseInterval(std::uint8_t* p, bool gop, std::uint64_t cur) {
        const std::uint64_t held = held_ + uncounted_;
        if (held == 0) return Step::Continue;  // right after a separator: P is dropped
        // A PCR that goes back (a wrap, or a spliced clip that starts
        // earlier) counts the interval as exactly its packets' slots.
        const std::uint64_t span = cur >= previous_input_pcr_
                                       ? cur - previous_input_pcr_
                                       : static_cast<std::uint64_t>(static_cast<double>(held) * TicksPerPacket);
        const double seconds = static_cast<double>(span) / static_cast<double>(kSystemClockHz);
        if (seconds > kLargestPcrStepSeconds) {
            result_.PcrStepSeconds = seconds;
            result_.Message = Words(N_("Invalid value PCR; delta PCR(sek)-> %1"), {PcrStepText(seconds)});
            return Step::PcrStepError;
        }
        if (uncounted_ > 0) {
            Fail(Words(N_("%1: more than %2 packets between two PCRs %3 s apart: the source's bit rate is far above "
                          "the multiplex rate"),
                       {job_.SourcePath, std::to_string(kMaxHeldIntervalPackets), PcrStepText(seconds)}));
            return Step::Failed;
        }
        observer_.OnPcrStep(seconds);
        // The span in pace units (kPaceUnitTicks): two divisions, so that the
        // clocks round as they always have.
        const double units = static_cast<double>(span) / TicksPerPacket / 27000.0;
        display_clock_ += units;
        sdt_clock_ += units;
        // A source that sends its PAT and PMT seldom (or once) still gives
        // a reader both at least every 0.5 s of PCR time.
        if (Due(pat_clock_, pat_in_interval_, span)) Hold(NextUse(pat_).data(), false);
        if (Due(pmt_clock_, pmt_in_interval_, span)) Hold(NextUse(pmt_).data(), false);
        if (!sdt_seen_ && sdt_clock_ >= kSdtPeriodPaceUnits) {
            sdt_clock_ = 0.0;
            Hold(NextUse(sdt_).data(), false);
        }

        NullSchedule nulls(span, held_);
        const std::uint64_t packets = held_ + nulls.Total();
        const std::uint64_t new_pcr = SlotPcr(output_bytes_ / kPacketSize + packets);
        MeasureFit(span, new_pcr - previous_output_pcr_);
        WriteInterval(nulls, cur, new_pcr);
        WritePcr(p, PcrValue::FromTicks(new_pcr));
        if (display_clock_ >= kDisplayStartPaceUnits)
            observer_.OnBitrate(static_cast<double>(packets) * kBitsPerPacket * kTicksPerMicrosecond /
                                static_cast<double>(new_pcr - previous_output_pcr_));
        ++result_.Intervals;
        result_.NullPackets += nulls.Total();

        DropInterval();
        Hold(p, gop);
        previous_input_pcr_ = cur;
        previous_output_pcr_ = new_pcr;
        if (writer_->Failed()) {
            Fail(writer_->LastStatus().words());
            return Step::Failed;
        }
        return Step::Continue;
    }

    // An interval whose packets outnumber the slots its PCR step holds at
    // the multiplex rate takes more output time than source time: the
    // output clock falls behind the source's, and only later intervals a
    // little shorter in the output (their slots round down) ever take the
    // lag back. spans: the interval's source and output PCR spans.
    void MeasureFit(std::uint64_t source_span, std::uint64_t output_span) {
        if (double(held_) * TicksPerPacket > double(source_span)) {
            if (result_.OverfullIntervals++ == 0) result_.FirstOverfullSeconds = source_seconds_;
        }
        lag_ticks_ = std::max(0.0, lag_ticks_ + double(output_span) - double(source_span));
        result_.LargestLagMs = std::max(result_.LargestLagMs, lag_ticks_ / 27000.0);
        source_seconds_ += double(source_span) / double(kSystemClockHz);
    }

    void WriteInterval(NullSchedule& nulls, std::uint64_t in_ref, std::uint64_t out_ref) {
        for (std::size_t j = 0; j < held_; ++j) {
            std::uint8_t* packet = interval_[j].data();
            if (interval_gop_[j]) {
                gops_.Record(output_bytes_);
                nulls_before_last_gop_ = nulls_written_;
            }
            RestampPes(packet, in_ref, out_ref);
            if (remap_needed_) RemapPids(packet, job_.Remap);
            Emit(packet);
            WriteNulls(j == 0 ? nulls.AfterOpening() : nulls.AfterFurther(j - 1));
        }
        WriteNulls(nulls.AtEnd());
    }

    // Timestamps follow the output clock, so that they keep their distance
    // to the PCR whatever the source's clock read and across splices: the
    // interval's closing PCR maps input time (in_ref) to output time (out_ref).
    void RestampPes(std::uint8_t* p, std::uint64_t in_ref, std::uint64_t out_ref) {
        if (!ReadPesTimestamps(p, pes_) || !pes_.HasPts) return;
        TimestampPatch patch;
        patch.Offset = pes_.PtsOffset;
        patch.PtsOnly = pes_.PtsOnly;
        patch.PtsPrefix = pes_.PtsOnly ? 0x2 : 0x3;
        patch.Pts = SplicedTimestamp(pes_.Pts(), in_ref, out_ref);
        patch.DtsPrefix = 0x1;
        patch.Dts = SplicedTimestamp(pes_.Dts(), in_ref, out_ref);
        // The header was read whole, so its timestamp fields lie in the packet.
        static_cast<void>(WritePesTimestamps(p, patch));
    }

    void Emit(const std::uint8_t* p) {
        writer_->Write(p, kPacketSize);
        output_bytes_ += kPacketSize;
    }

    void WriteNulls(std::uint64_t count) {
        while (count > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, kNullRun));
            writer_->Write(NullRun().data(), n * kPacketSize);
            output_bytes_ += n * kPacketSize;
            nulls_written_ += n;
            count -= n;
        }
    }

    void Finish(Ending ending) {
        switch (ending) {
            case Ending::Refused: result_.Ending = PrepareEnding::Refused; return;
            case Ending::Failed: Discard(); return;
            case Ending::Stopped:
                // Nothing written: an existing output stays as it was.
                if (output_bytes_ == 0) return KeepNothing(PrepareEnding::Stopped);
                if (Flushed()) Keep(PrepareEnding::Stopped);
                return;
            case Ending::PcrStepError:
                observer_.OnPcrStepError(result_.Message.English());
                if (output_bytes_ == 0) return KeepNothing(PrepareEnding::PcrStepError);
                break;
            case Ending::InputEnded:
                // A run that found no PCR interval has nothing to show for
                // itself: it fails, and writes nothing.
                if (output_bytes_ == 0) {
                    result_.Message =
                        started_ ? Words(N_("%1: a single PCR in the program (no PCR interval): nothing to prepare"),
                                         {job_.SourcePath})
                                 : Words(N_("%1: no PCR in the program: nothing to prepare"), {job_.SourcePath});
                    Discard();
                    return;
                }
                break;
        }
        if (!Flushed()) return;
        result_.WrittenInPlace = output_.InPlace();
        // The tail repair reads back and cuts the file: a pipe or device
        // has taken the bytes as they came.
        if (!h264_ && !output_.InPlace()) {
            if (Status st = RepairTail(output_.Output(), gops_, result_.EndPass); !st) {
                result_.Message = st.words();
                Discard();
                return;
            }
            // The cut takes everything from the last group's first packet on.
            if (result_.EndPass.Run) result_.NullPacketsCut = nulls_written_ - nulls_before_last_gop_;
        }
        Keep(ending == Ending::PcrStepError ? PrepareEnding::PcrStepError : PrepareEnding::Completed);
    }

    bool Flushed() {
        if (Status st = writer_->Flush(); !st) {
            result_.Message = st.words();
            Discard();
            return false;
        }
        return true;
    }

    void Keep(PrepareEnding ending) {
        std::uint64_t size = output_bytes_;
        if (!output_.InPlace()) {
            if (Status st = output_.Output().Size(size); !st) {
                result_.Message = st.words();
                Discard();
                return;
            }
        }
        if (Status st = output_.Commit(); !st) {
            result_.Message = st.words();
            Discard();
            return;
        }
        result_.OutputBytes = size;
        result_.OutputKept = true;
        result_.Ending = ending;
    }

    void Discard() {
        output_.Discard();
        result_.Ending = PrepareEnding::Failed;
        result_.OutputKept = false;
    }

    void KeepNothing(PrepareEnding ending) {
        output_.Discard();
        result_.Ending = ending;
        result_.OutputKept = false;
    }

    const PrepareJob& job_;
    ContinuityTable continuity_;  // this run's own: empty at its start
    EventSink& events_;
    StopFlag& stop_;
    PrepareObserver no_observer_;
    PrepareObserver& observer_;
    std::atomic<std::uint64_t>& progress_;
    PrepareResult result_;

    Packet pat_{};
    Packet pmt_{};
    Packet sdt_{};
    bool remap_needed_ = false;
    bool h264_ = false;

    OutputFile output_;
    std::optional<BlockWriter> writer_;
    std::unique_ptr<Packet[]> interval_;      // the PCR interval in hand: held_ packets
    std::size_t held_ = 0;
    std::vector<bool> interval_gop_;  // DetectGop found a GOP header in the packet
    std::uint64_t uncounted_ = 0;  // packets of an interval too long to hold

    std::uint64_t input_bytes_ = 0;
    std::uint64_t output_bytes_ = 0;
    std::uint64_t nulls_written_ = 0;
    std::uint64_t nulls_before_last_gop_ = 0;  // nulls_written_ where the last group began
    std::uint64_t previous_input_pcr_ = 0;
    std::uint64_t previous_output_pcr_ = 0;
    double sdt_clock_ = 0.0;
    double display_clock_ = 0.0;
    double source_seconds_ = 0.0;  // source PCR time since the run's first PCR
    double lag_ticks_ = 0.0;       // of the output clock behind the source's
    std::uint64_t pat_clock_ = 0;  // 27 MHz ticks since a PAT went out
    std::uint64_t pmt_clock_ = 0;
    bool pat_in_interval_ = false;  // a source PAT was substituted in the interval in hand
    bool pmt_in_interval_ = false;
    bool seen_unit_start_ = false;
    bool started_ = false;
    bool sdt_seen_ = false;
    GopMarking gop_marking_;
    GopOffsets gops_;
    PesTimestamps pes_;
};

}  // namespace

PrepareResult RunPrepare(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer,
                         std::atomic<std::uint64_t>& progress) {
    Run run(job, events, stop, observer, progress);
    return run.Execute();
}

}  // namespace tscard
