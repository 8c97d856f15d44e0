#include "app/prepare_panel.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gauge.h"
#include "app/panel_parts.h"
#include "app/prepare_figures.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "app/value_box.h"

namespace tscard::app {

PreparePanel::PreparePanel(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("PreparePn");

    Label23 = NewLabel("Label23", this);
    SpeedButton9 = NewGlyphButton("SpeedButton9", Glyph::Close, this);
    Label6 = NewLabel("Label6", this);
    StaticText8 = NewValueBox("StaticText8", this);
    SpeedButton20 = NewGlyphButton("SpeedButton20", Glyph::Browse, this);
    Label24 = NewLabel("Label24", this);
    TreeView3 = NewTree("TreeView3", true, this);
    PrepareNote = new QLabel(this);
    PrepareNote->setObjectName("PrepareNote");
    PrepareNote->setTextFormat(Qt::PlainText);
    PrepareNote->setWordWrap(true);
    PrepareNote->hide();

    GroupBox8 = NewGroupBox("GroupBox8", this);
    Label20 = NewLabel("Label20", GroupBox8);
    Edit1 = new QLineEdit("MPEG2 TS ", GroupBox8);
    Edit1->setObjectName("Edit1");
    Edit1->setMaxLength(20);
    Label22 = NewLabel("Label22", GroupBox8);
    Edit7 = new QLineEdit("Demo channel ", GroupBox8);
    Edit7->setObjectName("Edit7");
    Label14 = NewLabel("Label14", GroupBox8);
    Edit5 = NewLowerCaseEdit("Edit5", "0x800", GroupBox8);
    Label15 = NewLabel("Label15", GroupBox8);
    Edit6 = NewLowerCaseEdit("Edit6", "0x400", GroupBox8);

    GroupBox9 = NewGroupBox("GroupBox9", GroupBox8);
    Label11 = NewLabel("Label11", GroupBox9);
    Edit2 = NewLowerCaseEdit("Edit2", "0x1000", GroupBox9);
    Label12 = NewLabel("Label12", GroupBox9);
    Edit3 = NewLowerCaseEdit("Edit3", "0x1001", GroupBox9);
    Label13 = NewLabel("Label13", GroupBox9);
    ComboBox1 = NewLowerCaseCombo("ComboBox1", "0x1002", GroupBox9);
    Label42 = NewLabel("Label42", GroupBox9);
    ComboBox2 = NewLowerCaseCombo("ComboBox2", "no pids", GroupBox9);

    Label2 = NewLabel("Label2", this);
    Label44 = NewLabel("Label44", this);
    Label38 = NewValueBox("Label38", this);
    Label43 = NewLabel("Label43", this);
    Label45 = NewValueBox("Label45", this);
    Label18 = NewLabel("Label18", this);
    Label17 = NewValueBox("Label17", this);

    CGauge3 = new Gauge("CGauge3", Gauge::Kind::Bar, this);
    CGauge7 = new Gauge("CGauge7", Gauge::Kind::Pie, this);
    Label10 = NewLabel("Label10", this);
    SpeedButton4 = new StartButton("SpeedButton4", window.State().StopRequested, this);

    // Layout: title; output file; tree beside the target values; the run's
    // figures; gauges and start.
    auto* output = new QHBoxLayout;
    output->addWidget(Label6);
    output->addWidget(StaticText8, 1);
    output->addWidget(SpeedButton20);

    auto* content = new QVBoxLayout;
    content->addWidget(Label24);
    content->addWidget(TreeView3, 1);
    content->addWidget(PrepareNote);

    auto* pids = new QGridLayout(GroupBox9);
    pids->addWidget(Label11, 0, 0);
    pids->addWidget(Edit2, 0, 1);
    pids->addWidget(Label12, 0, 2);
    pids->addWidget(Edit3, 0, 3);
    pids->addWidget(Label13, 1, 0);
    pids->addWidget(ComboBox1, 1, 1);
    pids->addWidget(Label42, 1, 2);
    pids->addWidget(ComboBox2, 1, 3);
    pids->setColumnStretch(1, 1);
    pids->setColumnStretch(3, 1);

    auto* targets = new QGridLayout(GroupBox8);
    targets->addWidget(Label20, 0, 0);
    targets->addWidget(Edit1, 0, 1);
    targets->addWidget(Label22, 1, 0);
    targets->addWidget(Edit7, 1, 1);
    targets->addWidget(Label14, 2, 0);
    targets->addWidget(Edit5, 2, 1);
    targets->addWidget(Label15, 3, 0);
    targets->addWidget(Edit6, 3, 1);
    targets->addWidget(GroupBox9, 4, 0, 1, 2);
    targets->setRowStretch(5, 1);
    targets->setColumnStretch(1, 1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(content, 1);
    middle->addWidget(GroupBox8, 1);

    auto* rates = new QHBoxLayout;
    rates->addWidget(Label2);
    rates->addSpacing(8);
    for (auto [label, value] : {std::pair<QLabel*, ValueBox*>{Label44, Label38}, {Label43, Label45}, {Label18, Label17}}) {
        rates->addWidget(label);
        rates->addWidget(value, 1);
        rates->addSpacing(8);
    }

    auto* body = new QVBoxLayout;
    body->addLayout(output);
    body->addLayout(middle, 1);
    body->addLayout(rates);
    body->addWidget(NewRunRow(CGauge3, CGauge7, Label10, SpeedButton4, this));

    LayOutPanel(this, NewTitleBar(Label23, SpeedButton9, this), body);

    figures_ = std::make_unique<PrepareFigures>();
    figure_timer_ = new QTimer(this);
    figure_timer_->setInterval(100);
    connect(figure_timer_, &QTimer::timeout, this, &PreparePanel::ShowFigures);

    // Commands.
    connect(window.Menu().SimpleprogramMPEG2TS1, &QAction::triggered, this, &PreparePanel::SimpleprogramMPEG2TS1Click);
    connect(SpeedButton4, &StartButton::StartRequested, this, &PreparePanel::SpeedButton4Click);
    connect(SpeedButton20, &QToolButton::clicked, this, &PreparePanel::SpeedButton20Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &PreparePanel::SpeedButton9Click);
    connect(TreeView3, &QTreeWidget::itemClicked, this, &PreparePanel::TreeView3Click);
    connect(TreeView3, &QTreeWidget::itemSelectionChanged, this, &PreparePanel::TreeView3GetSelectedIndex);
    ConnectEdits();
    window.Launcher().SetEnding(AnalysisMode::ModePrepare,
                                [this](const AnalysisResult& result) { OnAnalysisEnded(result); });
    connect(&window, &TTorvaneService::LanguageChanged, this, &PreparePanel::ShowNote);
}

PreparePanel::~PreparePanel() = default;

}  // namespace tscard::app
