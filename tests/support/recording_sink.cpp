#include "support/recording_sink.h"

namespace tscard::test {

void RecordingSink::Signal(EventId id) {
    int n;
    {
        std::lock_guard lock(mutex_);
        seen_.push_back(id);
        n = ++counts_[static_cast<std::size_t>(id)];
    }
    if (OnSignal) OnSignal(id, n);
}

int RecordingSink::Count(EventId id) const {
    std::lock_guard lock(mutex_);
    return counts_[static_cast<std::size_t>(id)];
}

std::vector<EventId> RecordingSink::Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

}  // namespace tscard::test
