#include "events/event_hub.h"

#include <chrono>

namespace tscard {

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
    {
        std::lock_guard lock(mutex_);
        pending_.set(index);
    }
    wake_.notify_one();
}

void EventHub::Execute() {
    for (;;) {
        std::size_t index = kEventCount;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return terminated_ || pending_.any(); });
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
    terminate_pending_.store(0, std::memory_order_release);
}

void EventHub::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return terminated_ || !thread_.joinable() || (pending_.none() && !handling_); });
}

void EventHub::Shutdown(const std::function<void()>& pump) {
    if (!thread_.joinable()) return;
    terminate_pending_.store(1, std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
        pending_.reset();
    }
    wake_.notify_one();
    while (terminate_pending_.load(std::memory_order_acquire) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (pump) pump();
    }
    thread_.join();
}

}  // namespace tscard
