#include "app/card_panel.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/read_panel.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "app/write_panel.h"

namespace tscard::app {

CardPanel::CardPanel(TTorvaneService& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName("FormatWindow");

    Label36 = NewLabel("Label36", this);
    SpeedButton14 = NewGlyphButton("SpeedButton14", Glyph::Close, this);
    Label3 = NewLabel("Label3", this);
    StaticText2 = NewValueBox("StaticText2", this);
    Label4 = NewLabel("Label4", this);
    StaticText3 = NewValueBox("StaticText3", this);
    Label5 = NewLabel("Label5", this);
    StaticText4 = NewValueBox("StaticText4", this);
    Label37 = NewLabel("Label37", this);
    TreeView1 = NewTree("TreeView1", false, this);
    // Card paths can be long: their start and their file name stay in view.
    TreeView1->setTextElideMode(Qt::ElideMiddle);

    RadioButton1 = NewRadioButton("RadioButton1", this);
    RadioButton2 = NewRadioButton("RadioButton2", this);
    RadioButton1->setChecked(true);
    auto* kind = new QButtonGroup(this);
    kind->addButton(RadioButton1);
    kind->addButton(RadioButton2);
    SpeedButton13 = NewTextButton("SpeedButton13", this);
    SpeedButton19 = NewTextButton("SpeedButton19", this);
    SpeedButton23 = NewTextButton("SpeedButton23", this);
    SpeedButton22 = NewTextButton("SpeedButton22", this);
    SpeedButton21 = NewTextButton("SpeedButton21", this);
    SpeedButton23->setIcon(ListIcon(kCardImage));
    // With no card listed there is nothing to clear, write or read; "Format"
    // answers for itself.
    for (QAbstractButton* command : {SpeedButton19, SpeedButton23, SpeedButton22})
        command->setEnabled(false);
    CGauge2 = new Gauge("CGauge2", Gauge::Kind::Bar, this);
    QSizePolicy keep = CGauge2->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    CGauge2->setSizePolicy(keep);
    CGauge2->hide();

    GroupBox1 = NewGroupBox("GroupBox1", this);
    RadioButton5 = NewRadioButton("RadioButton5", GroupBox1);
    RadioButton6 = NewRadioButton("RadioButton6", GroupBox1);
    RadioButton5->setChecked(true);
    auto* packets = new QVBoxLayout(GroupBox1);
    packets->addWidget(RadioButton5);
    packets->addWidget(RadioButton6);
    GroupBox1->hide();

    // Layout: title; content on the left; figures, format kind and the
    // commands on the right.
    auto* figures = new QGridLayout;
    figures->addWidget(Label3, 0, 0);
    figures->addWidget(StaticText2, 0, 1);
    figures->addWidget(Label4, 1, 0);
    figures->addWidget(StaticText3, 1, 1);
    figures->addWidget(Label5, 2, 0);
    figures->addWidget(StaticText4, 2, 1);
    figures->setColumnStretch(1, 1);

    auto* commands = new QGridLayout;
    commands->addWidget(SpeedButton13, 0, 0);
    commands->addWidget(SpeedButton19, 0, 1);
    commands->addWidget(SpeedButton23, 1, 0);
    commands->addWidget(SpeedButton22, 1, 1);

    auto* close = new QHBoxLayout;
    close->addStretch(1);
    close->addWidget(SpeedButton21);

    auto* side = new QVBoxLayout;
    side->addLayout(figures);
    side->addSpacing(6);
    side->addWidget(RadioButton1);
    side->addWidget(RadioButton2);
    side->addSpacing(6);
    side->addLayout(commands);
    side->addWidget(CGauge2);
    side->addWidget(GroupBox1);
    side->addStretch(1);
    side->addLayout(close);

    auto* middle = new QGridLayout;
    middle->addWidget(Label37, 0, 0);
    middle->addWidget(TreeView1, 1, 0);
    middle->addLayout(side, 1, 1);
    middle->setRowStretch(1, 1);
    middle->setColumnStretch(0, 1);
    middle->setColumnStretch(1, 1);
    auto* body = new QVBoxLayout;
    body->addLayout(middle);

    LayOutPanel(this, NewTitleBar(Label36, SpeedButton14, this), body);

    fill_timer_ = new QTimer(this);
    fill_timer_->setInterval(100);
    connect(fill_timer_, &QTimer::timeout, this, &CardPanel::ShowFillProgress);

    // Picking an item is a selection; a text the program sets is not.
    connect(window.Main()->ComboBoxEx1, &QComboBox::activated, this, &CardPanel::ComboBoxEx1Click);
    connect(window.Menu().SDcardmanadger1, &QAction::triggered, this, &CardPanel::SDcardmanadger1Click);
    connect(SpeedButton14, &QToolButton::clicked, this, &CardPanel::SpeedButton21Click);
    connect(SpeedButton21, &QAbstractButton::clicked, this, &CardPanel::SpeedButton21Click);
    connect(SpeedButton13, &QAbstractButton::clicked, this, &CardPanel::SpeedButton13Click);
    connect(SpeedButton19, &QAbstractButton::clicked, this, &CardPanel::SpeedButton19Click);
    connect(SpeedButton22, &QAbstractButton::clicked, this, [this] { window_.Read()->SpeedButton22Click(); });
    connect(SpeedButton23, &QAbstractButton::clicked, this, [this] { window_.Write()->SpeedButton23Click(); });
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &CardPanel::TreeView1Click);
}

}  // namespace tscard::app
