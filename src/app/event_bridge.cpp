#include "app/event_bridge.h"

#include <QCoreApplication>
#include <QThread>

#include "app/app_state.h"
#include "app/gauge.h"
#include "app/start_button.h"

namespace tscard::app {

EventBridge::EventBridge(AppState& state, std::function<void(bool)> set_commands_enabled, QObject* parent)
    : QObject(parent), state_(state), set_commands_enabled_(std::move(set_commands_enabled)) {}

void EventBridge::SetGauges(GaugeGroup group, GaugePair gauges) { Pair(group) = gauges; }

void EventBridge::SetHandler(EventId id, std::function<void()> handler) {
    handlers_[static_cast<std::size_t>(id)] = std::move(handler);
}

GaugePair& EventBridge::Pair(GaugeGroup group) { return gauges_[static_cast<std::size_t>(group)]; }

GaugePair EventBridge::RunGauges() const {
    if (!run_) return {};
    if (run_->Gauges.Bar != nullptr || run_->Gauges.Pie != nullptr) return run_->Gauges;
    return gauges_[static_cast<std::size_t>(run_->Group)];
}

void EventBridge::HideGauges(const GaugePair& pair) {
    for (Gauge* gauge : {pair.Bar, pair.Pie}) {
        if (gauge == nullptr) continue;
        gauge->SetProgress(0);
        gauge->hide();
    }
}

void EventBridge::Start() {
    EventHub& hub = state_.Events;
    for (std::size_t i = 0; i < kEventCount; ++i) {
        const auto id = static_cast<EventId>(i);
        hub.SetHandler(id, [this, id] { Handle(id); });
    }
    // The hub's thread waits in invokeMethod until the GUI thread has run
    // the handler.
    hub.Start([this](const EventHub::Handler& handler) {
        QMetaObject::invokeMethod(this, [&handler] { handler(); }, Qt::BlockingQueuedConnection);
    });
}

void EventBridge::Handle(EventId id) {
    const GaugeGroup group = GroupOfProgressEvent(id);
    if (group != GaugeGroup::None) {
        OnProgress(group);
        return;
    }
    if (id == EventId::evRefreshGauge) {
        OnRefreshGauge();
        return;
    }
    // Copied: a handler may set another one for its event.
    const auto handler = handlers_[static_cast<std::size_t>(id)];
    if (handler) handler();
}

void EventBridge::OnProgress(GaugeGroup group) {
    if (run_ && run_->Group == group && run_->Progress) {
        const GaugePair pair = RunGauges();
        const ProgressFigure figure = run_->Progress();
        if (pair.Bar) pair.Bar->ShowPosition(figure.Position, figure.Maximum);
        if (pair.Pie) pair.Pie->ShowPosition(figure.Position, 0);
        return;
    }
    // A run without a figure counts the events it sends.
    const GaugePair& pair = Pair(group);
    if (pair.Bar) pair.Bar->Step();
    if (pair.Pie) pair.Pie->Step();
}

void EventBridge::OnRefreshGauge() {
    const GaugeGroup group = state_.Events.HandOver().LastGaugeGroup.load(std::memory_order_acquire);
    if (group != GaugeGroup::None) HideGauges(Pair(group));
    // A run that ended before its first progress event shows its gauges too.
    HideGauges(RunGauges());
    // Taken before Completed runs, which may begin the next run.
    std::optional<RunSpec> run = std::move(run_);
    run_.reset();
    if (run) {
        if (run->Button) run->Button->SetState(StartState::Unavailable);
        if (run->Completed) run->Completed();
    }
    // Unless the end of this run began the next one, or work aside (the
    // prepared file measured for the card).
    if (!Busy()) set_commands_enabled_(true);
    QCoreApplication::processEvents();
}

bool EventBridge::BeginRun(RunSpec run) {
    if (run_ || state_.Closing) return false;
    set_commands_enabled_(false);
    state_.StopRequested.Clear();
    state_.Events.HandOver().ResetGaugeGroup();
    run_ = std::move(run);
    for (Gauge* gauge : {RunGauges().Bar, RunGauges().Pie}) {
        if (gauge == nullptr) continue;
        gauge->SetProgress(0);
        gauge->show();
    }
    if (run_->Button) run_->Button->SetState(StartState::Running);
    return true;
}

void EventBridge::CancelRun() {
    if (!run_) return;
    HideGauges(RunGauges());
    if (run_->Button) run_->Button->SetState(StartState::Ready);
    run_.reset();
    set_commands_enabled_(true);
}

void EventBridge::TrackWork(std::function<bool()> busy, std::function<void()> stop) {
    work_.push_back({std::move(busy), std::move(stop)});
}

bool EventBridge::Busy() const {
    if (run_) return true;
    for (const Work& work : work_)
        if (work.Busy && work.Busy()) return true;
    return false;
}

void EventBridge::StopAll() {
    state_.StopRequested.Request();
    for (const Work& work : work_)
        if (work.Stop) work.Stop();
}

void EventBridge::Shutdown() {
    // Pumping lets a handler that the hub's thread waits for run here.
    state_.Events.Shutdown([] {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr && QThread::currentThread() == app->thread()) QCoreApplication::processEvents();
    });
}

}  // namespace tscard::app
