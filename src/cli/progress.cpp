#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tscard::cli {

TerminalProgress::TerminalProgress(std::string label, std::uint64_t maximum)
    : label_(std::move(label)), maximum_(maximum), enabled_(::isatty(STDERR_FILENO) == 1) {
    Draw(true);
}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::SetMaximum(std::uint64_t maximum) {
    maximum_ = maximum;
    Draw(false);
}

void TerminalProgress::Step(std::uint64_t steps) { Set(value_ + steps); }

void TerminalProgress::Set(std::uint64_t value) {
    value_ = value;
    Draw(false);
}

void TerminalProgress::Draw(bool force) {
    if (!enabled_ || finished_) return;
    const std::uint64_t shown = std::min(value_, maximum_);
    const int percent = maximum_ == 0 ? 0 : static_cast<int>(shown * 100 / maximum_);
    if (!force && percent == drawn_percent_) return;
    drawn_percent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
                 "########################################", kWidth - filled, "", percent);
    std::fflush(stderr);
}

void TerminalProgress::Finish() {
    if (!enabled_ || finished_) return;
    finished_ = true;
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace tscard::cli
