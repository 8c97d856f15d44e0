#pragma once
// The window's side of the event hub. The hub's thread hands every event to
// the GUI thread and waits there until its handler has run, so handlers run
// one at a time, lowest event index first, and may touch any widget.
//
// A panel starts a worker like this (on the GUI thread):
//
//     RunSpec run;
//     run.Group = GaugeGroup::G3;                 // CGauge3 and CGauge7
//     run.Button = SpeedButton4;                  // running now, unavailable at the end
//     run.Progress = [&] { return ProgressFigure{worker.ProgressPosition(), worker.ProgressMaximum()}; };
//     run.Completed = [this] { ... collect the result, restore the panel ... };
//     if (!window.Events().BeginRun(std::move(run))) return;   // another run, or closing
//     Status started = worker.Start(job, state.Events, state.StopRequested);
//     if (!started) { window.Events().CancelRun(); window.Dialog().Tell(started.message()); }
//
// BeginRun disables the commands, clears the stop request and the hub's last
// gauge group (so that this run's end is never taken for another's), shows
// the run's gauges at zero and puts its button into the running state. Each
// progress event of the group shows the worker's own figure; evRefreshGauge
// hides the gauges of the last group that moved, makes the button
// unavailable, runs Completed, enables the commands again (unless Completed
// began the next run) and lets the window catch up with pending events.
//
// Work that does not end with evRefreshGauge (the splice chain, a card read)
// is made known with TrackWork, so that closing the window stops it and
// waits for it.

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "events/event_hub.h"

namespace tscard::app {

struct AppState;
class Gauge;
class StartButton;

struct ProgressFigure {
    std::uint64_t Position = 0;
    std::uint64_t Maximum = 0;  // 0: not known yet
};

struct GaugePair {
    Gauge* Bar = nullptr;
    Gauge* Pie = nullptr;
};

struct RunSpec {
    GaugeGroup Group = GaugeGroup::None;
    std::function<ProgressFigure()> Progress;
    StartButton* Button = nullptr;
    std::function<void()> Completed;
    // The gauges this run moves, when not its group's (an analysis for the
    // prepare panel moves that panel's gauges with its G1 events).
    GaugePair Gauges;
};

class EventBridge final : public QObject {
    Q_OBJECT

public:
    // set_commands_enabled is the window's SetCommandsEnabled.
    EventBridge(AppState& state, std::function<void(bool)> set_commands_enabled, QObject* parent);

    // Before Start: the gauges each progress group moves.
    void SetGauges(GaugeGroup group, GaugePair gauges);
    // The handler of an event that is neither a progress event nor
    // evRefreshGauge (those are handled here); GUI thread, any time.
    void SetHandler(EventId id, std::function<void()> handler);
    // Starts the hub's thread.
    void Start();

    // GUI thread. False (and nothing changed) while another run is active or
    // the window is closing.
    bool BeginRun(RunSpec run);
    // The worker of the run just begun did not start: the gauges go, the
    // button is ready again, the commands come back.
    void CancelRun();
    bool RunActive() const { return run_.has_value(); }

    void TrackWork(std::function<bool()> busy, std::function<void()> stop);
    // A run is active or tracked work is busy.
    bool Busy() const;
    // Raises the stop request and stops all tracked work.
    void StopAll();

    // Ends the hub's thread; a handler it is waiting for still runs.
    void Shutdown();

private:
    struct Work {
        std::function<bool()> Busy;
        std::function<void()> Stop;
    };

    void Handle(EventId id);
    void OnProgress(GaugeGroup group);
    void OnRefreshGauge();
    GaugePair& Pair(GaugeGroup group);
    // The gauges the active run moves.
    GaugePair RunGauges() const;
    static void HideGauges(const GaugePair& pair);

    AppState& state_;
    std::function<void(bool)> set_commands_enabled_;
    std::array<std::function<void()>, kEventCount> handlers_;
    std::array<GaugePair, 4> gauges_;  // by GaugeGroup
    std::optional<RunSpec> run_;
    std::vector<Work> work_;
};

}  // namespace tscard::app
