#include "check/pcr_checks.h"

#include <algorithm>
#include <cmath>

#include "check/time_base.h"
#include "ts/packet.h"

namespace tscard {
namespace {

constexpr double kNsPerTick = 1e9 / double(kSystemClockHz);

}  // namespace

void PcrChecks::Measure(std::uint16_t pid, double deviation_ticks, double seconds, std::uint64_t offset,
                        bool reference) {
    const double ns = deviation_ticks * kNsPerTick;
    ++measured_;
    largest_ns_ = std::max(largest_ns_, std::fabs(ns));
    if (std::fabs(ns) > kPcrAccuracyNs)
        tallies_.Record(Indicator::PCR_accuracy_error, {seconds, offset, pid, Cause::Deviation, ns});
    if (reference) deviations_.Add(seconds, ns);
}

void PcrChecks::Fit(std::uint16_t pid, PidState& s, bool reference) {
    const std::vector<Point>& p = s.Points;
    if (p.empty()) return;
    double mean_x = 0.0;
    double mean_y = 0.0;
    for (const Point& q : p) {
        mean_x += double(q.Bytes);
        mean_y += double(q.Ticks);
    }
    mean_x /= double(p.size());
    mean_y /= double(p.size());
    double sxx = 0.0;
    double sxy = 0.0;
    for (const Point& q : p) {
        const double dx = double(q.Bytes) - mean_x;
        sxx += dx * dx;
        sxy += dx * (double(q.Ticks) - mean_y);
    }
    const double slope = sxx > 0.0 ? sxy / sxx : 0.0;
    for (const Point& q : p)
        Measure(pid, double(q.Ticks) - (mean_y + slope * (double(q.Bytes) - mean_x)), q.Seconds, q.Offset, reference);
    s.Points.clear();
}

void PcrChecks::Pcr(std::uint16_t pid, std::uint64_t offset, double seconds, std::uint64_t value, bool flagged,
                    bool reference) {
    if (reference) reference_pid_ = pid;
    PidState& s = pids_[pid];
    bool stretch_starts = !s.Seen;
    if (s.Seen) {
        const double interval = seconds - s.LastSeconds;
        if (interval > kPcrRepetitionSeconds + 1e-9)
            tallies_.Record(Indicator::PCR_repetition_error, {seconds, offset, pid, Cause::Gap, interval * 1000.0});
        if (reference) intervals_.Add(seconds, interval * 1000.0);
        const std::uint64_t step = PcrStep(s.LastValue, value);
        const bool irregular = step > kPcrStepLimit;
        if (irregular && !flagged)
            tallies_.Record(Indicator::PCR_discontinuity_indicator_error,
                            {seconds, offset, pid, Cause::Step, SignedTicks(step) / 27000.0});
        stretch_starts = flagged || irregular;
    }
    s.Seen = true;
    s.LastSeconds = seconds;
    s.LastValue = value;
    if (stretch_starts) {
        if (rate_bps_ <= 0.0) Fit(pid, s, reference);
        s.StretchOffset = offset;
        s.StretchValue = value;
    }
    const std::uint64_t bytes = offset - s.StretchOffset;
    const std::uint64_t ticks = PcrStep(s.StretchValue, value);
    if (rate_bps_ > 0.0) {
        const double expected = double(bytes) * 8.0 * double(kSystemClockHz) / rate_bps_;
        Measure(pid, double(ticks) - expected, seconds, offset, reference);
        return;
    }
    s.Points.push_back({bytes, ticks, seconds, offset});
    if (s.Points.size() >= kFitPcrs) Fit(pid, s, reference);
}

void PcrChecks::Finish(CheckResult& result) {
    for (auto& [pid, s] : pids_) Fit(pid, s, pid == reference_pid_);
    IndicatorTally& accuracy = result.Tally(Indicator::PCR_accuracy_error);
    std::sort(accuracy.Occurrences.begin(), accuracy.Occurrences.end(),
              [](const Occurrence& a, const Occurrence& b) { return a.Offset < b.Offset; });
    result.PcrsMeasured = measured_;
    result.PcrAccuracyMaxNs = largest_ns_;
    result.Charts.PcrIntervalMs = {reference_pid_, false, 0, intervals_.Points()};
    result.Charts.PcrAccuracyNs = {reference_pid_, false, 0, deviations_.Points()};
}

}  // namespace tscard
