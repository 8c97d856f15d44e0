#pragma once
// The two figures a prepare run reports per PCR interval (the PCR step and
// the output bit rate), kept for the window, which shows the latest ones
// a few times a second: the worker reports far more often than anyone reads.

#include <atomic>
#include <optional>

#include "prepare/prepare_worker.h"

namespace tscard::app {

class PrepareFigures final : public PrepareObserver {
public:
    // Worker thread.
    void OnPcrStep(double seconds) override { Store(pcr_step_, seconds); }
    void OnBitrate(double mbit_per_second) override { Store(bitrate_, mbit_per_second); }

    // Any thread: nothing reported yet.
    void Reset() {
        pcr_step_.store(kNone, std::memory_order_relaxed);
        bitrate_.store(kNone, std::memory_order_relaxed);
    }
    std::optional<double> PcrStep() const { return Load(pcr_step_); }
    std::optional<double> Bitrate() const { return Load(bitrate_); }

private:
    static constexpr double kNone = -1.0;  // both figures are never negative

    static void Store(std::atomic<double>& figure, double value) { figure.store(value, std::memory_order_relaxed); }
    static std::optional<double> Load(const std::atomic<double>& figure) {
        const double value = figure.load(std::memory_order_relaxed);
        return value < 0 ? std::nullopt : std::optional<double>(value);
    }

    std::atomic<double> pcr_step_{kNone};
    std::atomic<double> bitrate_{kNone};
};

}  // namespace tscard::app
