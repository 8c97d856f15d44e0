#include "check/table_gaps.h"

namespace tscard {
namespace {

// Times come from doubles: a hair over the limit is the limit.
constexpr double kSlack = 1e-9;

}  // namespace

void TableGaps::Ended(Indicator indicator, Watch& w, double limit, double seconds, std::uint64_t offset,
                      std::uint16_t pid, Cause cause) {
    const double gap = seconds - w.Last;
    if (gap > limit + kSlack) tallies_.Record(indicator, {seconds, offset, pid, cause, gap * 1000.0});
    w.Seen = true;
}

void TableGaps::Missing(Indicator indicator, const Watch& w, double limit, double seconds, std::uint64_t offset,
                        std::uint16_t pid) {
    if (w.Seen) return;
    const double gap = seconds - w.Last;
    if (gap > limit + kSlack) tallies_.Record(indicator, {seconds, offset, pid, Cause::Missing, gap * 1000.0});
}

void TableGaps::Start(double seconds) {
    start_ = seconds;
    started_ = true;
    pat_.Last = seconds;
}

void TableGaps::PatSeen(double seconds, std::uint64_t offset) {
    Ended(Indicator::PAT_error, pat_, kTableLimitSeconds, seconds, offset, 0, Cause::Gap);
    pat_.Last = seconds;
}

void TableGaps::PmtNamed(std::uint16_t pid, double seconds, bool first_pat) {
    if (pmts_.count(pid) != 0) return;
    Watch& w = pmts_[pid];
    w.Last = first_pat && started_ ? start_ : seconds;
    const auto early = early_pmts_.find(pid);
    if (first_pat && early != early_pmts_.end()) {
        Ended(Indicator::PMT_error, w, kTableLimitSeconds, early->second.First, early->second.FirstOffset, pid,
              Cause::Gap);
        w.Last = early->second.Last;
    }
}

void TableGaps::EarlyPmt(std::uint16_t pid, double seconds, std::uint64_t offset) {
    const auto [it, fresh] = early_pmts_.try_emplace(pid, Early{seconds, offset, seconds});
    if (!fresh) it->second.Last = seconds;
}

void TableGaps::PmtSeen(std::uint16_t pid, double seconds, std::uint64_t offset) {
    const auto it = pmts_.find(pid);
    if (it == pmts_.end()) return;
    Ended(Indicator::PMT_error, it->second, kTableLimitSeconds, seconds, offset, pid, Cause::Gap);
    it->second.Last = seconds;
}

void TableGaps::EsNamed(std::uint16_t pid, double seconds) {
    if (streams_.count(pid) == 0) streams_[pid].Last = seconds;
}

void TableGaps::EsPresent(std::uint16_t pid, double first_seconds, std::uint64_t first_offset, double last_seconds) {
    const auto it = streams_.find(pid);
    if (it == streams_.end()) return;
    Ended(Indicator::PID_error, it->second, pid_timeout_, first_seconds, first_offset, pid, Cause::Gap);
    it->second.Last = last_seconds;
}

void TableGaps::Finish(double seconds, std::uint64_t offset) {
    if (!started_) return;
    Missing(Indicator::PAT_error, pat_, kTableLimitSeconds, seconds, offset, 0);
    for (const auto& [pid, w] : pmts_) Missing(Indicator::PMT_error, w, kTableLimitSeconds, seconds, offset, pid);
    for (const auto& [pid, w] : streams_) Missing(Indicator::PID_error, w, pid_timeout_, seconds, offset, pid);
}

}  // namespace tscard
