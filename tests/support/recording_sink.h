#pragma once
// An event sink that records what a run signals, in order, from any
// thread; a test may act on an event at the moment it is signalled.

#include <array>
#include <functional>
#include <mutex>
#include <vector>

#include "events/event_sink.h"

namespace tscard::test {

class RecordingSink final : public EventSink {
public:
    // Runs in the signalling thread after the event is recorded, with the
    // event and how often it came so far (to raise a stop flag at the n-th
    // progress step, say).
    std::function<void(EventId, int)> OnSignal;

    void Signal(EventId id) override;
    int Count(EventId id) const;
    std::vector<EventId> Seen() const;

private:
    mutable std::mutex mutex_;
    std::vector<EventId> seen_;
    std::array<int, kEventCount> counts_{};
};

}  // namespace tscard::test
