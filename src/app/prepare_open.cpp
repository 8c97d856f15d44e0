// PreparePn: opening a stream for preparing, and what the panel shows when
// its analysis has ended.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTreeWidget>

#include "analysis/bitrate.h"
#include "app/content_tree.h"
#include "app/dialogs.h"
#include "app/main_panel.h"
#include "app/prepare_panel.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/said.h"
#include "app/value_box.h"
#include "prepare/prepare_job.h"
#include "prepare/prepare_targets.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard::app {
namespace {

// The entry of the save dialog's filter that shows files like `name`.
int SaveFilterIndex(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    const char* const known[] = {".m2ts", ".m4ts", ".mpg", ".ts"};
    for (int i = 0; i < 4; ++i)
        if (ext == known[i]) return i + 1;
    return 5;  // all
}

}  // namespace

// What is known of a file before it is opened for preparing: whether it is
// a stream at all, then its program's bit rate.
struct PreparePanel::Look {
    PacketProbe Probe;
    BitrateMeasurement Rate;
};

PreparePanel::Look PreparePanel::LookAt(const std::string& path, StopFlag& stop) {
    Look look;
    look.Probe = ProbePacketSize(path, &stop);
    if (look.Probe.Outcome != ProbeOutcome::Found) return look;
    StreamAnalysis scratch;
    look.Rate = MeasureProgramBitrate(scratch, path, stop);
    return look;
}

void PreparePanel::SimpleprogramMPEG2TS1Click() {
    AppState& state = window_.State();
    FileRequest request;
    request.Filter = kStreamFilter;
    request.FileName = state.OpenDialogFile;
    const std::optional<FileChoice> chosen = window_.Dialog().OpenFile(request);
    if (!chosen || chosen->Paths.empty()) return;
    state.OpenDialogFile = chosen->Paths.front();
    window_.Launcher().RunAside<Look>([&state, path = state.OpenDialogFile] { return LookAt(path, state.StopRequested); },
                                      [this, path = state.OpenDialogFile](Look look) {
                                          OpenWithMeasurement(path, true, std::move(look));
                                      });
}

void PreparePanel::OpenForPreparing(const std::string& path) {
    AppState& state = window_.State();
    state.OpenDialogFile = path;
    window_.Launcher().RunAside<Look>([&state, path] { return LookAt(path, state.StopRequested); },
                                      [this, path](Look look) { OpenWithMeasurement(path, false, std::move(look)); });
}

void PreparePanel::OpenWithMeasurement(const std::string& path, bool from_menu, Look look) {
    AppState& state = window_.State();
    Dialogs& dialogs = window_.Dialog();
    // A file that does not open is chosen again from the menu.
    auto choose_again = [&](const Words& message) {
        dialogs.Tell(SaidText(message), {}, DialogIcon::Warning);
        if (from_menu) SimpleprogramMPEG2TS1Click();
    };
    // A file that is no stream is told before its output is asked for, and
    // changes nothing: a stream opened before stays as it was.
    switch (look.Probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::Stopped: return;
        case ProbeOutcome::Failed: return choose_again(look.Probe.Message);
        case ProbeOutcome::UnknownFormat:
            dialogs.Tell(SaidText(UnknownStreamFormat(path, look.Probe.Message)),
                         SaidText(Words(kSynchronizationErrorCaption)), DialogIcon::Warning);
            return;
    }
    const BitrateMeasurement& measured = look.Rate;
    if (measured.Stopped) return;
    if (measured.Code == kProgramRateNoFile) return choose_again(measured.Message);
    const Words question = ProgramBitrateQuestion(measured.Code, measured.MeasuredBitrate);
    if (!question.empty()) {
        const MessageRequest ask{SaidText(question), SaidText(Words(kProgramBitrateQuestionCaption)),
                                 {DialogButton::Yes, DialogButton::No}, DialogButton::Yes, DialogIcon::Question};
        if (dialogs.Message(ask) != DialogButton::Yes) return;
    }
    if (running_) return;
    window_.BringToFront(window_.Main());

    // The output's name comes first: the end of the analysis then never
    // meets an open dialog.
    const std::string proposed = PreparedOutputName(path);
    const std::size_t slash = proposed.find_last_of('/');
    FileRequest request;
    request.Filter = kSaveStreamFilter;
    request.FileName = slash == std::string::npos ? proposed : proposed.substr(slash + 1);
    request.Folder = slash == std::string::npos ? std::string() : proposed.substr(0, slash + 1);
    request.FilterIndex = SaveFilterIndex(request.FileName);
    request.ConfirmOverwrite = true;
    const std::optional<FileChoice> chosen = dialogs.SaveFile(request);
    StaticText8->setText(ContentText(chosen && !chosen->Paths.empty() ? chosen->Paths.front() : proposed));

    Label17->clear();
    Label38->clear();
    SayWhy({});
    preparable_ = false;
    // The stream before is replaced: none of its values stay in view.
    ClearTargets();
    SetTargetsEnabled(false);
    if (!window_.Launcher().StartAnalysis({AnalysisMode::ModePrepare, path})) return;
    state.StreamPanelOpen = 1;
}

void PreparePanel::OnAnalysisEnded(const AnalysisResult& result) {
    AppState& state = window_.State();
    if (result.Ending != AnalysisEnding::Complete) {
        // Nothing opened: the launcher has said why and shows the main panel.
        state.StreamPanelOpen = 0;
        StaticText8->clear();
        return;
    }
    // The last program node is selected and loads the edits.
    QTreeWidgetItem* root = TreeView3->topLevelItem(0);
    if (root != nullptr && root->childCount() > 0) {
        TreeView3->clearSelection();
        QTreeWidgetItem* last = root->child(root->childCount() - 1);
        TreeView3->setCurrentItem(last);
        last->setSelected(true);
    }
    PrepareSource source;
    const Status can_prepare = ReadPrepareSource(state.Stream, source);
    preparable_ = bool(can_prepare);
    TreeView3Click();
    if (preparable_) {
        SetTargetsEnabled(true);
        return;
    }
    SpeedButton4->SetState(StartState::Unavailable);
    const std::size_t programs = state.Stream.Lists.ProgramNumbers.size();
    if (programs > 1) {
        SayWhy([this, programs] {
            const std::string_view split = lang::MainCaptions(window_.Language()).MultyprogramstreamMPEG2TS1;
            return Filled(tr("The stream carries %1 programs; only a single-program stream can be prepared. "
                             "Split it first with \"%2\"."),
                          {QString::number(programs), QString::fromUtf8(split.data(), qsizetype(split.size()))});
        });
    } else {
        SayWhy([words = can_prepare.words()] { return Said(words); });
    }
}

void PreparePanel::SayWhy(std::function<QString()> note) {
    note_ = std::move(note);
    ShowNote();
}

void PreparePanel::ShowNote() {
    const QString text = note_ ? note_() : QString();
    PrepareNote->setText(text);
    PrepareNote->setVisible(!text.isEmpty());
}

}  // namespace tscard::app
