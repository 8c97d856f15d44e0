// The event hub with real threads: priority order, merged signals, the
// gauge group, and the shutdown handshake.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "events/event_hub.h"

namespace tscard {
namespace {

using namespace std::chrono_literals;

// Records the events handled, in order; the handler of `gate` waits until
// the test opens the gate, so that other events pile up meanwhile.
class Recorder {
public:
    explicit Recorder(EventHub& hub, EventId gate = EventId::evBreakWrite) : gate_(gate) {
        for (std::size_t i = 0; i < kEventCount; ++i) {
            const auto id = static_cast<EventId>(i);
            hub.SetHandler(id, [this, id] { Handle(id); });
        }
    }
    void Handle(EventId id) {
        std::unique_lock lock(mutex_);
        handled_.push_back(id);
        changed_.notify_all();
        if (id == gate_) changed_.wait(lock, [this] { return open_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    // Waits until n events have been handled.
    std::vector<EventId> WaitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 10s, [&] { return handled_.size() >= n; });
        return handled_;
    }

private:
    EventId gate_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<EventId> handled_;
    bool open_ = false;
};

void RunInPlace(const EventHub::Handler& run) { run(); }

TEST(EventHub, PendingEventsRunLowestIndexFirstAndRepeatsMerge) {
    EventHub hub;
    Recorder recorder(hub);
    hub.Start(RunInPlace);
    hub.Signal(EventId::evBreakWrite);
    ASSERT_EQ(recorder.WaitFor(1).size(), 1u);  // the thread is now held in that handler

    // Signalled from several threads while the thread is busy.
    std::thread a([&] {
        hub.Signal(EventId::evRefreshGauge);
        hub.Signal(EventId::ChangeProgressPosG4);
    });
    std::thread b([&] {
        hub.Signal(EventId::ChangeProgressPosG1);
        hub.Signal(EventId::ChangeProgressPosG1);
        hub.Signal(EventId::evRefreshGauge);
    });
    a.join();
    b.join();
    recorder.Open();
    hub.Drain();
    EXPECT_EQ(recorder.WaitFor(4),
              (std::vector<EventId>{EventId::evBreakWrite, EventId::ChangeProgressPosG1,
                                    EventId::ChangeProgressPosG4, EventId::evRefreshGauge}));
    hub.Shutdown();
}

TEST(EventHub, ProgressEventsSetTheGaugeGroupUntilARunResetsIt) {
    EventHub hub;
    GaugeGroup seen_at_completion = GaugeGroup::G4;
    hub.SetHandler(EventId::evRefreshGauge,
                   [&] { seen_at_completion = hub.HandOver().LastGaugeGroup.load(); });
    hub.Start(RunInPlace);
    EXPECT_EQ(hub.HandOver().LastGaugeGroup.load(), GaugeGroup::None);

    hub.Signal(EventId::ChangeProgressPosG3);  // no handler: taken all the same
    hub.Drain();
    EXPECT_EQ(hub.HandOver().LastGaugeGroup.load(), GaugeGroup::G3);

    // A run that sends no progress must not take the prepare branch.
    hub.HandOver().ResetGaugeGroup();
    hub.Signal(EventId::evRefreshGauge);
    hub.Drain();
    EXPECT_EQ(seen_at_completion, GaugeGroup::None);

    hub.Signal(EventId::ChangeProgressPosG1);
    hub.Signal(EventId::evRefreshGauge);
    hub.Drain();
    EXPECT_EQ(seen_at_completion, GaugeGroup::G1);
}

TEST(EventHub, AFastWorkersLastProgressStepIsNeverLost) {
    // Progress signalled far faster than the hub is woken for it: steps
    // merge, but the last one reaches the handler without any further
    // signal or drain.
    EventHub hub;
    std::atomic<int> position{0};
    std::atomic<int> shown{0};
    hub.SetHandler(EventId::ChangeProgressPosG1, [&] { shown = position.load(); });
    hub.Start(RunInPlace);
    std::thread worker([&] {
        for (int i = 1; i <= 20000; ++i) {
            position = i;
            hub.Signal(EventId::ChangeProgressPosG1);
        }
    });
    worker.join();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (shown != 20000 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(shown, 20000);
}

// A front end that runs handlers on its own thread: the hub's thread posts
// the handler and waits until the front end's thread has run it.
class FrontEndThread {
public:
    void Dispatch(const EventHub::Handler& handler) {
        std::promise<void> done;
        auto finished = done.get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.push_back([&] {
                handler();
                done.set_value();
            });
        }
        posted_.notify_all();
        finished.wait();
    }
    // Runs what has been posted (the front end's message pump).
    void Pump() {
        std::deque<std::function<void()>> work;
        {
            std::lock_guard lock(mutex_);
            work.swap(queue_);
        }
        for (auto& w : work) w();
    }
    bool WaitPosted() {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, 10s, [this] { return !queue_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

TEST(EventHub, ShutdownLetsAHandlerWaitingForTheFrontEndFinish) {
    EventHub hub;
    FrontEndThread front;
    bool ran = false;
    hub.SetHandler(EventId::CompleteWriteFile, [&] { ran = true; });
    hub.Start([&](const EventHub::Handler& h) { front.Dispatch(h); });
    hub.Signal(EventId::CompleteWriteFile);
    ASSERT_TRUE(front.WaitPosted());  // the hub's thread is blocked on the front end

    hub.Shutdown([&] { front.Pump(); });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(hub.TerminatePending());
    EXPECT_FALSE(hub.Running());
    hub.Shutdown();  // a second call does nothing
}

TEST(EventHub, ShutdownDropsWhatIsStillPendingAndSignalsAfterwardsAreHarmless) {
    EventHub hub;
    Recorder recorder(hub, EventId::CompleteWriteFile);
    hub.Start(RunInPlace);
    hub.Signal(EventId::CompleteWriteFile);
    ASSERT_EQ(recorder.WaitFor(1).size(), 1u);
    hub.Signal(EventId::evRefreshGauge);
    std::thread opener([&] {
        std::this_thread::sleep_for(20ms);
        recorder.Open();
    });
    hub.Shutdown();
    opener.join();
    hub.Signal(EventId::ChangeProgressPosG1);
    EXPECT_EQ(recorder.WaitFor(1).size(), 1u);
}

}  // namespace
}  // namespace tscard
