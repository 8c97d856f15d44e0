#pragma once
// Continuity-counter repair of the packets a prepare run reads. Each run
// owns its table and starts it empty: a run gives the same bytes whatever
// ran before it in the same process.

#include <cstdint>
#include <vector>

namespace tscard {

class ContinuityTable {
public:
    struct Entry {
        std::uint16_t Pid = 0;  // folded
        std::uint8_t Last = 0;  // last continuity_counter
    };

    // Looks the packet's folded PID up and repairs the low four bits of
    // byte 3: a counter equal to the last one or one more stays, any other
    // becomes last + 1 (mod 16); after 15 only 15 or 0 is accepted. A PID
    // seen for the first time is recorded as it is.
    void Repair(std::uint8_t* packet);

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    // A single-program stream has a handful of PIDs: a linear search wins.
    std::vector<Entry> entries_;
};

}  // namespace tscard
