#pragma once
// What a decoder sees of each PES stream:
//  - PTS_error: on each PID whose PES headers carry a PTS, consecutive
//    PTS more than 700 ms apart on the time base;
//  - the decoding delay of each stream of the checked program: DTS (PTS
//    when there is none) minus the PCR clock at the arrival of the PES
//    header, its minimum, maximum and mean, the PES that arrive after
//    their decoding time (a decoder drops or stalls) and those more than
//    1 s early.

#include <cstdint>
#include <map>
#include <string>

#include "check/series_reducer.h"
#include "check/tallies.h"
#include "check/time_base.h"

namespace tscard {

constexpr double kPtsRepetitionSeconds = 0.700;
constexpr double kEarlyPesMs = 1000.0;

class PesTiming {
public:
    explicit PesTiming(Tallies& tallies) : tallies_(tallies) {}

    // A stream of the checked program: its delay is measured.
    void Timed(std::uint16_t pid, std::uint8_t stream_type, std::string kind);
    // A PES header with a PTS; decode: its DTS, or the PTS, in 27 MHz.
    void Pes(std::uint16_t pid, std::uint64_t offset, const Instant& at, std::uint64_t decode);
    void Finish(CheckResult& result);

private:
    struct Stream {
        std::uint8_t StreamType = 0;
        std::string Kind;
        std::uint64_t Pes = 0;
        double Min = 0.0;
        double Max = 0.0;
        double Sum = 0.0;
        std::uint64_t Late = 0;
        std::uint64_t Early = 0;
        SeriesReducer Delays;
    };

    Tallies& tallies_;
    std::map<std::uint16_t, double> last_pts_;  // arrival time of the last PTS per PID
    std::map<std::uint16_t, Stream> streams_;
};

}  // namespace tscard
