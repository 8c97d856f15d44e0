// PreparePn: starting and stopping a run, its figures, its end, and
// closing the panel.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/dialogs.h"
#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/prepare_figures.h"
#include "app/prepare_panel.h"
#include "app/shown_number.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/said.h"
#include "app/status_line.h"
#include "app/value_box.h"
#include "prepare/mux_rate.h"
#include "prepare/prepare_job.h"
#include "ts/fixed_text.h"
#include "ts/packet.h"

namespace tscard::app {

bool PreparePanel::Preparable() const {
    // Another panel's analysis replaces the description this panel loaded.
    const StreamLauncher& launcher = window_.Launcher();
    return preparable_ && !running_ && !launcher.Analysing() && launcher.Request().Mode == AnalysisMode::ModePrepare;
}

void PreparePanel::SpeedButton4Click() {
    AppState& state = window_.State();
    if (!Preparable()) return;
    if (!CheckShownTargets()) return;
    PrepareJob job;
    const std::string output = QFile::encodeName(StaticText8->text()).toStdString();
    // Everything that would refuse the run is checked before any file is touched.
    Status ready = MakePrepareJob(state.Stream, output, job);
    if (ready) ready = CheckPrepareJob(job);
    if (!ready) {
        window_.Dialog().Tell(SaidText(ready.words()), {}, DialogIcon::Warning);
        return;
    }

    RunSpec run;
    run.Group = GaugeGroup::G3;
    run.Button = SpeedButton4;
    run.Progress = [&state] {
        return ProgressFigure{state.Preparer.ProgressPosition(), state.Preparer.ProgressMaximum()};
    };
    run.Completed = [this] { OnRunEnded(); };
    if (!window_.Events().BeginRun(std::move(run))) return;
    SetRunning(true);
    if (Status started = state.Preparer.Start(job, state.Events, state.StopRequested, figures_.get()); !started) {
        window_.Events().CancelRun();
        SetRunning(false);
        window_.Dialog().Tell(SaidText(started.words()), {}, DialogIcon::Warning);
    }
}

void PreparePanel::SetRunning(bool running) {
    running_ = running;
    // The run works from its own copy of the values: nothing shown may change under it.
    TreeView3->setEnabled(!running);
    SpeedButton20->setEnabled(!running);
    SetTargetsEnabled(!running && preparable_);
    Label17->clear();
    Label38->clear();
    figures_->Reset();
    if (running)
        figure_timer_->start();
    else
        figure_timer_->stop();
}

void PreparePanel::ShowFigures() {
    if (const auto step = figures_->PcrStep()) Label17->setText(ShownNumber(PcrStepText(*step)));
    if (const auto rate = figures_->Bitrate()) Label38->setText(ShownNumber(BitrateText(*rate)));
}

void PreparePanel::OnRunEnded() {
    AppState& state = window_.State();
    const PrepareResult result = state.Preparer.Finish();
    SetRunning(false);
    if (state.Closing) return;
    Dialogs& dialogs = window_.Dialog();
    switch (result.Ending) {
        case PrepareEnding::Failed:
        case PrepareEnding::Refused:
            // Nothing was written: the stream can be prepared again.
            dialogs.Tell(SaidText(result.Message), {}, DialogIcon::Warning);
            SpeedButton4->SetState(StartState::Ready);
            return;
        case PrepareEnding::Stopped: {
            state.StopRequested.Clear();
            ReleasePreparedLists(state.Stream);
            preparable_ = false;
            SetTargetsEnabled(false);
            const QString output = StaticText8->text();
            SayWhy([this, output] {
                return Filled(tr("Stopped: %1 holds what was prepared before the stop. Open the stream again to "
                                 "prepare it anew."),
                              {output});
            });
            return;
        }
        case PrepareEnding::PcrStepError:
            dialogs.Tell(SaidText(result.Message), SaidText(Words(kPcrStepErrorCaption)), DialogIcon::Error);
            break;
        case PrepareEnding::Completed: break;
    }
    ReleasePreparedLists(state.Stream);
    preparable_ = false;
    if (closing_) return;
    const std::string prepared = QFile::encodeName(StaticText8->text()).toStdString();
    const bool handed_over = card_hand_over_ && card_hand_over_(prepared);
    if (result.Ending == PrepareEnding::Completed) TellPrepared(result, StaticText8->text(), handed_over);
    if (handed_over) return;
    Close();
}

void PreparePanel::TellPrepared(const PrepareResult& result, const QString& output, bool handed_over) {
    // The stream plays at the multiplex rate: one packet slot each TicksPerPacket.
    const double seconds = double(result.OutputBytes / kPacketSize) * TicksPerPacket / double(kSystemClockHz);
    const QString mib = ShownNumber(FixedText(double(result.OutputBytes) / 1048576.0, 10, 3));
    const QString bytes = QString::number(result.OutputBytes);
    const QString length = ShownNumber(FixedText(seconds, 10, 1));
    const QFileInfo file(output);
    window_.Main()->Status->Tell(
        [this, output, mib, bytes, length, handed_over] {
            return handed_over ? Filled(tr("Prepared %1: %2 MiB (%3 bytes), %4 s; handed over to the card writer"),
                                        {output, mib, bytes, length})
                               : Filled(tr("Prepared %1: %2 MiB (%3 bytes), %4 s"), {output, mib, bytes, length});
        },
        QFile::encodeName(file.absolutePath()).toStdString());
}

void PreparePanel::StopAndWait() {
    EventBridge& events = window_.Events();
    const bool analysing = window_.Launcher().Analysing() &&
                           window_.Launcher().Request().Mode == AnalysisMode::ModePrepare;
    if (!running_ && !analysing) return;
    window_.State().StopRequested.Request();
    SpeedButton4->ShowStopRequested();
    while (events.RunActive()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(1);
    }
}

void PreparePanel::SpeedButton9Click() {
    closing_ = true;
    StopAndWait();
    closing_ = false;
    Close();
}

void PreparePanel::Close() {
    AppState& state = window_.State();
    // The description goes only when it is the one this panel opened.
    if (state.Stream.Analysis && window_.Launcher().Request().Mode == AnalysisMode::ModePrepare &&
        !window_.Launcher().Analysing()) {
        state.Stream.Analysis->SdtDone = false;
        state.Stream.Analysis.reset();
        state.Stream.Lists.Clear();
        state.Stream.CurrentRemap = ProgramRemap{};
    }
    preparable_ = false;
    if (!running_) SpeedButton4->SetState(StartState::Unavailable);
    state.StopRequested.Clear();
    Label17->clear();
    Label38->clear();
    window_.BringToFront(window_.Main());
    state.StreamPanelOpen = 0;
}

}  // namespace tscard::app
