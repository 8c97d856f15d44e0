#include "charts/check_charts.h"

#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "lang/chart_texts.h"
#include "platform/hex_text.h"
#include "prepare/mux_rate.h"

namespace tscard::charts {
namespace {

// Limits and levels are dashed in the colour of what they bound.
const QColor kWholeColor(0x1F, 0x3B, 0x73);
const QColor kPidColors[] = {QColor(0x2A, 0x9D, 0x8F), QColor(0xE0, 0x8E, 0x1B), QColor(0x8E, 0x5E, 0xA2),
                             QColor(0x6B, 0x8E, 0x23), QColor(0xB5, 0x4A, 0x7A), QColor(0x4A, 0x7F, 0xB5)};
const QColor kCardColor(0xC0, 0x39, 0x2B);
const QColor kIntervalColor(0x1F, 0x77, 0xB4);
const QColor kAccuracyColor(0xD3, 0x54, 0x00);
const QColor kLateColor(0xC0, 0x39, 0x2B);
const QColor kEarlyColor(0xE0, 0x8E, 0x1B);

// The limits the PCR chart marks.
constexpr double kLimitMs = 40.0;
constexpr double kLimitNs = 500.0;

// Time axis ticks and value axis ticks.
constexpr int kTimeTicks = 11;
constexpr int kValueTicks = 7;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString PidText(std::uint16_t pid) { return Text(HexText(pid, 4)) + " (" + QString::number(pid) + ")"; }

QString SeriesLabel(const lang::ChartTexts& t, std::uint16_t pid, std::string_view kind = {}) {
    QString label = Text(t.Pid).arg(PidText(pid));
    if (!kind.empty()) label += ", " + Text(kind);
    return label;
}

// What the checked program's stream on the PID carries; empty for others.
std::string_view KindOf(const CheckResult& r, std::uint16_t pid) {
    for (const StreamTiming& timing : r.Timing)
        if (timing.Pid == pid) return timing.Kind;
    return {};
}

QPen LinePen(const QColor& color, qreal width = 1.6) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QPen LimitPen(const QColor& color) {
    QPen pen(color, 1.6, Qt::DashLine);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

std::unique_ptr<QChart> NewChart(const QString& title) {
    auto chart = std::make_unique<QChart>();
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setShowToolTips(true);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->setBackgroundRoundness(0);
    return chart;
}

QValueAxis* Axis(QChart& chart, const QString& title, Qt::Alignment side, const QColor& color = Qt::black) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat("%g");
    axis->setTickCount(side == Qt::AlignBottom ? kTimeTicks : kValueTicks);
    axis->setMinorTickCount(side == Qt::AlignBottom ? 1 : 0);
    if (color != Qt::black) {
        axis->setTitleBrush(color);
        axis->setLabelsColor(color);
    }
    chart.addAxis(axis, side);
    return axis;
}

QLineSeries* AddSeries(QChart& chart, const QString& name, const QString& object, const QList<QPointF>& points,
                       const QPen& pen, QValueAxis* x, QValueAxis* y) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setObjectName(object);
    series->setPen(pen);
    series->replace(points);
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

QList<QPointF> Points(const Series& s) {
    QList<QPointF> points;
    points.reserve(qsizetype(s.Points.size()));
    for (const SeriesPoint& p : s.Points) points.append(QPointF(p.Seconds, p.Value));
    return points;
}

// A 1-second window's rate holds for the whole window: drawn as a step
// from its start to its end (the end of the stream for the last one).
QList<QPointF> Steps(const Series& s, double end) {
    QList<QPointF> points;
    points.reserve(qsizetype(s.Points.size() * 2));
    for (const SeriesPoint& p : s.Points) {
        points.append(QPointF(p.Seconds, p.Value));
        points.append(QPointF(std::max(p.Seconds, std::min(p.Seconds + 1.0, end)), p.Value));
    }
    return points;
}

QList<QPointF> Level(double from, double to, double value) { return {QPointF(from, value), QPointF(to, value)}; }

struct Extent {
    double Low = 0.0;
    double High = 0.0;
    bool Any = false;
    void Add(double v) {
        Low = Any ? std::min(Low, v) : v;
        High = Any ? std::max(High, v) : v;
        Any = true;
    }
};

// The time axis runs from 0 (the first byte) to the end of what was checked.
double TimeEnd(const CheckResult& r) {
    double end = r.DurationSeconds;
    const auto reach = [&end](const Series& s) {
        if (!s.Points.empty()) end = std::max(end, s.Points.back().Seconds);
    };
    for (const Series& s : r.Charts.Bitrate) reach(s);
    reach(r.Charts.PcrIntervalMs);
    reach(r.Charts.PcrAccuracyNs);
    for (const Series& s : r.Charts.DecodingDelayMs) reach(s);
    return end > 0.0 ? end : 1.0;
}

QValueAxis* TimeAxis(QChart& chart, const lang::ChartTexts& t, double end) {
    QValueAxis* x = Axis(chart, Text(t.Time), Qt::AlignBottom);
    x->setRange(0.0, end);
    x->applyNiceNumbers();
    return x;
}

void SetRange(QValueAxis* axis, double low, double high) {
    if (high <= low) high = low + 1.0;
    axis->setRange(low, high);
    axis->applyNiceNumbers();
}

// The second of a pair of series (the lower limit) shares the first's legend entry.
void HideMarker(QChart& chart, QLineSeries* series) {
    for (QLegendMarker* marker : chart.legend()->markers(series)) marker->setVisible(false);
}

void MarkEmpty(QChart& chart, const lang::ChartTexts& t, bool empty) {
    if (empty) chart.setTitle(chart.title() + " (" + Text(t.NoData) + ")");
}

// The accuracy's unit: ns while the values are near the limits, else the
// one that keeps the axis labels short.
struct Unit {
    double Ns;  // nanoseconds in one
    std::string_view Name;
};
Unit AccuracyUnit(const lang::ChartTexts& t, double largest_ns) {
    if (largest_ns <= 5e3) return {1.0, t.Nanoseconds};
    if (largest_ns <= 5e6) return {1e3, t.Microseconds};
    return {1e6, t.Milliseconds};
}

}  // namespace

std::unique_ptr<QChart> BitrateChart(const CheckResult& r, lang::Language language) {
    const lang::ChartTexts& t = lang::ChartTextsIn(language);
    auto chart = NewChart(Text(t.BitrateTitle));
    const double end = TimeEnd(r);
    QValueAxis* x = TimeAxis(*chart, t, end);
    QValueAxis* y = Axis(*chart, Text(t.BitrateAxis), Qt::AlignLeft);
    const double card = kMuxBitRate / 1e6;
    Extent values;
    values.Add(0.0);
    values.Add(card);
    std::size_t colour = 0;
    bool empty = true;
    for (const Series& s : r.Charts.Bitrate) {
        for (const SeriesPoint& p : s.Points) values.Add(p.Value);
        empty = empty && s.Points.empty();
        if (s.Whole) {
            AddSeries(*chart, Text(t.WholeStream), "bitrate-whole", Steps(s, end), LinePen(kWholeColor, 2.4), x, y);
        } else {
            AddSeries(*chart, SeriesLabel(t, s.Pid, KindOf(r, s.Pid)), "bitrate-pid-" + QString::number(s.Pid), Steps(s, end),
                      LinePen(kPidColors[colour++ % std::size(kPidColors)]), x, y);
        }
    }
    AddSeries(*chart, Text(t.CardRate).arg(QString::number(card, 'f', 3)), "card-rate", Level(0.0, end, card),
              LimitPen(kCardColor), x, y);
    SetRange(y, 0.0, values.High * 1.08);
    MarkEmpty(*chart, t, empty);
    return chart;
}


std::unique_ptr<QChart> PcrChart(const CheckResult& r, lang::Language language) {
    const lang::ChartTexts& t = lang::ChartTextsIn(language);
    const Series& intervals = r.Charts.PcrIntervalMs;
    const Series& accuracy = r.Charts.PcrAccuracyNs;
    const QString pid = r.ReferencePid ? PidText(*r.ReferencePid) : QString("-");
    auto chart = NewChart(Text(t.PcrTitle).arg(pid));
    const double end = TimeEnd(r);
    double largest = kLimitNs;
    for (const SeriesPoint& p : accuracy.Points) largest = std::max(largest, std::fabs(p.Value));
    const Unit unit = AccuracyUnit(t, largest);
    const QString accuracy_name = Text(t.PcrAccuracy).arg(Text(unit.Name));

    QValueAxis* x = TimeAxis(*chart, t, end);
    QValueAxis* left = Axis(*chart, Text(t.PcrInterval), Qt::AlignLeft, kIntervalColor);
    QValueAxis* right = Axis(*chart, accuracy_name, Qt::AlignRight, kAccuracyColor);
    QList<QPointF> deviations = Points(accuracy);
    for (QPointF& p : deviations) p.setY(p.y() / unit.Ns);
    const double limit = kLimitNs / unit.Ns;

    AddSeries(*chart, Text(t.PcrInterval), "pcr-interval", Points(intervals), LinePen(kIntervalColor), x, left);
    AddSeries(*chart, Text(t.IntervalLimit), "pcr-interval-limit", Level(0.0, end, kLimitMs), LimitPen(kIntervalColor),
              x, left);
    AddSeries(*chart, accuracy_name, "pcr-accuracy", deviations, LinePen(kAccuracyColor, 1.2), x, right);
    AddSeries(*chart, Text(t.AccuracyLimit), "pcr-accuracy-limit", Level(0.0, end, limit), LimitPen(kAccuracyColor),
              x, right);
    QLineSeries* lower = AddSeries(*chart, Text(t.AccuracyLimit), "pcr-accuracy-limit", Level(0.0, end, -limit),
                                   LimitPen(kAccuracyColor), x, right);
    HideMarker(*chart, lower);

    double longest = kLimitMs;
    for (const SeriesPoint& p : intervals.Points) longest = std::max(longest, p.Value);
    SetRange(left, 0.0, longest * 1.15);
    SetRange(right, -largest / unit.Ns * 1.15, largest / unit.Ns * 1.15);
    MarkEmpty(*chart, t, intervals.Points.empty() && accuracy.Points.empty());
    return chart;
}

std::unique_ptr<QChart> DelayChart(const CheckResult& r, lang::Language language) {
    const lang::ChartTexts& t = lang::ChartTextsIn(language);
    auto chart = NewChart(Text(t.DelayTitle));
    const double end = TimeEnd(r);
    QValueAxis* x = TimeAxis(*chart, t, end);
    QValueAxis* y = Axis(*chart, Text(t.DelayAxis), Qt::AlignLeft);
    Extent values;
    values.Add(0.0);
    values.Add(1000.0);
    std::size_t colour = 0;
    for (const Series& s : r.Charts.DecodingDelayMs) {
        for (const SeriesPoint& p : s.Points) values.Add(p.Value);
        AddSeries(*chart, SeriesLabel(t, s.Pid, KindOf(r, s.Pid)), "delay-pid-" + QString::number(s.Pid), Points(s),
                  LinePen(kPidColors[colour++ % std::size(kPidColors)]), x, y);
    }
    AddSeries(*chart, Text(t.Late), "delay-late", Level(0.0, end, 0.0), LimitPen(kLateColor), x, y);
    AddSeries(*chart, Text(t.Early), "delay-early", Level(0.0, end, 1000.0), LimitPen(kEarlyColor), x, y);
    const double pad = (values.High - values.Low) * 0.06;
    SetRange(y, values.Low - pad, values.High + pad);
    MarkEmpty(*chart, t, r.Charts.DecodingDelayMs.empty());
    return chart;
}

}  // namespace tscard::charts
