#include "check/bit_rate.h"

#include <algorithm>
#include <cmath>

#include "ts/packet.h"

namespace tscard {
namespace {

double Mbps(double packets, double seconds) { return packets * kBitsPerPacket / seconds / 1e6; }

// A window counts among the whole ones when stretches cover it to within
// this much (they meet end to end; doubles add up a little short).
constexpr double kWholeWindow = 1.0 - 1e-6;

}  // namespace

BitRates::BitRates() { drawn_index_.fill(-1); }

void BitRates::Add(const PidCount* counts, std::size_t n, double share) {
    for (std::size_t i = 0; i < n; ++i) {
        const double packets = double(counts[i].Packets) * share;
        packets_ += packets;
        const std::uint16_t pid = counts[i].Pid;
        if (pid == kNullPid) continue;
        std::int16_t& index = drawn_index_[pid];
        if (index < 0) {
            if (drawn_.size() >= kDrawnPids) continue;
            index = static_cast<std::int16_t>(drawn_.size());
            drawn_.push_back(std::make_unique<Drawn>());
            drawn_.back()->Pid = pid;
        }
        drawn_[std::size_t(index)]->Packets += packets;
    }
}

void BitRates::CloseWindow() {
    if (covered_ > 0.0) {
        const double start = std::max(double(window_), 0.0);
        const double rate = Mbps(packets_, covered_);
        whole_.Add(start, rate);
        for (auto& d : drawn_) {
            d->Rates.Add(start, Mbps(d->Packets, covered_));
            d->Packets = 0.0;
        }
        if (covered_ >= kWholeWindow) {
            if (!have_extremes_ || rate < min_.Mbps) min_ = {double(window_), rate};
            if (!have_extremes_ || rate > max_.Mbps) max_ = {double(window_), rate};
            have_extremes_ = true;
        }
    }
    covered_ = 0.0;
    packets_ = 0.0;
    ++window_;
}

void BitRates::Stretch(double from, double to, const PidCount* counts, std::size_t n) {
    if (!open_) {
        open_ = true;
        window_ = static_cast<std::int64_t>(std::floor(from));
    }
    const double length = to - from;
    if (length <= 0.0) {
        Add(counts, n, 1.0);
        return;
    }
    double at = from;
    while (at < to) {
        const double window_end = double(window_ + 1);
        const double piece_end = std::min(to, window_end);
        const double piece = piece_end - at;
        Add(counts, n, piece / length);
        covered_ += piece;
        at = piece_end;
        if (at >= window_end) CloseWindow();
    }
}

void BitRates::Finish(double first_seconds, double end_seconds, const std::vector<std::uint64_t>& packets,
                      CheckResult& result) {
    if (covered_ > 0.0) CloseWindow();
    std::uint64_t total = 0;
    for (std::uint64_t p : packets) total += p;
    const double duration = end_seconds - first_seconds;
    if (duration > 0.0) result.Mbps = Mbps(double(total), duration);
    for (std::size_t pid = 0; pid < packets.size(); ++pid) {
        if (packets[pid] == 0) continue;
        PidShare share;
        share.Pid = static_cast<std::uint16_t>(pid);
        share.Packets = packets[pid];
        share.Percent = 100.0 * double(packets[pid]) / double(total);
        share.Mbps = duration > 0.0 ? Mbps(double(packets[pid]), duration) : 0.0;
        result.Pids.push_back(share);
    }
    std::stable_sort(result.Pids.begin(), result.Pids.end(),
                     [](const PidShare& a, const PidShare& b) { return a.Packets > b.Packets; });
    if (total > 0) result.NullPercent = 100.0 * double(packets[kNullPid]) / double(total);
    if (have_extremes_) {
        result.WindowMin = min_;
        result.WindowMax = max_;
    }
    Series whole;
    whole.Pid = kNullPid;
    whole.Whole = true;
    whole.Points = whole_.Points();
    result.Charts.Bitrate.push_back(std::move(whole));
    // The three largest PIDs that were drawn, null packets aside.
    std::size_t shown = 0;
    for (const PidShare& share : result.Pids) {
        if (shown == 3) break;
        if (share.Pid == kNullPid || drawn_index_[share.Pid] < 0) continue;
        const Drawn& d = *drawn_[std::size_t(drawn_index_[share.Pid])];
        result.Charts.Bitrate.push_back({d.Pid, false, 0, d.Rates.Points()});
        ++shown;
    }
}

}  // namespace tscard
