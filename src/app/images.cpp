#include "app/images.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <cmath>
#include <functional>

namespace tscard::app {
namespace {

// Everything is drawn on a 16 × 16 grid.
constexpr qreal kGrid = 16.0;

void ToGrid(QPainter& p, const QRectF& rect) {
    p.translate(rect.topLeft());
    p.scale(rect.width() / kGrid, rect.height() / kGrid);
    p.setRenderHint(QPainter::Antialiasing);
}

QPen Outline(const QColor& color, qreal width = 0.8) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void PaintCard(QPainter& p) {
    const QPolygonF body({{3, 1}, {10.5, 1}, {13, 3.5}, {13, 15}, {3, 15}});
    QLinearGradient fill(0, 1, 0, 15);
    fill.setColorAt(0, QColor(0x3b, 0x64, 0xa0));
    fill.setColorAt(1, QColor(0x1f, 0x3a, 0x66));
    p.setPen(Outline(QColor(0x14, 0x25, 0x44)));
    p.setBrush(fill);
    p.drawPolygon(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xc0, 0x4a));
    for (qreal x : {4.4, 6.2, 8.0, 9.8}) p.drawRect(QRectF(x, 2.2, 1.0, 2.6));
    p.setBrush(QColor(0xf4, 0xf6, 0xfa));
    p.drawRoundedRect(QRectF(4.6, 8.0, 6.8, 5.4), 0.6, 0.6);
}

void PaintRussianFlag(QPainter& p) {
    const QColor stripes[] = {Qt::white, QColor(0x00, 0x39, 0xa6), QColor(0xd5, 0x2b, 0x1e)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(stripes[i]);
        p.drawRect(QRectF(0.5, 3 + i * 10.0 / 3, 15, 10.0 / 3));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(QColor(0x70, 0x70, 0x70), 0.6));
    p.drawRect(QRectF(0.5, 3, 15, 10));
}

void PaintBritishFlag(QPainter& p) {
    const QRectF flag(0.5, 3, 15, 10);
    const QColor blue(0x01, 0x21, 0x69), red(0xc8, 0x10, 0x2e);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRect(flag);
    p.save();
    p.setClipRect(flag);
    const QLineF diagonals[] = {{flag.topLeft(), flag.bottomRight()}, {flag.bottomLeft(), flag.topRight()}};
    for (const QLineF& line : diagonals) {
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(line);
        p.setPen(QPen(red, 0.8, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(line);
    }
    const QPointF centre = flag.center();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(flag.left(), centre.y() - 1.7, flag.width(), 3.4));
    p.drawRect(QRectF(centre.x() - 1.7, flag.top(), 3.4, flag.height()));
    p.setBrush(red);
    p.drawRect(QRectF(flag.left(), centre.y() - 1.0, flag.width(), 2.0));
    p.drawRect(QRectF(centre.x() - 1.0, flag.top(), 2.0, flag.height()));
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(Outline(QColor(0x50, 0x50, 0x50), 0.6));
    p.drawRect(flag);
}

// An arrowhead at the end of an arc of the circle round (8, 8), pointing
// along the direction the arc runs (counter-clockwise on screen).
void PaintArcArrow(QPainter& p, qreal start_degrees, qreal span_degrees, qreal radius, const QColor& color) {
    const QRectF circle(8 - radius, 8 - radius, 2 * radius, 2 * radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 1.9, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(circle, qRound(start_degrees * 16), qRound(span_degrees * 16));
    const qreal end = qDegreesToRadians(start_degrees + span_degrees);
    const QPointF tip(8 + radius * std::cos(end), 8 - radius * std::sin(end));
    // Tangent of a counter-clockwise arc on screen (y grows downwards).
    const QPointF along(-std::sin(end), -std::cos(end));
    const QPointF across(std::cos(end), -std::sin(end));
    const QPolygonF head({tip + along * 2.6, tip + across * 2.2, tip - across * 2.2});
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void PaintRefresh(QPainter& p) {
    const QColor green(0x2f, 0x8f, 0x3a);
    PaintArcArrow(p, 20, 140, 5.6, green);
    PaintArcArrow(p, 200, 140, 5.6, green);
}

// Face 0 to 7: the hand stands at face × 45 degrees from twelve o'clock,
// the time gone by shaded.
void PaintClockFace(QPainter& p, int face) {
    const QPointF centre(8, 8);
    p.setPen(Outline(QColor(0x3a, 0x3a, 0x46), 1.1));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 6.9, 6.9);
    const qreal degrees = face * 45.0;
    if (face > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc9, 0xdc, 0xf5));
        p.drawPie(QRectF(1.6, 1.6, 12.8, 12.8), 90 * 16, -qRound(degrees * 16));
    }
    p.setPen(QPen(QColor(0x3a, 0x3a, 0x46), 0.7));
    for (int i = 0; i < 12; ++i) {
        const qreal a = qDegreesToRadians(i * 30.0);
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(centre + dir * 5.2, centre + dir * 6.2);
    }
    const qreal a = qDegreesToRadians(degrees);
    p.setPen(QPen(QColor(0x1f, 0x3a, 0x66), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::sin(a), -std::cos(a)) * 5.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0x10, 0x2e));
    p.drawEllipse(centre, 1.0, 1.0);
}

void PaintGreenArrow(QPainter& p) {
    const QPolygonF arrow({{1.5, 5.2}, {8, 5.2}, {8, 1.8}, {14.6, 8}, {8, 14.2}, {8, 10.8}, {1.5, 10.8}});
    QLinearGradient fill(0, 2, 0, 14);
    fill.setColorAt(0, QColor(0x5c, 0xd0, 0x5e));
    fill.setColorAt(1, QColor(0x1e, 0x8a, 0x2a));
    p.setPen(Outline(QColor(0x12, 0x5a, 0x1a)));
    p.setBrush(fill);
    p.drawPolygon(arrow);
}

void PaintStopSign(QPainter& p) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(22.5 + i * 45.0);
        octagon << QPointF(8 + 7.2 * std::cos(a), 8 + 7.2 * std::sin(a));
    }
    p.setPen(Outline(QColor(0x7a, 0x0a, 0x0a)));
    p.setBrush(QColor(0xd7, 0x1f, 0x1f));
    p.drawPolygon(octagon);
    QPolygonF rim;
    for (const QPointF& point : octagon) rim << QPointF(8, 8) + (point - QPointF(8, 8)) * 0.82;
    p.setPen(QPen(Qt::white, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(rim);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.4, 5.4, 5.2, 5.2));
}

void PaintNoEntry(QPainter& p) {
    p.setPen(Outline(QColor(0x9a, 0x52, 0x00)));
    p.setBrush(QColor(0xf5, 0x8f, 0x14));
    p.drawEllipse(QPointF(8, 8), 7.0, 7.0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3.2, 6.6, 9.6, 2.8), 0.5, 0.5);
}

void PaintClose(QPainter& p) {
    p.setPen(QPen(QColor(0xf2, 0xf4, 0xf8), 1.9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void PaintBrowse(QPainter& p) {
    QPainterPath folder;
    folder.moveTo(1.5, 3.5);
    folder.lineTo(6, 3.5);
    folder.lineTo(7.5, 5);
    folder.lineTo(14.5, 5);
    folder.lineTo(14.5, 13.5);
    folder.lineTo(1.5, 13.5);
    folder.closeSubpath();
    p.setPen(Outline(QColor(0x9c, 0x6f, 0x08)));
    p.setBrush(QColor(0xe9, 0xb8, 0x3a));
    p.drawPath(folder);
    QLinearGradient front(0, 7, 0, 13.5);
    front.setColorAt(0, QColor(0xfb, 0xdc, 0x7a));
    front.setColorAt(1, QColor(0xf0, 0xbf, 0x42));
    p.setBrush(front);
    p.drawPolygon(QPolygonF({{1.5, 13.5}, {3.2, 7}, {15.2, 7}, {14.5, 13.5}}));
}

void PaintScissors(QPainter& p) {
    p.setPen(QPen(QColor(0x55, 0x5b, 0x66), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.2, 10.2), QPointF(11.8, 1.6));
    p.drawLine(QPointF(9.8, 10.2), QPointF(4.2, 1.6));
    p.setPen(QPen(QColor(0xc8, 0x10, 0x2e), 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.9, 12.4), 2.2, 2.2);
    p.drawEllipse(QPointF(11.1, 12.4), 2.2, 2.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x33, 0x33, 0x33));
    p.drawEllipse(QPointF(8, 6.9), 0.7, 0.7);
}

void PaintArrow(QPainter& p, bool down) {
    QPolygonF arrow({{6, 1.5}, {10, 1.5}, {10, 8.5}, {13.5, 8.5}, {8, 14.5}, {2.5, 8.5}, {6, 8.5}});
    if (!down)
        for (QPointF& point : arrow) point.setY(16 - point.y());
    p.setPen(Outline(QColor(0x17, 0x3f, 0x78)));
    p.setBrush(QColor(0x3b, 0x7d, 0xd0));
    p.drawPolygon(arrow);
}

void PaintBroom(QPainter& p) {
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x2b), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13.5, 1.2), QPointF(8.4, 8.6));
    p.setPen(Outline(QColor(0x8c, 0x6a, 0x10)));
    p.setBrush(QColor(0xe6, 0xc2, 0x4c));
    const QPolygonF head({{5.8, 8.2}, {10.6, 10.0}, {9.6, 15.0}, {1.8, 12.2}});
    p.drawPolygon(head);
    p.setPen(QPen(QColor(0x8c, 0x6a, 0x10), 0.6));
    for (qreal t : {0.25, 0.5, 0.75}) {
        const QPointF top = QPointF(5.8, 8.2) + (QPointF(10.6, 10.0) - QPointF(5.8, 8.2)) * t;
        const QPointF bottom = QPointF(1.8, 12.2) + (QPointF(9.6, 15.0) - QPointF(1.8, 12.2)) * t;
        p.drawLine(top, bottom);
    }
}

void PaintAppIcon(QPainter& p) {
    PaintCard(p);
    p.save();
    p.translate(6.5, 7.5);
    p.scale(0.56, 0.56);
    PaintGreenArrow(p);
    p.restore();
}

QPixmap Render(int size, const std::function<void(QPainter&, const QRectF&)>& paint) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(qRound(size * ratio), qRound(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(0, 0, size, size));
    return pixmap;
}

constexpr int kIconSizes[] = {16, 20, 24, 32, 48, 64};

}  // namespace

void PaintListImage(QPainter& painter, const QRectF& rect, int index) {
    painter.save();
    ToGrid(painter, rect);
    if (index == kCardImage)
        PaintCard(painter);
    else if (index == kRussianFlagImage)
        PaintRussianFlag(painter);
    else if (index == kBritishFlagImage)
        PaintBritishFlag(painter);
    else if (index == kRefreshImage)
        PaintRefresh(painter);
    else if (index >= kFirstClockFace && index <= kLastClockFace)
        PaintClockFace(painter, index - kFirstClockFace);
    painter.restore();
}

void PaintGlyph(QPainter& painter, const QRectF& rect, Glyph glyph) {
    painter.save();
    ToGrid(painter, rect);
    switch (glyph) {
        case Glyph::GreenArrow: PaintGreenArrow(painter); break;
        case Glyph::StopSign: PaintStopSign(painter); break;
        case Glyph::NoEntry: PaintNoEntry(painter); break;
        case Glyph::Close: PaintClose(painter); break;
        case Glyph::Browse: PaintBrowse(painter); break;
        case Glyph::Scissors: PaintScissors(painter); break;
        case Glyph::ArrowDown: PaintArrow(painter, true); break;
        case Glyph::ArrowUp: PaintArrow(painter, false); break;
        case Glyph::Broom: PaintBroom(painter); break;
        case Glyph::AppIcon: PaintAppIcon(painter); break;
    }
    painter.restore();
}

QPixmap ListPixmap(int index, int size) {
    return Render(size, [index](QPainter& p, const QRectF& r) { PaintListImage(p, r, index); });
}

QPixmap GlyphPixmap(Glyph glyph, int size) {
    return Render(size, [glyph](QPainter& p, const QRectF& r) { PaintGlyph(p, r, glyph); });
}

QIcon ListIcon(int index) {
    QIcon icon;
    for (int size : kIconSizes) icon.addPixmap(ListPixmap(index, size));
    return icon;
}

QIcon GlyphIcon(Glyph glyph) {
    QIcon icon;
    for (int size : kIconSizes) icon.addPixmap(GlyphPixmap(glyph, size));
    return icon;
}

}  // namespace tscard::app
