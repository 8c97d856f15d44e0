#include "app/stream_launcher.h"

#include <QGuiApplication>
#include <QRadioButton>
#include <QTreeWidget>

#include "app/content_tree.h"
#include "app/dialogs.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/shown_number.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/recent_streams.h"
#include "app/said.h"
#include "app/start_screen.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard::app {

StreamLauncher::StreamLauncher(TTorvaneService& window) : QObject(&window), window_(window) {
    // Closing the window raises the stop request and waits for a job aside.
    window.Events().TrackWork([this] { return AsideBusy(); }, {});
}

void StreamLauncher::SetUpTrees() {
    SetUpContentTree(TreeOf(AnalysisMode::ModeCardWrite), ContentLook::Highlight);
    SetUpContentTree(TreeOf(AnalysisMode::ModePrepare), ContentLook::Highlight);
    SetUpContentTree(TreeOf(AnalysisMode::ModeParse), ContentLook::MarkedSelection);
}

StreamLauncher::ModeView StreamLauncher::View(AnalysisMode mode) const {
    switch (mode) {
        case AnalysisMode::ModeCardWrite: {
            WritePanel* write = window_.Write();
            return {write->TreeView2, write, write->SpeedButton1, {write->CGauge1, write->CGauge5}};
        }
        case AnalysisMode::ModePrepare: {
            PreparePanel* prepare = window_.Prepare();
            return {prepare->TreeView3, prepare, prepare->SpeedButton4, {prepare->CGauge3, prepare->CGauge7}};
        }
        case AnalysisMode::ModeParse: break;
    }
    ParsePanel* parse = window_.Parse();
    return {parse->TreeView4, parse, parse->SpeedButton3, {parse->CGauge4, parse->CGauge6}};
}

StreamLauncher::~StreamLauncher() {
    if (aside_.joinable()) aside_.join();
}

void StreamLauncher::SetEnding(AnalysisMode mode, Ending ending) { EndOf(mode) = std::move(ending); }

QTreeWidget* StreamLauncher::TreeOf(AnalysisMode mode) const { return View(mode).Tree; }
QWidget* StreamLauncher::PanelOf(AnalysisMode mode) const { return View(mode).Panel; }
StartButton* StreamLauncher::ButtonOf(AnalysisMode mode) const { return View(mode).Button; }

void StreamLauncher::Say(const Words& text, const Words& caption) {
    window_.Dialog().Tell(SaidText(text), SaidText(caption), DialogIcon::Warning);
}

bool StreamLauncher::StartAnalysis(const AnalysisRequest& request) {
    AppState& state = window_.State();
    if (state.Closing || window_.Events().RunActive() || AsideBusy()) return false;
    const ModeView view = View(request.Mode);

    for (AnalysisMode mode : kModes) {
        const ModeView each = View(mode);
        for (Gauge* gauge : {each.Gauges.Bar, each.Gauges.Pie}) gauge->SetProgress(0);
        ClearProgramData(each.Tree);
    }
    view.Tree->clear();

    File file;
    std::uint64_t size = 0;
    Status opened = OpenStreamFile(request.Path, file);
    if (opened) opened = file.Size(size);
    file.CloseQuietly();
    if (!opened) {
        Say(opened.words());
        return false;
    }
    ShowSizeText(request, size);

    RunSpec run;
    run.Group = GaugeGroup::G1;
    run.Gauges = view.Gauges;
    run.Button = view.Button;
    run.Progress = [&state] {
        return ProgressFigure{state.StreamAnalyzer.ProgressPosition(), state.StreamAnalyzer.ProgressMaximum()};
    };
    run.Completed = [this] { OnAnalysisEnded(); };
    if (!window_.Events().BeginRun(std::move(run))) return false;
    request_ = request;
    analysing_ = true;
    window_.BringToFront(view.Panel);
    if (Status started = state.StreamAnalyzer.Start(request, state.Stream, state.Events, state.StopRequested);
        !started) {
        analysing_ = false;
        window_.Events().CancelRun();
        view.Button->SetState(StartState::Unavailable);
        window_.BringToFront(window_.Main());
        Say(started.words());
        return false;
    }
    // A stream opened to prepare or split it is offered again at the start.
    if (request.Mode != AnalysisMode::ModeCardWrite) {
        RememberStream(request.Path);
        window_.Main()->Start->ShowRecent();
    }
    return true;
}

void StreamLauncher::ShowSizeText(const AnalysisRequest& request, std::uint64_t file_size) {
    const std::int64_t card_bytes = CardBytesOf(file_size);
    window_.State().CardBytes = card_bytes;
    auto size_text = [](QRadioButton* mbytes, QRadioButton* bytes, auto text_of) {
        if (mbytes->isChecked()) return ShownNumber(text_of(SizeUnit::MBytes));
        if (bytes->isChecked()) return ShownNumber(text_of(SizeUnit::Bytes));
        return QString();
    };
    if (request.Mode == AnalysisMode::ModeCardWrite) {
        WritePanel* write = window_.Write();
        const double ratio = window_.State().SizeRatio;
        write->StaticText1->setText(ContentText(request.Path));
        write->StaticText5->setText(size_text(write->RadioButton3, write->RadioButton4, [&](SizeUnit unit) {
            return CardWriteSizeText(card_bytes, unit, ratio);
        }));
    } else if (request.Mode == AnalysisMode::ModeParse) {
        ParsePanel* parse = window_.Parse();
        parse->StaticText6->setText(ContentText(request.Path));
        parse->StaticText7->setText(size_text(parse->RadioButton9, parse->RadioButton10,
                                              [&](SizeUnit unit) { return ParseSizeText(card_bytes, unit); }));
    }
}

void StreamLauncher::OnAnalysisEnded() {
    AppState& state = window_.State();
    const AnalysisResult result = state.StreamAnalyzer.Finish();
    analysing_ = false;
    if (state.Closing) return;
    const ModeView view = View(request_.Mode);
    bool shown = false;
    switch (result.Ending) {
        case AnalysisEnding::Complete:
            ShowContent(view.Tree, result.Tree);
            if (request_.Mode == AnalysisMode::ModeParse && result.OnlyOneProgram) {
                Say(Words(kOnlyOneProgramMessage), Words(kContentErrorCaption));
                break;
            }
            view.Button->SetState(StartState::Ready);
            shown = true;
            break;
        case AnalysisEnding::SyncFailed: Say(result.Message, Words(kSynchronizationErrorCaption)); break;
        case AnalysisEnding::Stopped: break;
        case AnalysisEnding::NoDescription:
        case AnalysisEnding::Failed:
        case AnalysisEnding::Refused: Say(result.Message); break;
    }
    if (!shown) window_.BringToFront(window_.Main());
    if (const Ending& end = EndOf(request_.Mode)) end(result);
}

bool StreamLauncher::RunAsideJob(std::function<std::function<void()>()> job) {
    if (window_.State().Closing || window_.Events().RunActive() || AsideBusy()) return false;
    if (aside_.joinable()) aside_.join();
    aside_busy_.store(true, std::memory_order_release);
    window_.State().StopRequested.Clear();
    window_.SetCommandsEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    aside_ = std::thread([this, job = std::move(job)] {
        std::function<void()> then = job();
        QMetaObject::invokeMethod(this, [this, then] { FinishAside(then); }, Qt::QueuedConnection);
    });
    return true;
}

void StreamLauncher::FinishAside(const std::function<void()>& then) {
    if (aside_.joinable()) aside_.join();
    QGuiApplication::restoreOverrideCursor();
    aside_busy_.store(false, std::memory_order_release);
    if (window_.State().Closing) return;
    window_.SetCommandsEnabled(true);
    then();
}

}  // namespace tscard::app
