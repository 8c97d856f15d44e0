#pragma once
// The start buttons of the runs (SpeedButton1 write, SpeedButton3 split,
// SpeedButton4 prepare, SpeedButton24 read). The state is the button's Tag
// and shows as its glyph:
//
//   Unavailable  Tag 3  orange no-entry sign  a click does nothing
//   Ready        Tag 0  green arrow           a click asks to start (StartRequested)
//   Running      Tag 1  red stop sign         a click raises the stop flag, shows the
//                                             no-entry sign and asks to stop (StopRequested)
//
// The panel that owns the button decides what a start does; the run's
// completion puts the button back to Unavailable.

#include <QToolButton>

#include "app/images.h"

namespace tscard {
class StopFlag;
}

namespace tscard::app {

enum class StartState { Ready = 0, Running = 1, Unavailable = 3 };

class StartButton final : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag)

public:
    StartButton(const QString& name, StopFlag& stop, QWidget* parent);

    StartState State() const { return state_; }
    int Tag() const { return static_cast<int>(state_); }
    // The glyph shown now.
    Glyph Shown() const { return glyph_; }

    void SetState(StartState state);
    // Running, with the stop asked for: the no-entry sign, Tag stays 1.
    void ShowStopRequested();

signals:
    void StartRequested();
    void StopRequested();

private:
    void OnClicked();
    void ShowGlyph(Glyph glyph);

    StopFlag& stop_;
    StartState state_ = StartState::Unavailable;
    Glyph glyph_ = Glyph::NoEntry;
};

}  // namespace tscard::app
