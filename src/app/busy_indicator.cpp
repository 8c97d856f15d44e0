#include "app/busy_indicator.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include "app/images.h"

namespace tscard::app {

namespace {
constexpr int kTickMs = 1000;
constexpr int kClockSize = 32;
}  // namespace

BusyIndicator::BusyIndicator(QWidget* home, QWidget* main, const std::uint8_t& stream_panel_open, QObject* parent)
    : QObject(parent), home_(home), main_(main), stream_panel_open_(stream_panel_open), next_face_(kFirstClockFace) {
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(kTickMs);
    connect(Timer2, &QTimer::timeout, this, &BusyIndicator::Timer2Timer);

    Panel2 = new QFrame(home);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setLineWidth(2);
    Panel2->setAutoFillBackground(true);
    Image4 = new QLabel(Panel2);
    Image4->setObjectName("Image4");
    Image4->setFixedSize(kClockSize, kClockSize);
    Label48 = new QLabel("Подготовка файла к записи на носитель", Panel2);
    Label48->setObjectName("Label48");
    auto* row = new QHBoxLayout(Panel2);
    row->setContentsMargins(14, 10, 14, 10);
    row->setSpacing(10);
    row->addWidget(Image4);
    row->addWidget(Label48);
    Panel2->adjustSize();
    Panel2->hide();
}

void BusyIndicator::Start() {
    Tag = 0;
    Timer2->start(1);
}

void BusyIndicator::Stop() {
    Tag = 1;
    Timer2->stop();
    Panel2->hide();
    if (Panel2->parentWidget() != home_) {
        Panel2->setParent(home_);
        Panel2->setGeometry(saved_rect_);
    }
}

void BusyIndicator::Timer2Timer() {
    Timer2->stop();
    Timer2->setInterval(kTickMs);
    Image4->setPixmap(ListPixmap(next_face_, kClockSize));
    shown_face_ = next_face_;
    if (Panel2->isHidden()) {
        Place();
        Panel2->show();
        Panel2->raise();
    }
    next_face_ = next_face_ == kLastClockFace ? kFirstClockFace : next_face_ + 1;
    if (Tag == 0) Timer2->start();
}

void BusyIndicator::Place() {
    Panel2->adjustSize();
    QWidget* host = home_;
    if (stream_panel_open_ != 0) {
        if (Panel2->parentWidget() == home_) saved_rect_ = Panel2->geometry();
        host = main_;
    }
    if (Panel2->parentWidget() != host) Panel2->setParent(host);
    Panel2->move((host->width() - Panel2->width()) / 2, (host->height() - Panel2->height()) / 2);
}

}  // namespace tscard::app
