#pragma once
// The time of a packet from its byte position. With a rate given, the time
// is the position x 8 / rate. Otherwise the PCRs of the reference PID are
// the clock: between two of them the time is interpolated linearly by byte
// position; before the first and after the last, the nearest interval's
// rate extrapolates; at a discontinuity (discontinuity_indicator, or a step
// outside 0..100 ms) the time goes on at the rate of the interval before,
// so a jump of the PCR values is no jump of time. Time 0 is byte 0.
//
// Positions between two PCRs can only be timed once the later PCR has
// arrived: Map says false until then, and the caller holds what it wants
// timed until Map succeeds. The clock (the PCR value a decoder would read
// at that byte, 27 MHz) is interpolated the same way; with a rate it runs
// from the nearest PCR at that rate.

#include <cstdint>
#include <deque>

namespace tscard {

// PCR values count modulo 2^33 x 300.
constexpr std::uint64_t kPcrWrap = (std::uint64_t(1) << 33) * 300;
// A step of the PCR values above this (or backwards) is a discontinuity.
constexpr std::uint64_t kPcrStepLimit = 2700000;  // 100 ms

// The step from one PCR value to the next, through a wrap.
inline std::uint64_t PcrStep(std::uint64_t from, std::uint64_t to) { return (to + kPcrWrap - from) % kPcrWrap; }
// A 27 MHz difference taken modulo the wrap, as the nearest signed value.
inline double SignedTicks(std::uint64_t difference) {
    difference %= kPcrWrap;
    return difference > kPcrWrap / 2 ? -double(kPcrWrap - difference) : double(difference);
}

struct Instant {
    double Seconds = 0.0;
    bool HasClock = false;
    double Clock = 0.0;  // 27 MHz ticks, not reduced modulo the wrap
};

class TimeBase {
public:
    // rate_bps above 0: time from byte positions at that rate.
    explicit TimeBase(double rate_bps = 0.0);

    // A PCR of the reference PID, in file order.
    void Add(std::uint64_t offset, std::uint64_t pcr, bool flagged);
    bool HasPcr() const { return pcrs_ > 0; }
    std::uint64_t Pcrs() const { return pcrs_; }

    // The time at the byte, when what decides it is known; `final` (the
    // file has ended) extrapolates past the last PCR. Offsets come in
    // order, except ones within the span already mapped.
    bool Map(std::uint64_t offset, bool final, Instant& out);

    // The next PCR is long in coming: what lies ahead of the last one is
    // extrapolated at the last rate from now on, and the interval up to the
    // next PCR counts as a discontinuity. False while no rate is known.
    bool Release();
    bool RateKnown() const { return fixed_rate_ || anchored_; }

private:
    struct Breakpoint {
        std::uint64_t Offset;
        std::uint64_t Pcr;
        bool Flagged;
    };
    bool Anchor();
    double SegmentRate() const;  // seconds per byte up to the next PCR
    void Advance();

    bool fixed_rate_ = false;
    double seconds_per_byte_ = 0.0;  // of the last regular interval (or the rate given)
    std::deque<Breakpoint> ahead_;   // PCRs not yet passed
    std::uint64_t pcrs_ = 0;
    // Released: extrapolating past the last PCR, and the interval up to the
    // next one counts as a discontinuity.
    bool released_ = false;
    // The last PCR passed: its byte, time and value.
    bool anchored_ = false;
    std::uint64_t anchor_offset_ = 0;
    double anchor_seconds_ = 0.0;
    std::uint64_t anchor_pcr_ = 0;
};

}  // namespace tscard
