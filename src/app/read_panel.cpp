#include "app/read_panel.h"

#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/gauge.h"
#include "app/panel_parts.h"
#include "app/start_button.h"
#include "app/torvane_service.h"

namespace tscard::app {

namespace {
// The pie turns once per this many blocks read.
constexpr std::uint64_t kReadPieSteps = 512;
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
}

}  // namespace tscard::app
