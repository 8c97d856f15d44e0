#include "check/time_base.h"

#include "ts/packet.h"

namespace tscard {
namespace {

constexpr double kTicks = double(kSystemClockHz);

bool Regular(std::uint64_t step, bool flagged) { return !flagged && step <= kPcrStepLimit; }

}  // namespace

TimeBase::TimeBase(double rate_bps) {
    if (rate_bps > 0.0) {
        fixed_rate_ = true;
        seconds_per_byte_ = 8.0 / rate_bps;
    }
}

void TimeBase::Add(std::uint64_t offset, std::uint64_t pcr, bool flagged) {
    ahead_.push_back({offset, pcr, flagged || released_});
    ++pcrs_;
    released_ = false;
}

// The first rate: that of the first regular interval with a step above 0.
// Time 0 lies at byte 0, before the first PCR.
bool TimeBase::Anchor() {
    for (std::size_t i = 0; i + 1 < ahead_.size(); ++i) {
        const Breakpoint& a = ahead_[i];
        const Breakpoint& b = ahead_[i + 1];
        const std::uint64_t step = PcrStep(a.Pcr, b.Pcr);
        if (!Regular(step, b.Flagged) || step == 0 || b.Offset <= a.Offset) continue;
        seconds_per_byte_ = double(step) / kTicks / double(b.Offset - a.Offset);
        const Breakpoint first = ahead_.front();
        ahead_.pop_front();
        anchored_ = true;
        anchor_offset_ = first.Offset;
        anchor_seconds_ = double(first.Offset) * seconds_per_byte_;
        anchor_pcr_ = first.Pcr;
        return true;
    }
    return false;
}

double TimeBase::SegmentRate() const {
    if (ahead_.empty()) return seconds_per_byte_;
    const Breakpoint& next = ahead_.front();
    const std::uint64_t step = PcrStep(anchor_pcr_, next.Pcr);
    if (!Regular(step, next.Flagged) || next.Offset <= anchor_offset_) return seconds_per_byte_;
    return double(step) / kTicks / double(next.Offset - anchor_offset_);
}

void TimeBase::Advance() {
    const double rate = SegmentRate();
    const Breakpoint next = ahead_.front();
    const bool regular = Regular(PcrStep(anchor_pcr_, next.Pcr), next.Flagged);
    if (!fixed_rate_) {
        anchor_seconds_ += double(next.Offset - anchor_offset_) * rate;
        if (regular && rate > 0.0) seconds_per_byte_ = rate;
    }
    anchor_offset_ = next.Offset;
    anchor_pcr_ = next.Pcr;
    anchored_ = true;
    ahead_.pop_front();
}

bool TimeBase::Map(std::uint64_t offset, bool final, Instant& out) {
    const bool extrapolate = final || released_;
    if (fixed_rate_) {
        out.Seconds = double(offset) * seconds_per_byte_;
        out.HasClock = false;
        while (!ahead_.empty() && ahead_.front().Offset <= offset) Advance();
        if (anchored_) {
            out.HasClock = true;
            out.Clock = double(anchor_pcr_) + (double(offset) - double(anchor_offset_)) * seconds_per_byte_ * kTicks;
            return true;
        }
        if (!ahead_.empty()) {
            const Breakpoint& first = ahead_.front();
            out.HasClock = true;
            out.Clock = double(first.Pcr) - double(first.Offset - offset) * seconds_per_byte_ * kTicks;
            return true;
        }
        return extrapolate;
    }
    if (!anchored_ && !Anchor()) return false;
    while (!ahead_.empty() && offset > ahead_.front().Offset) Advance();
    if (ahead_.empty() && !extrapolate && offset > anchor_offset_) return false;
    const double delta = double(offset) - double(anchor_offset_);
    // Before the anchor (only before the first PCR) the first rate reaches back.
    const double rate = delta < 0.0 ? seconds_per_byte_ : SegmentRate();
    out.Seconds = anchor_seconds_ + delta * rate;
    out.HasClock = true;
    out.Clock = double(anchor_pcr_) + delta * rate * kTicks;
    return true;
}

bool TimeBase::Release() {
    if (fixed_rate_) {
        released_ = true;
        return true;
    }
    if (!anchored_ && !Anchor()) return false;
    released_ = true;
    return true;
}

}  // namespace tscard
