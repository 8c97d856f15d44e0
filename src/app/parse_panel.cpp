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

#include "app/gauge.h"
#include "app/panel_parts.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/value_box.h"

namespace tscard::app {

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
}

}  // namespace tscard::app
