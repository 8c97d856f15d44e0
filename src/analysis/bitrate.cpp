#include "analysis/bitrate.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/file_io.h"
#include "ts/fixed_text.h"
#include "ts/packet.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"
#include "ts/unit_reader.h"

namespace tscard {
namespace {

// How a measurement treats one packet.
enum class Kind {
    NullBeforePcr,  // a null packet before the first PCR: passed over
    Counted,        // payload only, a null packet, or adaptation without PCR on the PCR PID
    Foreign,        // adaptation field on another PID, or an empty adaptation field
    Pcr,            // a PCR on the PCR PID (or the first PCR)
};

Kind Classify(const std::uint8_t* packet, bool have_pcr, std::uint16_t pcr_pid) {
    const std::uint16_t pid = FoldPid(packet);
    const unsigned afc = AdaptationFieldControl(packet);
    if (!have_pcr && pid == kNullPid) return Kind::NullBeforePcr;
    if (afc <= 1 || pid == kNullPid) return Kind::Counted;
    if ((have_pcr && pid != pcr_pid) || (afc == 3 && AdaptationFieldLength(packet) == 0)) return Kind::Foreign;
    // The flags byte is part of the adaptation field only when its length
    // is above 0.
    if (AdaptationFieldLength(packet) == 0 || (packet[5] & 0x10) == 0) return Kind::Counted;
    return Kind::Pcr;
}

// Opens the file, finds its first packet and positions a block reader
// `skip` units after it. Returns false with `out` filled when nothing can
// be measured.
struct Source {
    File file;
    std::uint32_t unit = kPacketSize;
    std::uint64_t start = 0;
};

bool OpenSource(const std::string& path, StopFlag& stop, Source& source, BitrateMeasurement& out,
                int open_failed_code, int stopped_code, std::uint64_t skip188, std::uint64_t skip192) {
    if (Status st = OpenStreamFile(path, source.file); !st) {
        out.Code = open_failed_code;
        out.Message = st.words();
        return false;
    }
    const PacketProbe probe = ProbePacketSize(source.file, &stop);
    switch (probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::Stopped:
            out.Code = stopped_code;
            out.Stopped = true;
            return false;
        case ProbeOutcome::UnknownFormat:
            out.Code = 0;
            out.Message = UnknownStreamFormat(path, probe.Message);
            return false;
        case ProbeOutcome::Failed:
            out.Code = 0;
            out.Message = probe.Message;
            return false;
    }
    source.unit = probe.PacketSize;
    const std::uint64_t skip = source.unit == kUnit192Size ? skip192 : skip188;
    source.start = static_cast<std::uint64_t>(probe.SyncOffset) + skip * source.unit;
    out.StartByte = source.start;
    return true;
}

// Whole units from the measurement's start; the packet follows the prefix.
class PacketSource {
public:
    explicit PacketSource(const Source& source)
        : reader_(source.file, source.start, source.unit), prefix_(source.unit - kPacketSize) {}
    const std::uint8_t* Next() {
        const std::uint8_t* unit = reader_.Next();
        if (unit == nullptr) return nullptr;
        ++read_;
        return unit + prefix_;
    }
    std::uint64_t Read() const { return read_; }
    Words Error() const { return reader_.Failed() ? reader_.Error() : Words(); }

private:
    UnitReader reader_;
    std::size_t prefix_;
    std::uint64_t read_ = 0;
};

// The stream time the PCRs of the measured PID cover: forward steps
// summed, so a PCR that goes backwards starts a new stretch.
class PcrTime {
public:
    void See(std::uint64_t pcr) {
        if (seen_ && pcr > last_) ticks_ += pcr - last_;
        seen_ = true;
        last_ = pcr;
    }
    double Seconds() const { return double(ticks_) / double(kSystemClockHz); }

private:
    bool seen_ = false;
    std::uint64_t last_ = 0;
    std::uint64_t ticks_ = 0;
};

// Copies what the reader saw into the result, on every way out.
void NoteSeen(BitrateMeasurement& out, const PacketSource& reader, const PcrTime& time) {
    out.UnitsRead = reader.Read();
    out.PcrSeconds = time.Seconds();
}

}  // namespace

BitrateMeasurement MeasureProgramBitrate(StreamAnalysis& analysis, const std::string& path, StopFlag& stop) {
    BitrateMeasurement out;
    Source source;
    if (!OpenSource(path, stop, source, out, kProgramRateNoFile, kProgramRateLow, kProgramSkipPackets,
                    kProgramSkipPackets))
        return out;
    PacketSource reader(source);
    PcrTime time;

    bool have_pcr = false;
    std::uint16_t pcr_pid = 0;
    std::uint64_t opening = 0;
    std::uint64_t count = 0;
    double rates[3] = {};
    int intervals = 0;
    while (intervals < 3) {
        if (stop.TakeIfSet()) {
            out.Code = kProgramRateLow;
            out.Stopped = true;
            NoteSeen(out, reader, time);
            return out;
        }
        const std::uint8_t* packet = reader.Next();
        if (packet == nullptr) {
            out.Message = reader.Error();
            out.PcrFound = have_pcr;
            out.Intervals = intervals;
            NoteSeen(out, reader, time);
            return out;  // too little data: code 0, nothing written
        }
        switch (Classify(packet, have_pcr, pcr_pid)) {
            case Kind::NullBeforePcr:
            case Kind::Foreign: break;
            case Kind::Counted:
                if (have_pcr) ++count;
                break;
            case Kind::Pcr: {
                const std::uint64_t pcr = PcrTicks(packet);
                time.See(pcr);
                if (!have_pcr) {
                    have_pcr = true;
                    pcr_pid = FoldPid(packet);
                    opening = pcr;
                    count = 1;
                    break;
                }
                ++count;  // the closing packet belongs to the interval
                if (pcr > opening)
                    rates[intervals++] = double(count) * kBitsPerPacket * kTicksPerMicrosecond / double(pcr - opening);
                // The closing PCR opens the next interval and is its first
                // packet. A PCR that went backwards (or repeated) opens one
                // without closing any.
                opening = pcr;
                count = 1;
                break;
            }
        }
    }
    out.Measured = true;
    out.PcrFound = true;
    out.Intervals = intervals;
    NoteSeen(out, reader, time);
    out.MeasuredBitrate = *std::max_element(rates, rates + 3);
    analysis.MeasuredBitrate = out.MeasuredBitrate;
    if (out.MeasuredBitrate < kProgramRateMin) {
        out.Code = kProgramRateLow;
    } else if (out.MeasuredBitrate > kProgramRateMax) {
        out.Code = kProgramRateHigh;
    } else {
        out.Code = kProgramRateInRange;
        out.Rate188Text = FixedText(out.MeasuredBitrate, 8, 5);
        out.Rate204Text = FixedText(out.MeasuredBitrate * kPacket204Factor, 8, 5);
    }
    return out;
}

BitrateMeasurement MeasureStreamBitrate(StreamAnalysis& analysis, const std::string& path, StopFlag& stop) {
    BitrateMeasurement out;
    Source source;
    if (!OpenSource(path, stop, source, out, kStreamRateFailed, kStreamRateFailed, kStreamSkipPackets188,
                    kStreamSkipUnits192))
        return out;
    PacketSource reader(source);
    PcrTime time;

    bool have_pcr = false;
    std::uint16_t pcr_pid = 0;
    std::uint64_t opening = 0;
    std::uint64_t count = 0;
    for (;;) {
        out.PcrFound = have_pcr;
        if (stop.TakeIfSet()) {
            out.Code = kStreamRateFailed;
            out.Stopped = true;
            NoteSeen(out, reader, time);
            return out;
        }
        const std::uint8_t* packet = reader.Next();
        if (packet == nullptr) {
            if (!out.Measured) out.Message = reader.Error();
            out.Code = kStreamRateDone;
            NoteSeen(out, reader, time);
            return out;
        }
        switch (Classify(packet, have_pcr, pcr_pid)) {
            case Kind::NullBeforePcr: break;
            case Kind::Foreign: ++count; break;
            case Kind::Counted:
                if (have_pcr) ++count;
                break;
            case Kind::Pcr: {
                const std::uint64_t pcr = PcrTicks(packet);
                time.See(pcr);
                if (!have_pcr || pcr < opening) {
                    // The first PCR, or one that went backwards, opens an
                    // interval; the packet itself is not counted.
                    if (!have_pcr) pcr_pid = FoldPid(packet);
                    if (have_pcr) count = 0;
                    have_pcr = true;
                    opening = pcr;
                    break;
                }
                const double seconds = RoundDecimals(double(pcr - opening) / double(kSystemClockHz), 6);
                if (seconds < 10.0) {
                    ++count;
                    break;
                }
                opening = pcr;
                const double rate = double(count) * kBitsPerPacket / seconds;
                out.Measured = true;
                ++out.Intervals;
                out.MeasuredBitrate = RoundDecimals(std::nearbyint(rate) / 1e6, 3);
                analysis.MeasuredBitrate = out.MeasuredBitrate;
                out.CardRateText = FixedText(1000.0 * out.MeasuredBitrate, 7, 0);
                if (out.MeasuredBitrate >= kStreamRateMin && out.MeasuredBitrate <= kStreamRateMax) {
                    out.Rate188Text = FixedText(rate / 1e6, 8, 5);
                    out.Rate204Text = FixedText(rate / 1e6 * kPacket204Factor, 8, 5);
                    analysis.CardSizeRatio = 1.0;
                    out.Code = kStreamRateDone;
                    out.PcrFound = true;
                    NoteSeen(out, reader, time);
                    return out;
                }
                count = 2;  // the next interval begins with this packet counted
                break;
            }
        }
    }
}

}  // namespace tscard
