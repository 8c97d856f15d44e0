#pragma once
// The busy indicator: while a file is prepared before it goes to the card,
// Panel2 shows Label48 and a clock (Image4) whose hand moves one eighth of a
// turn a second, faces 4 to 11 of the image list and round again. Timer2
// drives it; Timer2Timer is its tick.
//
// Panel2 lives on FormatWindow; when a stream panel is open it is shown in
// the middle of MainPanel instead, over whatever panel is in front.

#include <QObject>
#include <QRect>

#include <cstdint>

class QFrame;
class QLabel;
class QTimer;
class QWidget;

namespace tscard::app {

class BusyIndicator final : public QObject {
    Q_OBJECT

public:
    // home: FormatWindow; main: MainPanel; stream_panel_open: the window's flag.
    BusyIndicator(QWidget* home, QWidget* main, const std::uint8_t& stream_panel_open, QObject* parent);

    QTimer* Timer2;
    QFrame* Panel2;
    QLabel* Label48;
    QLabel* Image4;
    // Timer2's Tag: a value other than 0 ends the animation at its next tick.
    int Tag = 0;

    // The clock face the next tick shows (4 … 11).
    int NextFace() const { return next_face_; }
    // The face Image4 shows now; 0 before the first tick.
    int ShownFace() const { return shown_face_; }

    // Starts the animation: the first face shows at once.
    void Start();
    // Ends it: Panel2 goes back to FormatWindow, hidden, where it was.
    void Stop();
    void Timer2Timer();

private:
    void Place();

    QWidget* home_;
    QWidget* main_;
    const std::uint8_t& stream_panel_open_;
    int next_face_;
    int shown_face_ = 0;
    QRect saved_rect_;  // Panel2's bounds on FormatWindow
};

}  // namespace tscard::app
