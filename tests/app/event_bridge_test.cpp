// Worker events reach the window on its own thread, one handler at a time,
// lowest index first, with real worker threads; runs show their progress,
// end cleanly, never take another run's end for theirs, and closing the
// window waits for them.

#include <QAction>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using namespace std::chrono_literals;

class Events : public WindowTest {
protected:
    EventBridge& Bridge() { return Window().Events(); }
    EventHub& Hub() { return State().Events; }
    bool OnGuiThread() const { return QThread::currentThread() == qApp->thread(); }
};

TEST_F(Events, HandlersRunOnTheGuiThreadOneAtATimeLowestIndexFirst) {
    struct Call {
        EventId Id;
        bool OnGui;
    };
    std::vector<Call> calls;
    int running = 0;
    int overlaps = 0;
    auto record = [&](EventId id, const std::function<void()>& during = {}) {
        return [&, id, during] {
            if (running++ > 0) ++overlaps;
            calls.push_back({id, OnGuiThread()});
            if (during) during();
            --running;
        };
    };
    const EventId later[] = {EventId::evStickCloseFile, EventId::CompleteErrWriteFile, EventId::CompleteWriteFile,
                             EventId::evStickOpenFile};
    for (EventId id : later) Bridge().SetHandler(id, record(id));
    // While the first handler runs, another worker signals four events; they
    // wait, and are then taken by index.
    Bridge().SetHandler(EventId::evBreakWrite, record(EventId::evBreakWrite, [&] {
                            std::thread other([&] {
                                for (EventId id : later) Hub().Signal(id);
                            });
                            other.join();
                        }));

    std::thread worker([&] { Hub().Signal(EventId::evBreakWrite); });
    worker.join();
    QTRY_COMPARE(calls.size(), std::size_t{5});
    const EventId expected[] = {EventId::evBreakWrite, EventId::CompleteWriteFile, EventId::CompleteErrWriteFile,
                                EventId::evStickOpenFile, EventId::evStickCloseFile};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].Id, expected[i]) << i;
        EXPECT_TRUE(calls[i].OnGui) << i;
    }
    EXPECT_EQ(overlaps, 0);
}

TEST_F(Events, ARunShowsItsWorkersFigureAndEndsCleanly) {
    auto* bar = Find<Gauge>("CGauge4");
    auto* pie = Find<Gauge>("CGauge6");
    auto* button = Find<StartButton>("SpeedButton3");
    std::atomic<std::uint64_t> position{0};
    std::atomic<std::uint64_t> maximum{0};
    bool completed = false;
    bool completed_on_gui = false;
    button->SetState(StartState::Ready);
    State().StopRequested.Request();

    RunSpec run;
    run.Group = GaugeGroup::G4;
    run.Button = button;
    run.Progress = [&] { return ProgressFigure{position.load(), maximum.load()}; };
    run.Completed = [&] {
        completed = true;
        completed_on_gui = OnGuiThread();
    };
    ASSERT_TRUE(Bridge().BeginRun(std::move(run)));
    EXPECT_FALSE(Window().Menu().Open1->isEnabled());
    EXPECT_FALSE(State().StopRequested.IsSet());
    EXPECT_FALSE(bar->isHidden());
    EXPECT_FALSE(pie->isHidden());
    EXPECT_EQ(bar->Progress(), 0u);
    EXPECT_EQ(button->State(), StartState::Running);
    EXPECT_FALSE(Bridge().BeginRun(RunSpec{}));  // one run at a time

    std::atomic<bool> go_on{false};
    std::thread worker([&] {
        maximum = 40;
        for (int step = 1; step <= 25; ++step) {
            position = static_cast<std::uint64_t>(step);
            Hub().Signal(EventId::ChangeProgressPosG4);  // merged while the window is busy
        }
        while (!go_on) std::this_thread::sleep_for(1ms);
        Hub().Signal(EventId::evRefreshGauge);
    });
    QTRY_COMPARE(bar->Progress(), 25u);
    EXPECT_EQ(bar->Maximum(), 40u);
    EXPECT_EQ(pie->Progress(), 25u);
    go_on = true;
    QTRY_VERIFY(completed);
    worker.join();
    EXPECT_TRUE(completed_on_gui);
    EXPECT_FALSE(Bridge().RunActive());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(pie->isHidden());
    EXPECT_EQ(bar->Progress(), 0u);
    EXPECT_EQ(button->State(), StartState::Unavailable);
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(Events, ARunsEndIsNeverTakenForAnEarlierRunsEnd) {
    // A split that moved its gauges and ended.
    bool split_done = false;
    RunSpec split;
    split.Group = GaugeGroup::G4;
    split.Completed = [&] { split_done = true; };
    ASSERT_TRUE(Bridge().BeginRun(std::move(split)));
    std::thread([&] {
        Hub().Signal(EventId::ChangeProgressPosG4);
        Hub().Signal(EventId::evRefreshGauge);
    }).join();
    QTRY_VERIFY(split_done);
    EXPECT_EQ(Hub().HandOver().LastGaugeGroup.load(), GaugeGroup::G4);

    // The split panel's gauges show something again (say, a new split set up).
    auto* bar = Find<Gauge>("CGauge4");
    bar->show();
    bar->SetProgress(3);

    // An analysis that ends in its first window sends no progress at all.
    bool analysis_done = false;
    RunSpec analysis;
    analysis.Group = GaugeGroup::G1;
    analysis.Completed = [&] { analysis_done = true; };
    ASSERT_TRUE(Bridge().BeginRun(std::move(analysis)));
    EXPECT_EQ(Hub().HandOver().LastGaugeGroup.load(), GaugeGroup::None);
    std::thread([&] { Hub().Signal(EventId::evRefreshGauge); }).join();
    QTRY_VERIFY(analysis_done);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->Progress(), 3u);
}

TEST_F(Events, ARunBegunByTheEndOfTheLastKeepsTheCommandsDisabled) {
    // A stopped split analyses its stream again from its end.
    bool next_began = false;
    RunSpec split;
    split.Group = GaugeGroup::G4;
    split.Completed = [&] { next_began = Bridge().BeginRun(RunSpec{}); };
    ASSERT_TRUE(Bridge().BeginRun(std::move(split)));
    std::thread([&] { Hub().Signal(EventId::evRefreshGauge); }).join();
    QTRY_VERIFY(next_began);
    EXPECT_TRUE(Bridge().RunActive());
    EXPECT_FALSE(Window().Menu().Open1->isEnabled());
    std::thread([&] { Hub().Signal(EventId::evRefreshGauge); }).join();
    QTRY_VERIFY(!Bridge().RunActive());
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(Events, WorkAsideBegunByTheEndOfARunKeepsTheCommandsDisabled) {
    // A prepare run that ends while a card is ready measures its file aside.
    std::atomic<bool> release{false};
    bool measured = false;
    RunSpec prepare;
    prepare.Group = GaugeGroup::G3;
    prepare.Completed = [&] {
        Window().Launcher().RunAside<int>(
            [&] {
                while (!release) std::this_thread::sleep_for(1ms);
                return 0;
            },
            [&](int) { measured = true; });
    };
    ASSERT_TRUE(Bridge().BeginRun(std::move(prepare)));
    std::thread([&] { Hub().Signal(EventId::evRefreshGauge); }).join();
    QTRY_VERIFY(!Bridge().RunActive());
    EXPECT_FALSE(Window().Menu().Open1->isEnabled());
    release = true;
    QTRY_VERIFY(measured);
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(Events, AWorkerThatDidNotStartGivesEverythingBack) {
    auto* button = Find<StartButton>("SpeedButton4");
    button->SetState(StartState::Ready);
    RunSpec run;
    run.Group = GaugeGroup::G3;
    run.Button = button;
    ASSERT_TRUE(Bridge().BeginRun(std::move(run)));
    Bridge().CancelRun();
    EXPECT_FALSE(Bridge().RunActive());
    EXPECT_EQ(button->State(), StartState::Ready);
    EXPECT_TRUE(Find<Gauge>("CGauge3")->isHidden());
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(Events, ClosingWaitsForTheRunningWorkersAndTheirLastHandlers) {
    std::atomic<bool> run_finished{false};
    std::atomic<bool> splice_busy{true};
    std::atomic<bool> splice_stopped{false};
    bool completed = false;

    RunSpec run;
    run.Group = GaugeGroup::G3;
    run.Button = Find<StartButton>("SpeedButton4");
    run.Completed = [&] { completed = run_finished.load(); };
    ASSERT_TRUE(Bridge().BeginRun(std::move(run)));
    // A prepare worker: runs until the stop request, finishes its file, then
    // says it has ended.
    std::thread worker([&] {
        while (!State().StopRequested.IsSet()) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(50ms);
        run_finished = true;
        Hub().Signal(EventId::evRefreshGauge);
    });
    // Work that ends another way: a splice copy with its own stop.
    Bridge().TrackWork([&] { return splice_busy.load(); }, [&] { splice_stopped = true; });
    std::thread splice([&] {
        while (!splice_stopped) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(30ms);
        splice_busy = false;
    });

    EXPECT_TRUE(Window().close());
    EXPECT_TRUE(completed);  // the completion ran, after the worker had finished
    EXPECT_FALSE(splice_busy);
    EXPECT_FALSE(Hub().Running());
    EXPECT_FALSE(Bridge().BeginRun(RunSpec{}));  // nothing new starts
    worker.join();
    splice.join();
}

TEST_F(Events, ClosingLetsAHandlerTheHubWaitsForRunFirst) {
    bool handled = false;
    Bridge().SetHandler(EventId::evStickOpenFile, [&] { handled = true; });
    std::thread([&] { Hub().Signal(EventId::evStickOpenFile); }).join();
    // The GUI thread is busy elsewhere: the hub's thread waits in its hand-over.
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(handled);
    EXPECT_TRUE(Window().close());
    EXPECT_TRUE(handled);
    EXPECT_FALSE(Hub().Running());
}

}  // namespace
}  // namespace tscard::app::test
