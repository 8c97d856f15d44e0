#pragma once
// The event hub: the eleven auto-reset events and the one thread that waits
// on them and has the front end run the matching handler.
//
// Workers see only the EventSink side (Signal). The front end sets a
// handler per event and a dispatcher, then starts the waiting thread:
//
//     EventHub hub;
//     hub.SetHandler(EventId::ChangeProgressPosG1, [&] { bar.Step(); });
//     hub.Start([](const std::function<void()>& run) { run(); });  // in place
//
// A window front end gives a dispatcher that runs the handler on its own
// thread and returns only when it has run; the waiting thread waits for
// each handler before it looks at the events again, so handlers never run
// concurrently.
//
// Pending events are taken lowest index first (the index is the priority).
// An event signalled again before the thread took it counts once, as with
// auto-reset events. Progress events wake the thread at most once per
// kProgressWakeInterval; one signalled sooner waits for the next wake (at
// the latest the wait time-out), merged with any that follow, so a handler
// should show a worker's progress from its position rather than count
// steps. Shutdown ends the thread with a handshake that keeps
// the caller's own queue moving (see Shutdown).

#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "events/event_sink.h"

namespace tscard {

// Progress group of the most recent progress event: G1 (analysis, card
// write), G3 (prepare), G4 (demultiplex). The completion handler
// (evRefreshGauge) chooses its branch by it.
enum class GaugeGroup : std::uint8_t { None, G1, G3, G4 };

// What the hub hands to the front end's handlers beside the event itself.
// Workers hand over their results through their own objects (Finish,
// Progress...), which the handlers read after the hub took the event.
struct EventHandOver {
    // Set by the hub as it takes a progress event, before the handler runs;
    // cleared by ResetGaugeGroup when a run starts, so that a completion
    // never takes the branch of an earlier run.
    std::atomic<GaugeGroup> LastGaugeGroup{GaugeGroup::None};

    void ResetGaugeGroup() { LastGaugeGroup.store(GaugeGroup::None, std::memory_order_release); }
};

// The group a progress event belongs to, or None for the other events.
GaugeGroup GroupOfProgressEvent(EventId id);
// The three progress events and the splice's block progress.
bool IsProgressEvent(EventId id);

class EventHub final : public EventSink {
public:
    static constexpr std::chrono::milliseconds kProgressWakeInterval{5};
    // The longest the thread sleeps before it looks at the events again.
    static constexpr std::chrono::milliseconds kWaitTimeout{100};

    using Handler = std::function<void()>;
    // Runs the handler it is given on the front end's thread and returns
    // once it has run.
    using Dispatcher = std::function<void(const Handler&)>;

    EventHub() = default;
    ~EventHub() override;  // Shutdown() without a pump
    EventHub(const EventHub&) = delete;
    EventHub& operator=(const EventHub&) = delete;

    // Handlers are set before Start; an event without one is taken and
    // dropped.
    void SetHandler(EventId id, Handler handler);
    // Starts the waiting thread (once).
    void Start(Dispatcher dispatcher);

    // Any thread: marks the event signalled.
    void Signal(EventId id) override;

    // Waits until no event is pending and no handler is running. Only for
    // dispatchers that do not need the caller's thread (they run handlers
    // in place, as the command line does).
    void Drain();

    // Ends the waiting thread: raises the terminate request, then, until
    // the thread has left its loop, sleeps 1 ms at a time and calls pump,
    // which lets a handler that the thread is waiting for run on the
    // caller's thread. Events still pending are dropped. Safe to call more
    // than once.
    void Shutdown(const std::function<void()>& pump = {});

    bool Running() const { return thread_.joinable(); }
    // True from the terminate request until the thread has left its loop.
    bool TerminatePending() const { return terminate_pending_.load(std::memory_order_acquire); }

    EventHandOver& HandOver() { return hand_over_; }

private:
    void Execute();

    std::array<Handler, kEventCount> handlers_;
    Dispatcher dispatcher_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::bitset<kEventCount> pending_;
    std::condition_variable idle_;
    bool handling_ = false;
    bool waiting_ = false;
    std::chrono::steady_clock::time_point last_progress_wake_{};
    bool terminated_ = false;
    std::atomic<bool> terminate_pending_{false};
    std::thread thread_;
    EventHandOver hand_over_;
};

}  // namespace tscard
