#pragma once
// What a stream check found, as data: the count of each indicator with its
// first occurrences, the timing of each stream, the bit-rate figures and the
// series the charts draw. Front ends render it; nothing here is text for
// the operator but the indicator names, which are the measurement's own.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tscard {

// The indicators in their measurement order: priority 1, then priority 2.
enum class Indicator : std::uint8_t {
    TS_sync_loss,
    Sync_byte_error,
    PAT_error,
    Continuity_count_error,
    PMT_error,
    PID_error,
    Transport_error,
    CRC_error,
    PCR_repetition_error,
    PCR_discontinuity_indicator_error,
    PCR_accuracy_error,
    PTS_error,
    CAT_error,
};
constexpr std::size_t kIndicatorCount = 13;

// "PAT_error": the name as the measurement guidelines write it, used in
// reports and as the JSON key.
std::string_view IndicatorName(Indicator indicator);
// "1.3", "2.3a".
std::string_view IndicatorNumber(Indicator indicator);
int IndicatorPriority(Indicator indicator);
inline Indicator IndicatorAt(std::size_t index) { return static_cast<Indicator>(index); }

// Why an occurrence counted; Value's meaning follows from it.
enum class Cause : std::uint8_t {
    Gap,          // an interval longer than the limit ended here; Value: its length in ms
    Missing,      // never in the file, from where it was due to the end; Value: that time in ms
    TableId,      // a section with another table_id; Value: the table_id
    Scrambled,    // transport_scrambling_control not 0; Value: its bits
    Counter,      // continuity_counter out of order; Value: the counter found
    SyncByte,     // Value: the byte found where 0x47 belongs
    SyncLost,     // two packets in a row without 0x47
    Crc,          // Value: the section's table_id
    Flag,         // transport_error_indicator set
    Step,         // PCR values stepped outside 0..100 ms unflagged; Value: the step in ms
    Deviation,    // PCR off its constant-rate position; Value: ns
};
std::string_view CauseName(Cause cause);

struct Occurrence {
    double Seconds = 0.0;      // on the time base
    std::uint64_t Offset = 0;  // byte of the packet's sync byte in the file
    std::uint16_t Pid = 0;
    Cause Why = Cause::Gap;
    double Value = 0.0;
};

// The first occurrences are kept, no more than this many per indicator.
constexpr std::size_t kKeptOccurrences = 20;

struct IndicatorTally {
    std::uint64_t Count = 0;
    std::vector<Occurrence> Occurrences;  // the first ones, in file order
};

// Decoding delay of one PES stream of the checked program: DTS (PTS when
// there is none) minus the PCR clock at the arrival of the PES header.
struct StreamTiming {
    std::uint16_t Pid = 0;
    std::uint8_t StreamType = 0;
    std::string Kind;       // "MPEG-2 video", "AC-3 audio": what it carries
    std::uint64_t Pes = 0;  // headers with a timestamp, timed
    double MinMs = 0.0;
    double MaxMs = 0.0;
    double MeanMs = 0.0;
    std::uint64_t LatePes = 0;   // arrived after their decoding time
    std::uint64_t EarlyPes = 0;  // arrived more than 1 s before it
};

struct PidShare {
    std::uint16_t Pid = 0;
    std::uint64_t Packets = 0;
    double Percent = 0.0;
    double Mbps = 0.0;
};

// A 1-second window of the time base and its bit rate.
struct WindowRate {
    double Seconds = 0.0;  // the window's start
    double Mbps = 0.0;
};

struct SeriesPoint {
    double Seconds = 0.0;
    double Value = 0.0;
};

// Points in time order. Long series are reduced to the smallest and the
// largest value of each stretch of time (one stretch per drawn column), so
// the extremes are always there.
struct Series {
    std::uint16_t Pid = 0;  // the PID it belongs to (the whole stream: 0x1FFF and Whole set)
    bool Whole = false;
    std::uint8_t StreamType = 0;
    std::vector<SeriesPoint> Points;
};

struct CheckSeries {
    // Mbit/s per 1-second window: the whole stream first, then its three
    // largest PIDs (null packets aside).
    std::vector<Series> Bitrate;
    Series PcrIntervalMs;   // the reference PID's PCR intervals
    Series PcrAccuracyNs;   // and each PCR's deviation
    std::vector<Series> DecodingDelayMs;  // per PES stream of the checked program
};

enum class CheckEnding {
    Checked,  // the whole file
    Stopped,  // the stop request ended it: the figures cover what was read
    Failed,   // nothing could be checked; Message says why
};

enum class TimeSource { Pcr, Rate };

struct CheckResult {
    CheckEnding Ending = CheckEnding::Failed;
    std::string Message;  // Failed: the reason, naming the file

    std::string Path;
    std::uint64_t FileBytes = 0;
    std::uint32_t PacketSize = 188;
    std::uint64_t FirstPacketOffset = 0;
    std::uint64_t Packets = 0;       // packets read in sync
    std::uint64_t CheckedBytes = 0;  // of the file, up to the last packet read

    TimeSource Time = TimeSource::Pcr;
    double RateBps = 0.0;  // TimeSource::Rate: the rate given
    std::optional<std::uint16_t> ProgramNumber;  // the program checked
    std::optional<std::uint16_t> ReferencePid;   // its PCR PID
    double DurationSeconds = 0.0;

    std::array<IndicatorTally, kIndicatorCount> Indicators{};
    std::uint64_t PcrsMeasured = 0;  // PCRs whose accuracy was measured
    double PcrAccuracyMaxNs = 0.0;   // the largest deviation, either sign, as a magnitude

    std::vector<StreamTiming> Timing;

    double Mbps = 0.0;  // the whole stream
    double NullPercent = 0.0;
    std::vector<PidShare> Pids;  // every PID, largest first
    std::optional<WindowRate> WindowMin;  // over the whole 1-second windows
    std::optional<WindowRate> WindowMax;

    CheckSeries Charts;

    const IndicatorTally& Tally(Indicator i) const { return Indicators[static_cast<std::size_t>(i)]; }
    IndicatorTally& Tally(Indicator i) { return Indicators[static_cast<std::size_t>(i)]; }
    std::uint64_t Errors(int priority) const;
    bool Clean() const { return Errors(1) == 0 && Errors(2) == 0; }
};

}  // namespace tscard
