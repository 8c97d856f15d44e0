#include "events/event_hub.h"

#include <chrono>

namespace tscard {

bool IsProgressEvent(EventId id) {
    return GroupOfProgressEvent(id) != GaugeGroup::None || id == EventId::evStickRefreshGauge;
}

GaugeGroup GroupOfProgressEvent(EventId id) {
    switch (id) {
        case EventId::ChangeProgressPosG1: return GaugeGroup::G1;
        case EventId::ChangeProgressPosG3: return GaugeGroup::G3;
        case EventId::ChangeProgressPosG4: return GaugeGroup::G4;
        default: return GaugeGroup::None;
    }
}

EventHub::~EventHub() { Shutdown(); }

void EventHub::SetHandler(EventId id, Handler handler) {
    handlers_[static_cast<std::size_t>(id)] = std::move(handler);
}

void EventHub::Start(Dispatcher dispatcher) {
    if (thread_.joinable()) return;
    dispatcher_ = std::move(dispatcher);
    {
        std::lock_guard lock(mutex_);
        terminated_ = false;
    }
    thread_ = std::thread([this] { Execute(); });
}

void EventHub::Signal(EventId id) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= kEventCount) return;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        pending_.set(index);
        // A thread that is not waiting looks at the events again before it
        // waits. Waking one costs the signalling worker a system call, which
        // a fast worker signalling progress thousands of times a second
        // would feel: progress wakes it at most once per interval, and a
        // progress event left waiting is taken at the thread's next wake
        // (within its wait time-out) or merged with the next one.
        if (waiting_) {
            wake = true;
            if (IsProgressEvent(id)) {
                const auto now = std::chrono::steady_clock::now();
                if (now - last_progress_wake_ < kProgressWakeInterval)
                    wake = false;
                else
                    last_progress_wake_ = now;
            }
        }
    }
    if (wake) wake_.notify_one();
}

void EventHub::Execute() {
    for (;;) {
        std::size_t index = kEventCount;
        {
            std::unique_lock lock(mutex_);
            waiting_ = true;
            while (!terminated_ && pending_.none()) wake_.wait_for(lock, kWaitTimeout);
            waiting_ = false;
            if (terminated_) break;
            // The lowest signalled index first; taking it resets it.
            for (index = 0; !pending_.test(index); ++index) {
            }
            pending_.reset(index);
            handling_ = true;
        }
        const auto id = static_cast<EventId>(index);
        const GaugeGroup group = GroupOfProgressEvent(id);
        if (group != GaugeGroup::None) hand_over_.LastGaugeGroup.store(group, std::memory_order_release);
        const Handler& handler = handlers_[index];
        if (handler) {
            if (dispatcher_)
                dispatcher_(handler);
            else
                handler();
        }
        {
            std::lock_guard lock(mutex_);
            handling_ = false;
        }
        idle_.notify_all();
    }
    {
        std::lock_guard lock(mutex_);
        handling_ = false;
    }
    idle_.notify_all();
    terminate_pending_.store(false, std::memory_order_release);
}

void EventHub::Drain() {
    wake_.notify_one();  // a progress event left waiting is taken now
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return terminated_ || !thread_.joinable() || (pending_.none() && !handling_); });
}

void EventHub::Shutdown(const std::function<void()>& pump) {
    if (!thread_.joinable()) return;
    terminate_pending_.store(true, std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
        pending_.reset();
    }
    wake_.notify_one();
    while (terminate_pending_.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (pump) pump();
    }
    thread_.join();
}

}  // namespace tscard
