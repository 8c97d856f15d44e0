#pragma once
// The PCR indicators, per PID carrying PCRs:
//  - PCR_repetition_error: consecutive PCRs more than 40 ms apart on the
//    time base (a jump of the values alone is no repetition error);
//  - PCR_discontinuity_indicator_error: consecutive values whose step lies
//    outside 0..100 ms without discontinuity_indicator;
//  - PCR_accuracy_error: with no arrival clock in a file, each PCR is
//    measured against a constant rate, separately in each stretch between
//    discontinuities (flagged, or a step outside 0..100 ms): with a rate
//    given, against the first PCR of the stretch advanced by the bytes
//    since at that rate; without, against the least-squares line of the
//    stretch's PCRs over byte position. A stretch longer than
//    kFitPcrs PCRs is fitted in parts of that many. More than 500 ns off
//    counts.
// The reference PID's intervals and deviations feed the charts.

#include <cstdint>
#include <map>
#include <vector>

#include "check/series_reducer.h"
#include "check/tallies.h"

namespace tscard {

constexpr double kPcrRepetitionSeconds = 0.040;
constexpr double kPcrAccuracyNs = 500.0;
constexpr std::size_t kFitPcrs = 65536;

class PcrChecks {
public:
    // rate_bps 0: fit each stretch.
    PcrChecks(Tallies& tallies, double rate_bps) : tallies_(tallies), rate_bps_(rate_bps) {}

    void Pcr(std::uint16_t pid, std::uint64_t offset, double seconds, std::uint64_t value, bool flagged,
             bool reference);
    // Fits what is still open; fills the accuracy figures and the series.
    void Finish(CheckResult& result);

private:
    struct Point {
        std::uint64_t Bytes;  // since the stretch's first PCR
        std::uint64_t Ticks;  // PCR since the stretch's first, through wraps
        double Seconds;
        std::uint64_t Offset;
    };
    struct PidState {
        bool Seen = false;
        double LastSeconds = 0.0;
        std::uint64_t LastValue = 0;
        std::uint64_t StretchOffset = 0;
        std::uint64_t StretchValue = 0;
        std::vector<Point> Points;  // the stretch so far, without a rate
    };
    void Measure(std::uint16_t pid, double deviation_ticks, double seconds, std::uint64_t offset, bool reference);
    void Fit(std::uint16_t pid, PidState& s, bool reference);

    Tallies& tallies_;
    double rate_bps_;
    std::map<std::uint16_t, PidState> pids_;
    std::uint64_t measured_ = 0;
    double largest_ns_ = 0.0;  // the largest deviation, either sign
    SeriesReducer intervals_;
    SeriesReducer deviations_;
    std::uint16_t reference_pid_ = 0x1FFF;
};

}  // namespace tscard
