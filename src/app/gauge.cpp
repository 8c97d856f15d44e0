#include "app/gauge.h"

#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

namespace tscard::app {

Gauge::Gauge(const QString& name, Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setObjectName(name);
    if (kind == Kind::Bar)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    else
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Gauge::SetMaximum(std::uint64_t maximum) {
    maximum_ = std::max<std::uint64_t>(maximum, 1);
    SetProgress(progress_);
}

void Gauge::SetProgress(std::uint64_t progress) {
    progress_ = kind_ == Kind::Bar ? std::min(progress, maximum_) : progress % maximum_;
    update();
}

void Gauge::ShowPosition(std::uint64_t position, std::uint64_t maximum) {
    if (kind_ == Kind::Bar && maximum > 0) maximum_ = maximum;
    SetProgress(position);
}

QSize Gauge::sizeHint() const {
    const int h = fontMetrics().height() + 6;
    return kind_ == Kind::Bar ? QSize(200, h) : QSize(2 * h, 2 * h);
}

QSize Gauge::minimumSizeHint() const {
    const int h = fontMetrics().height() + 6;
    return kind_ == Kind::Bar ? QSize(60, h) : QSize(2 * h, 2 * h);
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double share = static_cast<double>(progress_) / static_cast<double>(maximum_);
    const QColor fill = palette().color(QPalette::Highlight);
    if (kind_ == Kind::Bar) {
        const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(palette().color(QPalette::Base));
        p.drawRect(frame);
        const QRectF done(frame.left() + 1, frame.top() + 1, (frame.width() - 2) * share, frame.height() - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRect(done);
        const QString percent = QString::number(static_cast<int>(share * 100)) + '%';
        p.setPen(palette().color(QPalette::Text));
        p.drawText(frame, Qt::AlignCenter, percent);
        p.save();
        p.setClipRect(done);
        p.setPen(palette().color(QPalette::HighlightedText));
        p.drawText(frame, Qt::AlignCenter, percent);
        p.restore();
        return;
    }
    const int side = std::min(width(), height()) - 2;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawEllipse(circle);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPie(circle.adjusted(1, 1, -1, -1), 90 * 16, -static_cast<int>(share * 360 * 16));
}

}  // namespace tscard::app
