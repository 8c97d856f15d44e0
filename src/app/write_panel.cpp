#include "app/write_panel.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/card_panel.h"
#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/images.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/shown_number.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "ts/stream_open.h"

namespace tscard::app {

WritePanel::WritePanel(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("WriteWindow");

    Label28 = NewLabel("Label28", this);
    SpeedButton10 = NewGlyphButton("SpeedButton10", Glyph::Close, this);
    Label25 = NewLabel("Label25", this);
    StaticText1 = NewValueBox("StaticText1", this);
    Label8 = NewLabel("Label8", this);
    StaticText5 = NewValueBox("StaticText5", this);
    RadioButton3 = NewRadioButton("RadioButton3", this);
    RadioButton4 = NewRadioButton("RadioButton4", this);
    RadioButton3->setChecked(true);
    auto* unit = new QButtonGroup(this);
    unit->addButton(RadioButton3);
    unit->addButton(RadioButton4);
    Label26 = NewLabel("Label26", this);
    TreeView2 = NewTree("TreeView2", false, this);
    WriteNote = new QLabel(this);
    WriteNote->setObjectName("WriteNote");
    WriteNote->setTextFormat(Qt::PlainText);
    WriteNote->setWordWrap(true);
    WriteAgain = NewTextButton("WriteAgain", this);
    WriteAgain->setIcon(ListIcon(kCardImage));
    HideEnding();

    GroupBox4 = NewGroupBox("GroupBox4", this);
    Label1 = NewLabel("Label1", GroupBox4);
    Edit4 = new QLineEdit("120000", GroupBox4);
    Edit4->setObjectName("Edit4");
    GroupBox5 = NewGroupBox("GroupBox5", this);
    Label40 = new QLabel("188 byte ", GroupBox5);
    Label40->setObjectName("Label40");
    Label41 = NewValueBox("Label41", GroupBox5);
    Label46 = new QLabel("204 byte", GroupBox5);
    Label46->setObjectName("Label46");
    Label47 = NewValueBox("Label47", GroupBox5);
    GroupBox3 = NewGroupBox("GroupBox3", this);
    RadioButton12 = NewRadioButton("RadioButton12", GroupBox3);
    RadioButton13 = NewRadioButton("RadioButton13", GroupBox3);
    RadioButton13->setChecked(true);

    CGauge1 = new Gauge("CGauge1", Gauge::Kind::Bar, this);
    CGauge5 = new Gauge("CGauge5", Gauge::Kind::Pie, this);
    Label27 = NewLabel("Label27", this);
    SpeedButton1 = new StartButton("SpeedButton1", window.State().StopRequested, this);

    // Layout: title; file and size rows; content beside the rates; gauges
    // and start.
    auto* size = new QHBoxLayout;
    size->addWidget(StaticText5, 1);
    size->addWidget(RadioButton3);
    size->addWidget(RadioButton4);

    auto* rows = new QGridLayout;
    rows->addWidget(Label25, 0, 0);
    rows->addWidget(StaticText1, 0, 1);
    rows->addWidget(Label8, 1, 0);
    rows->addLayout(size, 1, 1);
    rows->setColumnStretch(1, 1);

    auto* header_rate = new QVBoxLayout(GroupBox4);
    header_rate->addWidget(Label1);
    header_rate->addWidget(Edit4);

    auto* measured = new QGridLayout(GroupBox5);
    measured->addWidget(Label40, 0, 0);
    measured->addWidget(Label41, 0, 1);
    measured->addWidget(Label46, 1, 0);
    measured->addWidget(Label47, 1, 1);
    measured->setColumnStretch(1, 1);

    auto* pids = new QVBoxLayout(GroupBox3);
    pids->addWidget(RadioButton12);
    pids->addWidget(RadioButton13);

    auto* side = new QVBoxLayout;
    side->addWidget(GroupBox4);
    side->addWidget(GroupBox5);
    side->addWidget(GroupBox3);
    side->addStretch(1);

    auto* ending = new QHBoxLayout;
    ending->addWidget(WriteNote, 1);
    ending->addWidget(WriteAgain, 0, Qt::AlignTop);

    auto* middle = new QGridLayout;
    middle->addWidget(Label26, 0, 0);
    middle->addWidget(TreeView2, 1, 0);
    middle->addLayout(side, 1, 1);
    middle->addLayout(ending, 2, 0, 1, 2);
    middle->setRowStretch(1, 1);
    middle->setColumnStretch(0, 1);

    auto* body = new QVBoxLayout;
    body->addLayout(rows);
    body->addLayout(middle, 1);
    body->addWidget(NewRunRow(CGauge1, CGauge5, Label27, SpeedButton1, this));

    LayOutPanel(this, NewTitleBar(Label28, SpeedButton10, this), body);

    connect(SpeedButton10, &QToolButton::clicked, this, &WritePanel::SpeedButton10Click);
    connect(RadioButton3, &QRadioButton::clicked, this, &WritePanel::ShowSize);
    connect(RadioButton4, &QRadioButton::clicked, this, &WritePanel::ShowSize);
    connect(SpeedButton1, &StartButton::StartRequested, this, &WritePanel::SpeedButton1Click);
    connect(WriteAgain, &QAbstractButton::clicked, this, &WritePanel::SpeedButton23Click);
    // The card panel's caption, in the language shown.
    connect(&window, &TTorvaneService::LanguageChanged, this,
            [this] { WriteAgain->setText(window_.Card()->SpeedButton23->text()); });
    window.Launcher().SetEnding(AnalysisMode::ModeCardWrite,
                                [this](const AnalysisResult& result) { AnalysisEnded(result); });
    EventBridge& events = window.Events();
    events.SetHandler(EventId::CompleteWriteFile, [this] { DoCompleteWriteFile(); });
    events.SetHandler(EventId::CompleteWriteStream, [this] { DoCompleteWriteStream(); });
    events.SetHandler(EventId::CompleteErrWriteFile, [this] { DoCompleteErrWriteFile(); });
    events.SetHandler(EventId::evBreakWrite, [this] { DoBreakWrite(); });
}

void WritePanel::SpeedButton10Click() {
    window_.BringToFront(window_.Main());
    window_.State().WritePanelOpen = 0;
    // The file is let go; only a new "Write file" fills the panel again.
    if (!Writing()) {
        job_.Source.Close();
        SpeedButton1->SetState(StartState::Unavailable);
    }
}

void WritePanel::ShowEndedBadly(const QString& message) {
    AppState& state = window_.State();
    state.WritePanelOpen = 0;
    job_.Source.Close();
    StaticText1->setText("...");
    StaticText5->clear();
    TreeView2->clear();
    WriteNote->setText(message);
    WriteNote->show();
    WriteAgain->setText(window_.Card()->SpeedButton23->text());
    WriteAgain->show();
}

void WritePanel::HideEnding() {
    WriteNote->clear();
    WriteNote->hide();
    WriteAgain->hide();
}

void WritePanel::ShowSize() {
    AppState& state = window_.State();
    CardState& cards = state.Cards;
    if (state.WritePanelOpen == 0) return;
    const double ratio = state.SizeRatio;
    if (RadioButton3->isChecked())
        StaticText5->setText(ShownNumber(CardWriteSizeText(cards.CardBytes, SizeUnit::MBytes, ratio)));
    else if (RadioButton4->isChecked())
        StaticText5->setText(ShownNumber(CardWriteSizeText(cards.CardBytes, SizeUnit::Bytes, ratio)));
}

}  // namespace tscard::app
