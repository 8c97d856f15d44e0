#include "app/parse_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <filesystem>

#include "app/content_tree.h"
#include "app/dialogs.h"
#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/prepare_panel.h"
#include "app/shown_number.h"
#include "app/shown_path.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/said.h"
#include "app/status_line.h"
#include "ts/fixed_text.h"
#include "ts/packet.h"
#include "app/value_box.h"
#include "demux/parsed_programs.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard::app {
namespace {

// "12.345" MiB with the operator's decimal separator.
QString MiB(std::uint64_t bytes) { return ShownNumber(FixedText(double(bytes) / 1048576.0, 10, 3)); }

}  // namespace

ParsePanel::ParsePanel(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("ParseWindow");

    Label33 = NewLabel("Label33", this);
    SpeedButton11 = NewGlyphButton("SpeedButton11", Glyph::Close, this);
    Label29 = NewLabel("Label29", this);
    StaticText6 = NewValueBox("StaticText6", this);
    Label31 = NewLabel("Label31", this);
    StaticText7 = NewValueBox("StaticText7", this);
    RadioButton9 = NewRadioButton("RadioButton9", this);
    RadioButton10 = NewRadioButton("RadioButton10", this);
    RadioButton9->setChecked(true);
    auto* unit = new QButtonGroup(this);
    unit->addButton(RadioButton9);
    unit->addButton(RadioButton10);
    CheckBox1 = new QCheckBox("Remove staffings", this);
    CheckBox1->setObjectName("CheckBox1");
    Label35 = NewLabel("Label35", this);
    StaticText9 = NewValueBox("StaticText9", this);
    SpeedButton15 = NewGlyphButton("SpeedButton15", Glyph::Browse, this);

    Label30 = NewLabel("Label30", this);
    TreeView4 = NewTree("TreeView4", true, this);
    ParseHint = NewNoteLabel("ParseHint", this);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::NoSelection);
    Label34 = NewLabel("Label34", this);
    SpeedButton12 = NewGlyphButton("SpeedButton12", Glyph::Browse, this);
    SpeedButton12->setIcon(ListIcon(kRefreshImage));

    CGauge4 = new Gauge("CGauge4", Gauge::Kind::Bar, this);
    CGauge6 = new Gauge("CGauge6", Gauge::Kind::Pie, this);
    Label32 = NewLabel("Label32", this);
    SpeedButton3 = new StartButton("SpeedButton3", window.State().StopRequested, this);

    // Layout: title; name, size and folder rows; tree beside the picked
    // programs; gauges and start.
    auto* size = new QHBoxLayout;
    size->addWidget(StaticText7, 1);
    size->addWidget(RadioButton9);
    size->addWidget(RadioButton10);
    size->addSpacing(12);
    size->addWidget(CheckBox1);

    auto* folder = new QHBoxLayout;
    folder->addWidget(StaticText9, 1);
    folder->addWidget(SpeedButton15);

    auto* rows = new QGridLayout;
    rows->addWidget(Label29, 0, 0);
    rows->addWidget(StaticText6, 0, 1);
    rows->addWidget(Label31, 1, 0);
    rows->addLayout(size, 1, 1);
    rows->addWidget(Label35, 2, 0);
    rows->addLayout(folder, 2, 1);
    rows->setColumnStretch(1, 1);

    auto* reset = new QHBoxLayout;
    reset->addStretch(1);
    reset->addWidget(Label34);
    reset->addWidget(SpeedButton12);

    auto* middle = new QGridLayout;
    middle->addWidget(Label30, 0, 0);
    middle->addWidget(ParseHint, 0, 1);
    middle->addWidget(TreeView4, 1, 0, 2, 1);
    middle->addWidget(ListBox1, 1, 1);
    middle->addLayout(reset, 2, 1);
    middle->setRowStretch(1, 1);
    middle->setColumnStretch(0, 3);
    middle->setColumnStretch(1, 2);

    auto* body = new QVBoxLayout;
    body->addLayout(rows);
    body->addLayout(middle, 1);
    body->addWidget(NewRunRow(CGauge4, CGauge6, Label32, SpeedButton3, this));

    LayOutPanel(this, NewTitleBar(Label33, SpeedButton11, this), body);

    window.Launcher().SetEnding(AnalysisMode::ModeParse,
                                [this](const AnalysisResult& result) { OnAnalysisEnded(result); });
    connect(window.Menu().MultyprogramstreamMPEG2TS1, &QAction::triggered, this,
            &ParsePanel::MultyprogramstreamMPEG2TS1Click);
    connect(SpeedButton12, &QToolButton::clicked, this, &ParsePanel::SpeedButton12Click);
    connect(SpeedButton15, &QToolButton::clicked, this, &ParsePanel::SpeedButton15Click);
    // Every change of the selection counts, by mouse or by keyboard.
    connect(TreeView4, &QTreeWidget::itemSelectionChanged, this, &ParsePanel::TreeView4Click);
    connect(RadioButton9, &QRadioButton::clicked, this, &ParsePanel::RadioButton9Click);
    connect(RadioButton10, &QRadioButton::clicked, this, &ParsePanel::RadioButton10Click);
    connect(CheckBox1, &QCheckBox::toggled, this,
            [&state = window.State()](bool on) { state.SplitSettings.RemoveStuffing.store(on); });
    connect(SpeedButton3, &StartButton::StartRequested, this, &ParsePanel::SpeedButton3Click);
    connect(SpeedButton11, &QToolButton::clicked, this, &ParsePanel::SpeedButton11Click);
    connect(&window, &TTorvaneService::LanguageChanged, this, &ParsePanel::Retell);
    Retell();
}

void ParsePanel::Retell() {
    ParseHint->setText(tr("Ctrl+click to pick several programs"));
    ListBox1->setAccessibleName(tr("Programs to split"));
}

void ParsePanel::MultyprogramstreamMPEG2TS1Click() {
    AppState& state = window_.State();
    FileRequest request;
    request.Filter = kStreamFilter;
    request.FileName = state.OpenDialogFile;
    const std::optional<FileChoice> chosen = window_.Dialog().OpenFile(request);
    if (!chosen) return;
    state.OpenDialogFile = chosen->Paths.front();
    // Looked at first: a file that is no stream is told before the folder
    // is asked for, and the panels stay as they are.
    window_.Launcher().RunAside<PacketProbe>(
        [&state, path = state.OpenDialogFile] { return ProbePacketSize(path, &state.StopRequested); },
        [this, path = state.OpenDialogFile](const PacketProbe& probe) {
            switch (probe.Outcome) {
                case ProbeOutcome::Found: OpenForSplitting(path); return;
                case ProbeOutcome::Stopped: return;
                case ProbeOutcome::Failed:
                    window_.Dialog().Tell(SaidText(probe.Message), {}, DialogIcon::Warning);
                    return;
                case ProbeOutcome::UnknownFormat:
                    window_.Dialog().Tell(SaidText(UnknownStreamFormat(path, probe.Message)),
                                          SaidText(Words(kSynchronizationErrorCaption)), DialogIcon::Warning);
                    return;
            }
        });
}

void ParsePanel::OpenForSplitting(const std::string& path) {
    AppState& state = window_.State();
    if (Busy()) return;
    // The prepare panel lets go of its stream first, as its close does.
    window_.Prepare()->SpeedButton9Click();
    path_ = path;
    SpeedButton15Click();
    if (!Analyse()) return;
    state.StreamPanelOpen = 1;
}

void ParsePanel::OpenFromOutside(const std::string& path, std::function<void(const std::string&)> one_program) {
    AppState& state = window_.State();
    auto count = [&state, path] {
        StreamState counted;
        Analyzer analyzer;
        NullEventSink events;
        return analyzer.Run({AnalysisMode::ModeParse, path}, counted, events, state.StopRequested);
    };
    auto route = [this, path, one_program = std::move(one_program)](AnalysisResult result) {
        switch (result.Ending) {
            case AnalysisEnding::Complete:
                if (result.OnlyOneProgram) {
                    one_program(path);
                } else {
                    window_.State().OpenDialogFile = path;
                    OpenForSplitting(path);
                }
                return;
            case AnalysisEnding::Stopped: return;
            case AnalysisEnding::SyncFailed:
                window_.Dialog().Tell(SaidText(result.Message), SaidText(Words(kSynchronizationErrorCaption)),
                                      DialogIcon::Warning);
                return;
            case AnalysisEnding::NoDescription:
            case AnalysisEnding::Failed:
            case AnalysisEnding::Refused:
                window_.Dialog().Tell(SaidText(result.Message), {}, DialogIcon::Warning);
                return;
        }
    };
    if (!window_.Launcher().RunAside<AnalysisResult>(std::move(count), std::move(route)))
        window_.Dialog().Tell(window_.NotOpenedNow(path), {}, DialogIcon::Warning);
}

void ParsePanel::SpeedButton12Click() {
    if (!Busy()) Analyse();
}

bool ParsePanel::Analyse() {
    close_pending_ = false;
    if (!window_.Launcher().StartAnalysis({AnalysisMode::ModeParse, path_})) return false;
    ListBox1->clear();
    return true;
}

void ParsePanel::OnAnalysisEnded(const AnalysisResult& result) {
    AppState& state = window_.State();
    if (close_pending_) {
        Close();
        return;
    }
    if (result.Ending != AnalysisEnding::Complete || result.OnlyOneProgram) {
        // The main panel is in front again: the panel holds no stream.
        state.StreamPanelOpen = 0;
        return;
    }
    SelectParsedPrograms(state.Stream);
    // The tree shows the selection the split starts from.
    const QSignalBlocker quiet(TreeView4);
    TreeView4->clearSelection();
    for (int i = 0; i < TreeView4->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = TreeView4->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j) {
            QTreeWidgetItem* node = root->child(j);
            const auto index = ProgramIndexOf(node);
            const auto& programs = state.Stream.Lists.ProgramList;
            if (index && *index < programs.size() && programs[*index].Selected) node->setSelected(true);
        }
    }
    TreeView4Click();
}

void ParsePanel::SpeedButton15Click() {
    AppState& state = window_.State();
    FolderRequest request;
    request.Title = tr("Select folder for save parsed stream").toStdString();
    request.Prompt = tr("Select target folder").toStdString();
    request.CancelCaption = tr("Cancel").toStdString();
    request.NewFolderCaption = tr("New folder").toStdString();
    request.Folder =
        state.ParseFolder.empty() ? std::filesystem::path(path_).parent_path().string() : state.ParseFolder;
    if (const std::optional<std::string> folder = window_.Dialog().ChooseFolder(request)) state.ParseFolder = *folder;
    // What the panel shows is always where the split writes.
    StaticText9->setText(ShownPath(state.ParseFolder));
}

void ParsePanel::TreeView4Click() {
    // The description belongs to the worker while a run is under way.
    if (Busy()) return;
    std::vector<ProgramRemap>& programs = window_.State().Stream.Lists.ProgramList;
    ListBox1->clear();
    for (ProgramRemap& program : programs) program.Selected = false;
    for (int i = 0; i < TreeView4->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* root = TreeView4->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j) {
            const QTreeWidgetItem* node = root->child(j);
            const auto index = ProgramIndexOf(node);
            if (!node->isSelected() || !index || *index >= programs.size()) continue;
            programs[*index].Selected = true;
            ListBox1->addItem(ContentText(SelectionLine(programs[*index])));
        }
    }
    TreeView4->viewport()->update();
}

void ParsePanel::RadioButton9Click() { ShowSize(); }

void ParsePanel::RadioButton10Click() { ShowSize(); }

void ParsePanel::ShowSize() {
    const SizeUnit unit = RadioButton10->isChecked() ? SizeUnit::Bytes : SizeUnit::MBytes;
    StaticText7->setText(ShownNumber(ParseSizeText(window_.State().CardBytes, unit)));
}

void ParsePanel::SpeedButton3Click() {
    AppState& state = window_.State();
    if (state.ParseFolder.empty()) {
        window_.Dialog().Tell(SaidText(Words(kSelectDemuxFolderMessage)));
        return;
    }
    state.SplitSettings.OutputFolder = state.ParseFolder;
    state.SplitSettings.RemoveStuffing.store(CheckBox1->isChecked());
    if (const Status allowed = CheckDemuxRun(state.Stream, state.SplitSettings); !allowed) {
        window_.Dialog().Tell(SaidText(allowed.words()));
        return;
    }

    RunSpec run;
    run.Group = GaugeGroup::G4;
    run.Button = SpeedButton3;
    run.Progress = [&state] {
        return ProgressFigure{state.Splitter.ProgressPosition(), state.Splitter.ProgressMaximum()};
    };
    run.Completed = [this] { OnSplitEnded(); };
    if (!window_.Events().BeginRun(std::move(run))) return;
    TreeView4->setEnabled(false);
    TreeView4->expandAll();
    if (const Status started =
            state.Splitter.Start(state.Stream, state.SplitSettings, state.Events, state.StopRequested);
        !started) {
        window_.Events().CancelRun();
        TreeView4->setEnabled(true);
        window_.Dialog().Tell(SaidText(started.words()));
    }
}

void ParsePanel::OnSplitEnded() {
    AppState& state = window_.State();
    const DemuxResult result = state.Splitter.Finish();
    TreeView4->setEnabled(true);
    TreeView4->viewport()->update();
    window_.Timer1()->start();
    if (state.Closing) return;
    if (result.Ending == DemuxEnding::Failed) window_.Dialog().Tell(SaidText(result.Message));
    if (result.Ending == DemuxEnding::Complete) {
        std::uint64_t packets = 0;
        for (std::uint64_t written : result.PacketsWritten) packets += written;
        const QString source = ShownPath(path_);
        const QString folder = ShownPath(state.SplitSettings.OutputFolder);
        const QString count = QString::number(result.OutputFiles.size());
        const QString mib = MiB(packets * kPacketSize);
        window_.Main()->Status->Tell(
            [this, source, folder, count, mib] {
                return Filled(tr("Split %1 into %2 program files in %3: %4 MiB"), {source, count, folder, mib});
            },
            state.SplitSettings.OutputFolder);
    }
    if (result.Ending == DemuxEnding::Complete || close_pending_) {
        // The stream is used up: it has to be opened again.
        Close();
        return;
    }
    // The program list is used up as well: the stream is read again, so
    // that the tree and the list offer what a new run would split.
    Analyse();
}

void ParsePanel::SpeedButton11Click() {
    if (Busy()) {
        close_pending_ = true;
        window_.State().StopRequested.Request();
        SpeedButton3->ShowStopRequested();
        return;
    }
    Close();
}

void ParsePanel::Close() {
    close_pending_ = false;
    window_.BringToFront(window_.Main());
    window_.State().StreamPanelOpen = 0;
}

bool ParsePanel::Busy() const {
    const StreamLauncher& launcher = window_.Launcher();
    return window_.State().Splitter.Busy() ||
           (launcher.Analysing() && launcher.Request().Mode == AnalysisMode::ModeParse);
}

}  // namespace tscard::app
