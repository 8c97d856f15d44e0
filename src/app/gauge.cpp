#include "app/gauge.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyleOptionFrame>

#include <algorithm>

namespace tscard::app {
namespace {

// A gauge as screen readers see it: a progress bar whose value is the
// percentage shown (a pie: of its current turn).
class AccessibleGauge final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleGauge(Gauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return QString("%1%").arg(Percent());
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return Percent(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    int Percent() const {
        const auto* gauge = static_cast<const Gauge*>(widget());
        return int(gauge->Progress() * 100 / std::max<std::uint64_t>(gauge->Maximum(), 1));
    }
};

QAccessibleInterface* GaugeAccessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(Gauge::staticMetaObject.className()) && object->isWidgetType())
        return new AccessibleGauge(static_cast<Gauge*>(object));
    return nullptr;
}

}  // namespace

Gauge::Gauge(const QString& name, Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    static const bool installed = [] {
        QAccessible::installFactory(GaugeAccessible);
        return true;
    }();
    (void)installed;
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
    const std::uint64_t before = progress_;
    progress_ = kind_ == Kind::Bar ? std::min(progress, maximum_) : progress % maximum_;
    update();
    if (progress_ != before && QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, int(progress_ * 100 / maximum_));
        QAccessible::updateAccessibility(&changed);
    }
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
