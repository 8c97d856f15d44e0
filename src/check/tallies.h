#pragma once
// Counts the indicators and keeps the first occurrences of each. A packet
// check counts at once and sends the details on to be timed; the slot they
// will fill is reserved as it counts, so each indicator keeps the first
// kKeptOccurrences whichever stage found them.

#include <array>

#include "check/check_result.h"

namespace tscard {

class Tallies {
public:
    explicit Tallies(std::array<IndicatorTally, kIndicatorCount>& out) : out_(out) {}

    // Counts one; true when its details are wanted (a slot is reserved).
    bool Count(Indicator i) {
        const std::size_t k = static_cast<std::size_t>(i);
        ++out_[k].Count;
        if (slots_[k] >= kKeptOccurrences) return false;
        ++slots_[k];
        return true;
    }
    // The details of a counted occurrence whose slot was reserved.
    void Keep(Indicator i, const Occurrence& o) { out_[static_cast<std::size_t>(i)].Occurrences.push_back(o); }
    // Counts one whose details are known.
    void Record(Indicator i, const Occurrence& o) {
        if (Count(i)) Keep(i, o);
    }

private:
    std::array<IndicatorTally, kIndicatorCount>& out_;
    std::array<std::size_t, kIndicatorCount> slots_{};
};

}  // namespace tscard
