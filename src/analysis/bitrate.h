#pragma once
// Bit rate of a stream from the PCRs it carries, measured before a stream
// is prepared (one program, three PCR intervals) or written to a card (an
// interval of at least 10 s). Both read the file themselves in large
// blocks, find its packet size and first packet with the packet-size
// probe, and give their results as data: the caller shows the texts.

#include <cstdint>
#include <string>

#include "platform/words.h"

#include "platform/stop_flag.h"
#include "psi/psi_state.h"

namespace tscard {

// Bit rate with 204-byte packets = bit rate with 188-byte packets x 204/188.
constexpr double kPacket204Factor = 1.0851063829787233;

// MeasureProgramBitrate's codes.
constexpr int kProgramRateInRange = 0;  // 1.5 to 14.5 Mbit/s, or too little data
constexpr int kProgramRateNoFile = 1;   // the file does not open
constexpr int kProgramRateLow = 2;      // below 1.5 Mbit/s, or stopped
constexpr int kProgramRateHigh = 3;     // above 14.5 Mbit/s
// MeasureStreamBitrate's codes.
constexpr int kStreamRateDone = 0;    // in range, or the end of the file
constexpr int kStreamRateFailed = 1;  // the file does not open, or stopped

constexpr double kProgramRateMin = 1.5;
constexpr double kProgramRateMax = 14.5;
constexpr double kStreamRateMin = 1.5;
constexpr double kStreamRateMax = 100.0;

// Where the measurements start, in units after the first packet:
// 16,356,000 bytes in, past the start of a recording, where a program's rate
// has yet to settle;
constexpr std::uint64_t kProgramSkipPackets = 87000;
// 65,424 bytes in (one read of whole packets) for a stream of 188-byte packets;
constexpr std::uint64_t kStreamSkipPackets188 = 348;
// 16,368,000 bytes in for 192-byte units, past the start of a capture.
constexpr std::uint64_t kStreamSkipUnits192 = 85250;

struct [[nodiscard]] BitrateMeasurement {
    int Code = 0;
    // An interval was measured and MeasuredBitrate written. False when the
    // file ended first ("not measured"); the texts then stay empty.
    bool Measured = false;
    bool Stopped = false;
    double MeasuredBitrate = 0.0;  // Mbit/s
    // Bit rate with 188-byte and with 204-byte packets, Mbit/s with 5
    // decimals; set only for a result in range.
    std::string Rate188Text;
    std::string Rate204Text;
    // Stream measurement: the card's bit rate in kbit/s, no decimals.
    std::string CardRateText;
    // Open failure: what OpenStreamFile says. Otherwise why
    // nothing was measured, when the file gave a reason (empty, no packets).
    Words Message;

    // What the measurement saw, for saying why it measured nothing. Where
    // it started (the byte of the first unit it reads), how many units it
    // read from there, whether a PCR was among them, how many intervals it
    // closed (the program measurement needs three), and the stream time
    // its PCRs cover: the sum of the forward steps between consecutive
    // PCRs of the measured PID.
    std::uint64_t StartByte = 0;
    std::uint64_t UnitsRead = 0;
    bool PcrFound = false;
    int Intervals = 0;
    double PcrSeconds = 0.0;
};

// Largest of three PCR intervals (each counting both of its PCR packets),
// starting 87,000 packets after the first packet. Writes MeasuredBitrate
// into `analysis` when measured; a stop clears the flag and gives code 2
// with Stopped set.
BitrateMeasurement MeasureProgramBitrate(StreamAnalysis& analysis, const std::string& path, StopFlag& stop);

// The first PCR interval of at least 10 s within 1.5 to 100 Mbit/s,
// starting 348 packets (85,250 192-byte units) after the first packet.
// Every interval of 10 s or more writes MeasuredBitrate and the card rate
// text; one in range also the two rate texts and CardSizeRatio 1.0.
BitrateMeasurement MeasureStreamBitrate(StreamAnalysis& analysis, const std::string& path, StopFlag& stop);

}  // namespace tscard
