#pragma once
// The progress gauges of the runs (CGauge1 … CGauge10): a bar that fills up
// to its maximum, or a pie that turns once per maximum steps. Gauges show a
// worker's own position, so steps that arrived merged are never lost.

#include <QWidget>

#include <cstdint>

namespace tscard::app {

class Gauge final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Bar, Pie };

    Gauge(const QString& name, Kind kind, QWidget* parent);

    Kind GaugeKind() const { return kind_; }
    std::uint64_t Maximum() const { return maximum_; }
    std::uint64_t Progress() const { return progress_; }

    void SetMaximum(std::uint64_t maximum);
    // A bar stops at its maximum; a pie starts its next turn there.
    void SetProgress(std::uint64_t progress);
    // Shows a worker standing at `position` of `maximum`: the bar takes the
    // maximum (when known) and the position; the pie the position.
    void ShowPosition(std::uint64_t position, std::uint64_t maximum);
    // One step on (a run that reports no position).
    void Step() { SetProgress(progress_ + 1); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
    std::uint64_t maximum_ = 100;
    std::uint64_t progress_ = 0;
};

}  // namespace tscard::app
