#pragma once
// The fixed multiplex rate of prepared streams and the clock arithmetic
// built on it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tscard {

// 27 MHz ticks per 188-byte packet slot: 24,882,472.745 bit/s.
constexpr double TicksPerPacket = 1631.9921422600557;
// The multiplex rate in bit/s that TicksPerPacket makes: 27,000,000 x 1504
// / TicksPerPacket = 24,882,472.745 bit/s. A prepared stream checked at this
// rate has every PCR within one 27 MHz tick of its place.
constexpr double kMuxBitRate = 27000000.0 * 1504.0 / TicksPerPacket;
// The unit of the interval clocks: TicksPerPacket x 27,000 ticks (1.632 s).
constexpr double kPaceUnitTicks = TicksPerPacket * 27000.0;

// A PCR interval longer than this ends the run with kPcrStepError.
constexpr double kLargestPcrStepSeconds = 0.75;
// A source without an SDT of its own gets the generated one this often.
constexpr double kSdtPeriodPaceUnits = 0.08;
// The output carries a PAT and a PMT at least this often (0.5 s of PCR
// time, as broadcast monitoring demands): a generated one is added at the
// close of the interval that brings a table's clock there.
constexpr std::uint64_t kPsiRepeatTicks = 13500000;
// The output bit rate is reported once this much stream time has passed.
constexpr double kDisplayStartPaceUnits = 0.25;
// Progress is reported per this many bytes of accepted input (348 packets).
constexpr std::uint64_t kProgressStepBytes = 65424;

// The PCR of the packet slot `index` of a prepared stream.
inline std::uint64_t SlotPcr(std::uint64_t index) {
    return static_cast<std::uint64_t>(static_cast<double>(index) * TicksPerPacket);
}

// How many nulls follow each packet of a closed PCR interval so that the
// interval fills the slots its PCR span holds at the multiplex rate. With
// k = trunc(slots / c) - 1 of at least 1, every packet is followed by k
// nulls and the first `owed` further packets by one more (per-packet mode);
// otherwise one null follows every s-th further packet (spread mode). What
// is still owed after the last packet follows it.
class NullSchedule {
public:
    // span: the interval's PCR span in ticks; packets: c, the packets of
    // the interval with the PCR packet that opened it.
    NullSchedule(std::uint64_t span, std::size_t packets);

    // Nulls after the opening PCR packet.
    std::uint64_t AfterOpening() const { return per_packet_ ? std::uint64_t(k_) : 0; }
    // Nulls after further packet i (0, 1, 2 ... in order; call once each).
    std::uint64_t AfterFurther(std::size_t i);
    // Nulls after the last packet, once the packets are through.
    std::uint64_t AtEnd() const { return owed_ > 0 ? std::uint64_t(owed_) : 0; }
    // All nulls of the interval: N when the interval gets nulls, else 0.
    std::uint64_t Total() const { return total_; }

    bool PerPacket() const { return per_packet_; }
    std::int64_t K() const { return k_; }
    std::int64_t N() const { return n_; }

private:
    bool per_packet_ = false;
    std::int64_t n_ = 0;
    std::int64_t k_ = 0;
    std::int64_t owed_ = 0;
    std::int64_t spacing_ = 0;
    std::uint64_t total_ = 0;
};

// Timestamps after a splice move with the output clock: T (27 MHz) becomes
// floor((out_ref + T - in_ref) / 300), reduced into 0 .. 2^33 - 1.
std::uint64_t SplicedTimestamp(std::uint64_t t, std::uint64_t in_ref, std::uint64_t out_ref);

// The operator's texts of the two values a run reports per interval: the
// PCR step in seconds ("%8.3f") and the output bit rate in Mbit/s
// ("%10.7f"), '.' as separator.
std::string PcrStepText(double seconds);
std::string BitrateText(double mbit_per_second);

}  // namespace tscard
