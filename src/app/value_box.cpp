#include "app/value_box.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace tscard::app {

namespace {
constexpr int kPadding = 4;
}

ValueBox::ValueBox(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize ValueBox::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 24, fontMetrics().height() + 2 * frameWidth() + 6};
}

QSize ValueBox::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 6, fontMetrics().height() + 2 * frameWidth() + 6};
}

QString ValueBox::Shown() const {
    const int room = contentsRect().width() - 2 * kPadding;
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, room);
}

bool ValueBox::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (Shown() != text())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ValueBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(kPadding, 0, -kPadding, 0);
    style()->drawItemText(&painter, room, Qt::AlignVCenter | Qt::AlignLeft, palette(), isEnabled(), Shown(),
                          foregroundRole());
}

}  // namespace tscard::app
