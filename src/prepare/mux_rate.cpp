#include "prepare/mux_rate.h"

#include <charconv>
#include <cmath>

namespace tscard {
namespace {

std::string Padded(double value, int decimals, std::size_t width) {
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    std::string text(buffer, end);
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace

NullSchedule::NullSchedule(std::uint64_t span, std::size_t packets) {
    if (packets == 0) return;
    const double slots = static_cast<double>(span) / TicksPerPacket;
    const double c = static_cast<double>(packets);
    n_ = static_cast<std::int64_t>(std::trunc(slots - c));
    k_ = static_cast<std::int64_t>(std::trunc(slots / c)) - 1;
    if (k_ >= 1) {
        per_packet_ = true;
        owed_ = n_ - static_cast<std::int64_t>(packets) * k_;
        total_ = static_cast<std::uint64_t>(n_);
        return;
    }
    if (n_ <= 0) return;
    spacing_ = static_cast<std::int64_t>(packets) / n_;
    if (spacing_ == 0) return;
    owed_ = n_;
    total_ = static_cast<std::uint64_t>(n_);
}

std::uint64_t NullSchedule::AfterFurther(std::size_t i) {
    if (per_packet_) {
        if (owed_ > k_) {
            --owed_;
            return std::uint64_t(k_) + 1;
        }
        return std::uint64_t(k_);
    }
    if (owed_ > 0 && static_cast<std::int64_t>(i) % spacing_ == 0) {
        --owed_;
        return 1;
    }
    return 0;
}

std::uint64_t SplicedTimestamp(std::uint64_t t, std::uint64_t in_ref, std::uint64_t out_ref) {
    const std::int64_t value =
        static_cast<std::int64_t>(out_ref) + static_cast<std::int64_t>(t) - static_cast<std::int64_t>(in_ref);
    // Floor division: toward minus infinity for timestamps before the reference.
    std::int64_t q = value / 300;
    if (value % 300 != 0 && value < 0) --q;
    constexpr std::int64_t kWrap = std::int64_t(1) << 33;
    q %= kWrap;
    if (q < 0) q += kWrap;
    return static_cast<std::uint64_t>(q);
}

std::string PcrStepText(double seconds) { return Padded(seconds, 3, 8); }

std::string BitrateText(double mbit_per_second) { return Padded(mbit_per_second, 7, 10); }

}  // namespace tscard
