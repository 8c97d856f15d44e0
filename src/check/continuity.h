#pragma once
// continuity_counter rules of ISO/IEC 13818-1, per PID: a packet with
// payload carries the previous counter + 1 (mod 16); one without payload
// keeps it; one duplicate of a packet (same counter, same bytes) may
// follow it; discontinuity_indicator sets a new reference unchecked. A
// lost, reordered or twice-duplicated packet counts once: after an error
// the counter found becomes the reference, and the one packet that was
// missing may still come late.

#include <cstdint>

namespace tscard {

enum class CounterVerdict : std::uint8_t {
    Ok,
    Duplicate,  // the allowed repetition: its payload was already taken
    Error,
};

struct CounterState {
    std::uint8_t Last = 0;
    std::uint8_t Missing = 0xFF;  // the counter a single late packet may still bring
    bool Known = false;
    bool DuplicateSeen = false;
    std::uint64_t LastOffset = 0;  // the previous packet's place, for the duplicate test
};

// same_as_previous is asked only for a packet that repeats the counter.
template <typename SameAsPrevious>
CounterVerdict CheckCounter(CounterState& s, unsigned counter, bool payload, bool discontinuity,
                            std::uint64_t offset, SameAsPrevious same_as_previous) {
    const std::uint64_t previous = s.LastOffset;
    s.LastOffset = offset;
    if (discontinuity || !s.Known) {
        s = {static_cast<std::uint8_t>(counter), 0xFF, true, false, offset};
        return CounterVerdict::Ok;
    }
    const std::uint8_t missing = s.Missing;
    s.Missing = 0xFF;
    if (!payload) {
        if (counter == s.Last) return CounterVerdict::Ok;
        s.Last = static_cast<std::uint8_t>(counter);
        s.DuplicateSeen = false;
        return CounterVerdict::Error;
    }
    if (counter == ((s.Last + 1u) & 0x0F)) {
        s.Last = static_cast<std::uint8_t>(counter);
        s.DuplicateSeen = false;
        return CounterVerdict::Ok;
    }
    if (counter == s.Last) {
        if (!s.DuplicateSeen && same_as_previous(previous)) {
            s.DuplicateSeen = true;
            s.LastOffset = previous;  // a second repetition is compared with the same packet
            return CounterVerdict::Duplicate;
        }
        return CounterVerdict::Error;
    }
    if (counter == missing) return CounterVerdict::Ok;  // the late one of a swapped pair
    s.Missing = static_cast<std::uint8_t>((s.Last + 1u) & 0x0F);
    s.Last = static_cast<std::uint8_t>(counter);
    s.DuplicateSeen = false;
    return CounterVerdict::Error;
}

}  // namespace tscard
