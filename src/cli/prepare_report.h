#pragma once
// What prepare prints at the end of a run: one aligned line per figure of
// the output written (size, duration at the fixed rate, null packets and
// their share, the largest PCR step, the tail repair), or JSON.

#include <algorithm>
#include <optional>

#include "prepare/prepare_job.h"
#include "prepare/prepare_worker.h"

namespace tscard::cli {

// Keeps the last values of the two figures a window shows during a run,
// and the largest PCR step.
class LastFigures final : public PrepareObserver {
public:
    void OnPcrStep(double seconds) override {
        pcr_step = seconds;
        largest_step = std::max(largest_step.value_or(0.0), seconds);
    }
    void OnBitrate(double mbit) override { bitrate = mbit; }
    std::optional<double> pcr_step;
    std::optional<double> largest_step;
    std::optional<double> bitrate;
};

// Prints the summary of a run that kept its output on stdout.
void PrintPrepareSummary(bool json, const PrepareJob& job, const PrepareResult& result, const LastFigures& figures);

}  // namespace tscard::cli
