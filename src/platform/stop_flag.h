#pragma once
// The stop request shared by the front end and a running worker. The front
// end raises it; whoever acts on it clears it.

#include <atomic>
#include <cstdint>

namespace tscard {

class StopFlag {
public:
    void Request() { flag_.store(1, std::memory_order_release); }
    void Clear() { flag_.store(0, std::memory_order_release); }
    bool IsSet() const { return flag_.load(std::memory_order_acquire) != 0; }
    // True when the flag was set; it is cleared in the same step.
    bool TakeIfSet() { return flag_.exchange(0, std::memory_order_acq_rel) != 0; }

private:
    std::atomic<std::uint8_t> flag_{0};
};

}  // namespace tscard
