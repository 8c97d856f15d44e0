#pragma once
// Opening a stream: StartAnalysis, the launcher every open command calls,
// what the end of an analysis does in each mode, and the short file reads
// (bit-rate measurements) that come before an analysis.
//
// A panel opens a stream for its mode like this (GUI thread):
//
//     // Once, when the panel is made: what the end of its analyses adds.
//     window.Launcher().SetEnding(AnalysisMode::ModeParse, [this](const AnalysisResult& result) {
//         if (result.Ending == AnalysisEnding::Complete) ...;  // state.Stream holds the description
//     });
//     // Per open command, after its own dialogs:
//     if (!window.Launcher().StartAnalysis({AnalysisMode::ModeParse, path})) return;  // told why already
//
// Modes, their trees, panels, start buttons and gauges:
//   ModeCardWrite  TreeView2  WriteWindow  SpeedButton1  CGauge1/CGauge5
//   ModePrepare    TreeView3  PreparePn    SpeedButton4  CGauge3/CGauge7
//   ModeParse      TreeView4  ParseWindow  SpeedButton3  CGauge4/CGauge6
//
// StartAnalysis zeroes the six gauges, drops the ProgramList indexes of the
// three trees and clears the mode's tree, then opens the file: when it does
// not open, the operator is told "<file>: File in use from other application
// (<reason>)" and it returns false with nothing started. Otherwise it shows
// the size texts (card write: StaticText1/StaticText5 by RadioButton3/4,
// divided by SizeRatio; parse: StaticText6/StaticText7 by RadioButton9/10),
// brings the mode's panel to the front and starts the analyzer on its own
// thread. While it runs the commands are disabled, the mode's gauges show how
// far it got, and the mode's start button (running) stops it.
//
// Its end, on the GUI thread: the result is collected (state.Stream is the
// window's again), then
//   Complete       the mode's tree shows the content and its start button is
//                  ready; a parse of a stream whose PAT lists one program says
//                  "In selected stream is only one programm.There is no need
//                  paresed it" (caption "Content  error") instead, and its
//                  button stays unavailable;
//   SyncFailed     "<file>: Unknow stream format (...)", caption
//                  "Synhronization error";
//   NoDescription, Failed, Refused: the core's message, naming the file;
//   Stopped        nothing to say.
// Every ending but a shown content brings MainPanel back to the front. The
// mode's ending hook runs last, with the result. While the window closes,
// the end says nothing and runs no hook.

#include <QObject>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "analysis/analyzer.h"
#include "app/event_bridge.h"

class QTreeWidget;

namespace tscard::app {

class StartButton;
class TTorvaneService;

class StreamLauncher final : public QObject {
    Q_OBJECT

public:
    // Made before the panels (they set their endings when they are made);
    // SetUpTrees once they exist.
    explicit StreamLauncher(TTorvaneService& window);
    ~StreamLauncher() override;
    void SetUpTrees();

    using Ending = std::function<void(const AnalysisResult&)>;
    void SetEnding(AnalysisMode mode, Ending ending);

    // See above. False when the file does not open (the operator was told),
    // or while a run, a job aside or the closing of the window is under way.
    bool StartAnalysis(const AnalysisRequest& request);
    // The request of the latest analysis (its mode, its file).
    const AnalysisRequest& Request() const { return request_; }
    bool Analysing() const { return analysing_; }

    QTreeWidget* TreeOf(AnalysisMode mode) const;
    QWidget* PanelOf(AnalysisMode mode) const;
    StartButton* ButtonOf(AnalysisMode mode) const;

    // Runs `job` on a thread of its own (a file read that may take a while,
    // such as a bit-rate measurement) with the commands disabled and a busy
    // cursor; then `then` runs on the GUI thread with its result. The job
    // polls state.StopRequested: closing the window raises it, waits for the
    // job and skips `then`. False, and nothing run, while a run or another
    // job is in progress or the window closes.
    template <typename Result>
    bool RunAside(std::function<Result()> job, std::function<void(Result)> then) {
        return RunAsideJob([job = std::move(job), then = std::move(then)]() -> std::function<void()> {
            auto result = std::make_shared<Result>(job());
            return [then, result] { then(std::move(*result)); };
        });
    }
    bool AsideBusy() const { return aside_busy_.load(std::memory_order_acquire); }

private:
    struct ModeView {
        QTreeWidget* Tree = nullptr;
        QWidget* Panel = nullptr;
        StartButton* Button = nullptr;
        GaugePair Gauges;
    };
    static constexpr AnalysisMode kModes[] = {AnalysisMode::ModeCardWrite, AnalysisMode::ModePrepare,
                                              AnalysisMode::ModeParse};

    ModeView View(AnalysisMode mode) const;
    Ending& EndOf(AnalysisMode mode) { return endings_[static_cast<std::size_t>(mode)]; }
    void ShowSizeText(const AnalysisRequest& request, std::uint64_t file_size);
    void OnAnalysisEnded();
    void Say(const Words& text, const Words& caption = {});

    // The job returns the step to run on the GUI thread.
    bool RunAsideJob(std::function<std::function<void()>()> job);
    void FinishAside(const std::function<void()>& then);

    TTorvaneService& window_;
    std::array<Ending, 3> endings_;
    AnalysisRequest request_;
    bool analysing_ = false;
    std::atomic<bool> aside_busy_{false};
    std::thread aside_;
};

}  // namespace tscard::app
