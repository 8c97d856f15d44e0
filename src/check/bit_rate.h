#pragma once
// Bit rates on the time base: the whole stream's, each PID's share, and
// the rate of each 1-second window [k, k+1) s, for the whole stream and
// for the PIDs (the charts show the three largest). The packets of a
// stretch of the file are spread over the windows it covers in proportion
// to time: exact for the whole stream, whose time is linear in bytes
// within a stretch, and close for a PID.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "check/series_reducer.h"

namespace tscard {

// The packets of one PID in a stretch of the file.
struct PidCount {
    std::uint16_t Pid;
    std::uint32_t Packets;
};

class BitRates {
public:
    BitRates();
    // A stretch of the file from `from` to `to` seconds.
    void Stretch(double from, double to, const PidCount* counts, std::size_t n);
    // Closes the last window; packets: per PID over the whole file.
    void Finish(double first_seconds, double end_seconds, const std::vector<std::uint64_t>& packets,
                CheckResult& result);

private:
    // PIDs whose windows are drawn, at most this many (the first to appear).
    static constexpr std::size_t kDrawnPids = 64;
    struct Drawn {
        std::uint16_t Pid;
        double Packets = 0.0;  // in the window in hand
        SeriesReducer Rates;
    };
    void Add(const PidCount* counts, std::size_t n, double share);
    void CloseWindow();

    bool open_ = false;
    std::int64_t window_ = 0;
    double covered_ = 0.0;  // seconds of the window in hand covered by stretches
    double packets_ = 0.0;
    std::array<std::int16_t, 8192> drawn_index_;
    std::vector<std::unique_ptr<Drawn>> drawn_;
    SeriesReducer whole_;
    bool have_extremes_ = false;
    WindowRate min_;
    WindowRate max_;
};

}  // namespace tscard
