#include "app/read_panel.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/card_panel.h"
#include "app/dialogs.h"
#include "app/gauge.h"
#include "app/panel_parts.h"
#include "app/said.h"
#include "app/main_panel.h"
#include "app/shown_number.h"
#include "app/shown_path.h"
#include "app/status_line.h"
#include "ts/fixed_text.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "card/card_open.h"
#include "platform/file_identity.h"
#include "platform/output_file.h"

namespace tscard::app {

namespace {
// The pie turns once per this many blocks read.
constexpr std::uint64_t kReadPieSteps = 512;
// The extension each file type of the save dialog gives a name without one.
constexpr const char* kTypeExtensions[] = {".m2ts", ".m4ts", ".ts", ".ts", ""};
}  // namespace

std::string ReadOutputName(const std::string& chosen, int filter_index) {
    const std::size_t slash = chosen.rfind('/');
    const std::string last = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    if (last.find('.') != std::string::npos) return chosen;
    if (filter_index < 1 || filter_index > static_cast<int>(std::size(kTypeExtensions))) return chosen;
    return chosen + kTypeExtensions[filter_index - 1];
}

ReadPanel::ReadPanel(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("Panel4");

    GroupBox2 = NewGroupBox("GroupBox2", this);
    RadioButton7 = NewRadioButton("RadioButton7", GroupBox2);
    RadioButton8 = NewRadioButton("RadioButton8", GroupBox2);
    RadioButton7->setChecked(true);
    auto* form = new QVBoxLayout(GroupBox2);
    form->addWidget(RadioButton7);
    form->addWidget(RadioButton8);

    Label39 = NewLabel("Label39", this);
    SpeedButton24 = new StartButton("SpeedButton24", window.State().StopRequested, this);
    CGauge8 = new Gauge("CGauge8", Gauge::Kind::Bar, this);
    CGauge9 = new Gauge("CGauge9", Gauge::Kind::Pie, this);
    CGauge9->SetMaximum(kReadPieSteps);

    // Layout: one framed box in the middle of the panel.
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    box->setMinimumWidth(360);
    auto* inner = new QVBoxLayout(box);
    inner->setContentsMargins(12, 12, 12, 12);
    inner->addWidget(GroupBox2);
    inner->addWidget(NewRunRow(CGauge8, CGauge9, Label39, SpeedButton24, box));

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(box);
    row->addStretch(1);
    auto* panel = new QVBoxLayout(this);
    panel->addStretch(1);
    panel->addLayout(row);
    panel->addStretch(2);

    progress_timer_ = new QTimer(this);
    progress_timer_->setInterval(100);
    connect(progress_timer_, &QTimer::timeout, this, &ReadPanel::ShowProgress);
    // A click while reading raises the stop request itself.
    connect(SpeedButton24, &StartButton::StartRequested, this, &ReadPanel::StartRead);
}

void ReadPanel::SpeedButton22Click() {
    AppState& state = window_.State();
    FileRequest request;
    request.Filter = kSaveStreamFilter;
    request.FileName = state.Cards.ReadEntryName;
    request.ConfirmOverwrite = true;
    const std::optional<FileChoice> choice = window_.Dialog().SaveFile(request);
    if (!choice || choice->Paths.empty()) return;
    state.CardFileName = choice->Paths.front();
    filter_index_ = choice->FilterIndex;

    CardPanel* card = window_.Card();
    card->setEnabled(false);
    card->SetJobControlsEnabled(false);
    SpeedButton24->SetState(StartState::Ready);
    window_.BringToFront(this);
}

void ReadPanel::StartRead() {
    AppState& state = window_.State();
    state.Cards.Pulled = false;
    SpeedButton24->SetState(StartState::Running);
    GroupBox2->hide();
    blocks_done_ = 0;
    blocks_total_ = 0;
    CGauge8->SetProgress(0);
    CGauge9->SetProgress(0);
    CGauge8->show();
    CGauge9->show();

    output_ = ReadOutputName(state.CardFileName, filter_index_);
    auto refuse = [&](const QString& message) {
        window_.Dialog().Tell(message.toStdString(), {}, DialogIcon::Error);
        Restore();
    };
    if (SameFileOrDevice(output_, state.Cards.InUse))
        return refuse(Filled(tr("%1: the output is the card itself"), {QString::fromStdString(output_)}));
    Status status = CheckOutputPath(output_);
    CardTarget target;
    if (status) status = ResolveCard(state.Cards.InUse, state.Cards.Roots, target, state.Cards.Opener);
    if (status) status = OpenCard(target, false, state.Cards.Roots, state.Card);
    if (!status) return refuse(Said(status.words()));

    CardReadJob job;
    job.ReadEntryIndex = state.Cards.ReadEntryIndex;
    job.Form = RadioButton8->isChecked() ? CardReadForm::Original : CardReadForm::Compressed;
    job.OutputPath = output_;
    job.Progress = [this](std::uint64_t done, std::uint64_t total) {
        blocks_total_.store(total, std::memory_order_relaxed);
        blocks_done_.store(done, std::memory_order_relaxed);
    };
    state.StopRequested.Clear();
    const Status started = read_.Start(
        this, [this, job, &device = state.Card, &stop = state.StopRequested] {
            return reader_.Run(job, device, stop);
        },
        [this](CardReadResult result) { ReadEnded(std::move(result)); });
    if (!started) return refuse(Said(started.words()));
    progress_timer_->start();
}

void ReadPanel::ShowProgress() {
    const std::uint64_t done = blocks_done_.load(std::memory_order_relaxed);
    CGauge8->ShowPosition(done, blocks_total_.load(std::memory_order_relaxed));
    CGauge9->ShowPosition(done, 0);
}

void ReadPanel::ReadEnded(CardReadResult result) {
    AppState& state = window_.State();
    progress_timer_->stop();
    const bool pulled = state.Cards.Pulled;
    state.Cards.Pulled = false;
    const QString output = QString::fromStdString(output_);
    // What the output holds after a copy that did not complete.
    const QString left =
        result.OutputKept ? Filled(tr("%1 holds the first %2 of %3 blocks"),
                                   {output, QString::number(result.BlocksRead), QString::number(result.Blocks)})
        : result.WrittenInPlace ? Filled(tr("what was written to %1 stays there"), {output})
                                : Filled(tr("%1 is left as it was"), {output});
    QString message;
    switch (result.Ending) {
        case CardReadEnding::Complete: {
            const QString stream = QString::fromStdString(state.Cards.ReadEntryName);
            const QString path = ShownPath(output_);
            const QString mib = ShownNumber(FixedText(double(result.BytesWritten) / 1048576.0, 10, 3));
            const QString bytes = QString::number(result.BytesWritten);
            const bool file = !result.WrittenInPlace && QFileInfo(path).isFile();
            window_.Main()->Status->Tell(
                [this, stream, path, mib, bytes] {
                    return Filled(tr("Read %1 from the card into %2: %3 MiB (%4 bytes)"), {stream, path, mib, bytes});
                },
                file ? QFile::encodeName(QFileInfo(path).absolutePath()).toStdString() : std::string());
            break;
        }
        case CardReadEnding::Stopped:
            // The operator's own stop needs no word; a pulled card does.
            if (pulled)
                message = Filled(tr("%1: the card was removed during the read; %2"),
                                 {QString::fromStdString(state.Card.Path()), left});
            break;
        case CardReadEnding::Failed: message = Filled(tr("%1; %2"), {Said(result.Message), left}); break;
        case CardReadEnding::Refused: message = Said(result.Message); break;
    }
    Restore();
    if (!message.isEmpty() && !state.Closing) window_.Dialog().Tell(message.toStdString(), {}, DialogIcon::Error);
}

void ReadPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Left before the start (another panel came to the front): nothing was
    // opened, and the card panel gets its commands back.
    if (!event->spontaneous() && SpeedButton24->State() == StartState::Ready && !Reading()) {
        GiveBackCardPanel();
        SpeedButton24->SetState(StartState::Unavailable);
    }
}

void ReadPanel::GiveBackCardPanel() {
    CardPanel* card = window_.Card();
    card->setEnabled(true);
    for (QWidget* control : std::initializer_list<QWidget*>{card->SpeedButton13, card->SpeedButton14,
                                                            card->SpeedButton19, card->SpeedButton21,
                                                            card->RadioButton1, card->RadioButton2})
        control->setEnabled(true);
    // "Read file" again only for a stream still picked in the content tree.
    card->SpeedButton22->setEnabled(false);
    card->TreeView1Click();
    card->SpeedButton23->setEnabled(window_.State().Cards.CardReady);
}

void ReadPanel::Restore() {
    AppState& state = window_.State();
    GiveBackCardPanel();
    state.Card = CardDevice();
    GroupBox2->show();
    for (Gauge* gauge : {CGauge8, CGauge9}) {
        gauge->SetProgress(0);
        gauge->hide();
    }
    SpeedButton24->SetState(StartState::Unavailable);
    window_.SendToBack(this);
    state.StopRequested.Clear();
}

}  // namespace tscard::app
