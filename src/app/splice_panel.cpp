#include "app/splice_panel.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

#include "app/dialogs.h"
#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/shown_number.h"
#include "app/shown_path.h"
#include "app/torvane_service.h"
#include "app/said.h"
#include "app/status_line.h"
#include "ts/fixed_text.h"
#include "app/value_box.h"
#include "platform/file_identity.h"
#include "platform/output_file.h"
#include "splice/splice_chain.h"
#include "splice/splice_job.h"

namespace tscard::app {
namespace {

constexpr const char* kDefaultOutputName = "New";

std::uint64_t EntrySize(const StickFileEntry& entry) { return entry.Blocks * kSpliceBlockSize + entry.TailBytes; }

// Whole mebibytes with three decimals ("1.000" for 1,572,863 bytes).
QString SizeText(std::uint64_t bytes) { return ShownNumber(SpliceSizeText(bytes)); }

}  // namespace

namespace {

// "12.345" MiB with the operator's decimal separator.
QString MiB(std::uint64_t bytes) { return ShownNumber(FixedText(double(bytes) / 1048576.0, 10, 3)); }

// The folder that holds a file written, for the status line's button.
std::string FolderOf(const std::string& path) {
    return QFile::encodeName(QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absolutePath()).toStdString();
}

}  // namespace

SplicePanel::SplicePanel(TTorvaneService& window, QWidget* parent) : QFrame(parent), window_(window) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    setObjectName("Panel1");

    Label9 = NewLabel("Label9", this);
    StaticText11 = NewValueBox("StaticText11", this);
    StaticText13 = NewValueBox("StaticText13", this);
    Label19 = NewLabel("Label19", this);
    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName("ListBox2");
    ListBox2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    SpeedButton8 = NewGlyphButton("SpeedButton8", Glyph::Scissors, this);
    SpeedButton5 = NewGlyphButton("SpeedButton5", Glyph::ArrowDown, this);
    SpeedButton6 = NewGlyphButton("SpeedButton6", Glyph::ArrowUp, this);
    SpeedButton7 = NewGlyphButton("SpeedButton7", Glyph::Broom, this);
    Label7 = NewLabel("Label7", this);
    StaticText10 = NewValueBox("StaticText10", this);
    StaticText12 = NewValueBox("StaticText12", this);
    Label21 = NewLabel("Label21", this);
    CGauge10 = new Gauge("CGauge10", Gauge::Kind::Bar, this);
    Button2 = NewTextButton("Button2", this);
    Button3 = NewTextButton("Button3", this);
    Button1 = NewTextButton("Button1", this);
    // The list is empty: nothing to start, move, remove or clear.
    SetListCommandsEnabled(false);

    // Layout, top to bottom: output, with Close at the right; list with its
    // buttons; file being copied; progress; add and start.
    const int size_width = fontMetrics().horizontalAdvance("0000000.000") + 16;
    StaticText13->setFixedWidth(size_width);
    StaticText12->setFixedWidth(size_width);

    auto* files = new QGridLayout;
    files->addWidget(Label9, 0, 0);
    files->addWidget(Button1, 0, 1, 1, 2, Qt::AlignRight);
    files->addWidget(StaticText11, 1, 0);
    files->addWidget(StaticText13, 1, 1);
    files->addWidget(Label19, 1, 2);
    files->setColumnStretch(0, 1);

    auto* edit = new QVBoxLayout;
    for (QToolButton* button : {SpeedButton8, SpeedButton5, SpeedButton6, SpeedButton7}) edit->addWidget(button);
    edit->addStretch(1);
    auto* list = new QHBoxLayout;
    list->addWidget(ListBox2, 1);
    list->addLayout(edit);

    auto* copying = new QGridLayout;
    copying->addWidget(Label7, 0, 0, 1, 3);
    copying->addWidget(StaticText10, 1, 0);
    copying->addWidget(StaticText12, 1, 1);
    copying->addWidget(Label21, 1, 2);
    copying->setColumnStretch(0, 1);

    auto* commands = new QHBoxLayout;
    commands->addWidget(Button2);
    commands->addWidget(Button3);
    commands->addStretch(1);

    auto* panel = new QVBoxLayout(this);
    panel->setContentsMargins(8, 8, 8, 8);
    panel->setSpacing(6);
    panel->addLayout(files);
    panel->addLayout(list, 1);
    panel->addLayout(copying);
    panel->addWidget(CGauge10);
    panel->addLayout(commands);

    connect(window.Menu().Tosticktogether1, &QAction::triggered, this, &SplicePanel::Tosticktogether1Click);
    connect(Button2, &QAbstractButton::clicked, this, &SplicePanel::Button2Click);
    connect(SpeedButton5, &QAbstractButton::clicked, this, &SplicePanel::SpeedButton5Click);
    connect(SpeedButton6, &QAbstractButton::clicked, this, &SplicePanel::SpeedButton6Click);
    connect(SpeedButton8, &QAbstractButton::clicked, this, &SplicePanel::SpeedButton8Click);
    connect(SpeedButton7, &QAbstractButton::clicked, this, &SplicePanel::SpeedButton7Click);
    connect(Button3, &QAbstractButton::clicked, this, &SplicePanel::Button3Click);
    connect(Button1, &QAbstractButton::clicked, this, &SplicePanel::Button1Click);
}

void SplicePanel::AttachEvents() {
    EventBridge& events = window_.Events();
    events.SetHandler(EventId::evStickOpenFile, [this] { DoStickOpenFile(); });
    events.SetHandler(EventId::evStickCloseFile, [this] { DoStickCloseFile(); });
    events.SetHandler(EventId::evStickRefreshGauge, [this] { DoStickRefreshGauge(); });
    AppState& state = window_.State();
    events.TrackWork([&state] { return state.Stick.Splicing; }, [&state] { state.StickStop.Request(); });
}

void SplicePanel::Tosticktogether1Click() {
    AppState& state = window_.State();
    if (state.Stick.Splicing) return;
    // The splice set up before stays until a new output has been chosen.
    std::string path;
    SpliceOutputMode mode = SpliceOutputMode::Replace;
    for (;;) {
        FileRequest request;
        request.Filter = kSaveStreamFilter;
        request.FileName = kDefaultOutputName;
        const std::optional<FileChoice> choice = window_.Dialog().SaveFile(request);
        if (!choice) return;
        path = SpliceOutputName(choice->Paths.front(), choice->FilterIndex);
        if (!IdentityOf(path)) break;
        const DialogButton answer =
            window_.Dialog().Message({tr("File allready exist.Overwrite?").toStdString(), tr("Stick files").toStdString(),
                                      {DialogButton::Yes, DialogButton::No, DialogButton::Cancel},
                                      DialogButton::Yes, DialogIcon::Warning});
        if (answer == DialogButton::Cancel) continue;
        mode = answer == DialogButton::Yes ? SpliceOutputMode::Replace : SpliceOutputMode::Append;
        break;
    }

    state.StickStop.Clear();
    state.StickAddList.clear();
    const Status opened = SetUpSplice(state.Stick, path, mode);
    ShowList(-1);
    SetListCommandsEnabled(false);
    StaticText10->clear();
    StaticText12->clear();
    CGauge10->SetProgress(0);
    if (!opened) {
        hide();
        window_.Dialog().Tell(SaidText(opened.words()));
        return;
    }
    // Nothing is created before the start: a replaced output starts empty,
    // an appended one from its present size.
    std::uint64_t size = 0;
    if (mode == SpliceOutputMode::Append) {
        std::error_code ignored;
        size = std::filesystem::file_size(path, ignored);
        if (ignored) size = 0;
    }
    window_.BringToFront(window_.Main());
    StaticText11->setText(ShownPath(path));
    StaticText13->setText(SizeText(size));
    show();
}

void SplicePanel::Button2Click() {
    FileRequest request;
    request.Filter = kStreamFilter;
    const std::optional<FileChoice> choice = window_.Dialog().OpenFiles(request);
    if (choice) {
        AppState& state = window_.State();
        if (const Status added = AddSpliceFiles(state.Stick, choice->Paths); added) {
            state.StickAddList = choice->Paths;
            ShowList(ListBox2->currentRow());
        } else {
            window_.Dialog().Tell(SaidText(added.words()));
        }
    }
    EnableListCommands();
}

void SplicePanel::SpeedButton5Click() {
    const int moved = MoveSpliceEntryDown(window_.State().Stick, ListBox2->currentRow());
    if (moved >= 0) ShowList(moved);
}

void SplicePanel::SpeedButton6Click() {
    const int moved = MoveSpliceEntryUp(window_.State().Stick, ListBox2->currentRow());
    if (moved >= 0) ShowList(moved);
}

void SplicePanel::SpeedButton8Click() {
    StickJob& job = window_.State().Stick;
    if (job.Splicing) return;
    std::vector<int> selected;
    for (const QListWidgetItem* item : ListBox2->selectedItems()) selected.push_back(ListBox2->row(item));
    if (selected.empty()) return;
    RemoveSpliceEntries(job, selected);
    ShowList(-1);
    EnableListCommands();
}

void SplicePanel::SpeedButton7Click() {
    AppState& state = window_.State();
    if (state.Stick.Splicing) return;
    ClearSpliceEntries(state.Stick);
    state.StickAddList.clear();
    ShowList(-1);
    SetListCommandsEnabled(false);
}

void SplicePanel::Button3Click() {
    AppState& state = window_.State();
    if (const Status started = state.StickChain.Start(); !started) {
        window_.Dialog().Tell(SaidText(started.words()));
        return;
    }
    Button2->setEnabled(false);
    SetListCommandsEnabled(false);
    // A new set-up would pull the list from under the copies.
    window_.Menu().Tosticktogether1->setEnabled(false);
    CGauge10->SetMaximum(state.StickChain.Progress().Maximum);
    CGauge10->SetProgress(0);
}

void SplicePanel::Button1Click() {
    AppState& state = window_.State();
    if (state.Stick.Splicing) {
        state.StickStop.Request();
        return;
    }
    // Nothing started: the output opened for this splice is closed too.
    CloseSplice(state.Stick);
    state.StickAddList.clear();
    ShowList(-1);
    SetListCommandsEnabled(false);
    hide();
    window_.BringToFront(window_.Main());
}

void SplicePanel::DoStickOpenFile() {
    AppState& state = window_.State();
    if (state.StickChain.OnOpenFile()) {
        DoStickFinish();
        return;
    }
    const int row = state.StickChain.Progress().CurrentIndex;
    if (!state.Stick.Splicing || row < 0 || row >= state.Stick.FileCount) return;
    const StickFileEntry& entry = state.Stick.Files[static_cast<std::size_t>(row)];
    StaticText10->setText(ShownPath(entry.Path));
    StaticText12->setText(SizeText(EntrySize(entry)));
}

void SplicePanel::DoStickCloseFile() { window_.State().StickChain.OnCloseFile(); }

void SplicePanel::DoStickRefreshGauge() {
    const SpliceProgress progress = window_.State().StickChain.Progress();
    CGauge10->SetProgress(progress.Blocks);
    StaticText13->setText(SizeText(progress.OutputBytes));
}

void SplicePanel::DoStickFinish() {
    AppState& state = window_.State();
    const SpliceResult& result = state.StickChain.Result();
    const std::string output = state.Stick.OutputPath;
    CGauge10->SetProgress(state.StickChain.Progress().Blocks);
    StaticText13->setText(SizeText(result.OutputSize));
    // Files a stop left uncopied are closed with the rest.
    CloseSplice(state.Stick);
    state.StickAddList.clear();
    ShowList(-1);
    hide();
    Button2->setEnabled(true);
    EnableListCommands();
    window_.Menu().Tosticktogether1->setEnabled(true);
    if (result.Ending == SpliceEnding::Failed) window_.Dialog().Tell(SaidText(result.Message));
    if (result.Ending == SpliceEnding::Complete) {
        const QString path = ShownPath(output);
        const QString files = QString::number(result.FilesCopied);
        const QString mib = MiB(result.OutputSize);
        const QString bytes = QString::number(result.OutputSize);
        const bool file = output != kStandardOutputName && QFileInfo(path).isFile();
        window_.Main()->Status->Tell(
            [this, path, files, mib, bytes] {
                return Filled(tr("Spliced %1 files into %2: %3 MiB (%4 bytes)"), {files, path, mib, bytes});
            },
            file ? FolderOf(output) : std::string());
    }
}

void SplicePanel::ShowList(int focused) {
    ListBox2->clear();
    for (const std::string& path : SpliceEntryPaths(window_.State().Stick)) ListBox2->addItem(ShownPath(path));
    if (focused >= 0 && focused < ListBox2->count()) ListBox2->setCurrentRow(focused);
}

void SplicePanel::EnableListCommands() { SetListCommandsEnabled(window_.State().Stick.FileCount > 0); }

void SplicePanel::SetListCommandsEnabled(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(Button3), static_cast<QWidget*>(SpeedButton5),
                             static_cast<QWidget*>(SpeedButton6), static_cast<QWidget*>(SpeedButton7),
                             static_cast<QWidget*>(SpeedButton8)})
        control->setEnabled(enabled);
}

}  // namespace tscard::app
