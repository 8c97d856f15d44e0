#pragma once
// The stop request shared by the front end and a running worker. The front
// end raises it; whoever acts on it clears it.

#include <atomic>

namespace tscard {

class StopFlag {
public:
    void Request() { flag_.store(true, std::memory_order_release); }
    void Clear() { flag_.store(false, std::memory_order_release); }
    bool IsSet() const { return flag_.load(std::memory_order_acquire); }
    // True when the flag was set; it is cleared in the same step.
    bool TakeIfSet() { return flag_.exchange(false, std::memory_order_acq_rel); }

private:
    std::atomic<bool> flag_{false};
};

}  // namespace tscard
