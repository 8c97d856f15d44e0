#include "app/splice_panel.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/gauge.h"
#include "app/panel_parts.h"
#include "app/torvane_service.h"
#include "app/value_box.h"

namespace tscard::app {

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
    for (QWidget* control : {static_cast<QWidget*>(Button3), static_cast<QWidget*>(SpeedButton5),
                             static_cast<QWidget*>(SpeedButton6), static_cast<QWidget*>(SpeedButton7),
                             static_cast<QWidget*>(SpeedButton8)})
        control->setEnabled(false);

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
}

}  // namespace tscard::app
