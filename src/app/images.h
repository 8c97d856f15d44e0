#pragma once
// Every picture the window shows, drawn here with QPainter: the image list
// of the menu and the busy indicator, the start-button glyphs and the small
// glyphs of the panels' buttons. Drawn on a 16 × 16 grid and scaled, so they
// stay sharp at any size.

#include <QIcon>
#include <QPixmap>

class QPainter;
class QRectF;

namespace tscard::app {

// ImageList1: 0 card, 1 Russian flag, 2 British flag, 3 refresh arrows,
// 4 to 11 the eight clock faces of the busy indicator.
enum ListImage : int {
    kCardImage = 0,
    kRussianFlagImage = 1,
    kBritishFlagImage = 2,
    kRefreshImage = 3,
    kFirstClockFace = 4,
    kLastClockFace = 11,
};
constexpr int kListImageCount = 12;

enum class Glyph {
    GreenArrow,  // a start button, ready
    StopSign,    // a start button, running
    NoEntry,     // a start button with nothing to start
    Close,       // a panel's close button (drawn light, for the title bars)
    Browse,      // choose a file or folder
    Scissors,    // remove from a list
    ArrowDown,
    ArrowUp,
    Broom,       // clear a list
    AppIcon,     // the program's icon
};

void PaintListImage(QPainter& painter, const QRectF& rect, int index);
void PaintGlyph(QPainter& painter, const QRectF& rect, Glyph glyph);

// size is in device-independent pixels; the pixmap follows the screen's
// pixel ratio.
QPixmap ListPixmap(int index, int size = 16);
QPixmap GlyphPixmap(Glyph glyph, int size = 16);
QIcon ListIcon(int index);
QIcon GlyphIcon(Glyph glyph);

}  // namespace tscard::app
