#include "check/pes_timing.h"

#include <algorithm>

namespace tscard {

void PesTiming::Timed(std::uint16_t pid, std::uint8_t stream_type, std::string kind) {
    Stream& s = streams_[pid];
    s.StreamType = stream_type;
    s.Kind = std::move(kind);
}

void PesTiming::Pes(std::uint16_t pid, std::uint64_t offset, const Instant& at, std::uint64_t decode) {
    const auto last = last_pts_.find(pid);
    if (last != last_pts_.end()) {
        const double interval = at.Seconds - last->second;
        if (interval > kPtsRepetitionSeconds + 1e-9)
            tallies_.Record(Indicator::PTS_error, {at.Seconds, offset, pid, Cause::Gap, interval * 1000.0});
    }
    last_pts_[pid] = at.Seconds;

    const auto it = streams_.find(pid);
    if (it == streams_.end() || !at.HasClock) return;
    Stream& s = it->second;
    const std::uint64_t clock = static_cast<std::uint64_t>(std::max(0.0, at.Clock + double(kPcrWrap))) % kPcrWrap;
    const double ms = SignedTicks(decode + kPcrWrap - clock) / 27000.0;
    s.Min = s.Pes == 0 ? ms : std::min(s.Min, ms);
    s.Max = s.Pes == 0 ? ms : std::max(s.Max, ms);
    s.Sum += ms;
    ++s.Pes;
    if (ms < 0.0) ++s.Late;
    if (ms > kEarlyPesMs) ++s.Early;
    s.Delays.Add(at.Seconds, ms);
}

void PesTiming::Finish(CheckResult& result) {
    for (auto& [pid, s] : streams_) {
        StreamTiming t;
        t.Pid = pid;
        t.StreamType = s.StreamType;
        t.Kind = s.Kind;
        t.Pes = s.Pes;
        t.MinMs = s.Min;
        t.MaxMs = s.Max;
        t.MeanMs = s.Pes > 0 ? s.Sum / double(s.Pes) : 0.0;
        t.LatePes = s.Late;
        t.EarlyPes = s.Early;
        result.Timing.push_back(t);
        if (!s.Delays.Empty()) result.Charts.DecodingDelayMs.push_back({pid, false, s.StreamType, s.Delays.Points()});
    }
}

}  // namespace tscard
