#include "app/start_button.h"

#include "platform/stop_flag.h"

namespace tscard::app {

StartButton::StartButton(const QString& name, StopFlag& stop, QWidget* parent) : QToolButton(parent), stop_(stop) {
    setObjectName(name);
    setAutoRaise(true);
    setIconSize(QSize(28, 28));
    SetState(StartState::Unavailable);
    connect(this, &QToolButton::clicked, this, &StartButton::OnClicked);
}

void StartButton::SetState(StartState state) {
    state_ = state;
    switch (state) {
        case StartState::Ready: ShowGlyph(Glyph::GreenArrow); break;
        case StartState::Running: ShowGlyph(Glyph::StopSign); break;
        case StartState::Unavailable: ShowGlyph(Glyph::NoEntry); break;
    }
}

void StartButton::ShowStopRequested() {
    state_ = StartState::Running;
    ShowGlyph(Glyph::NoEntry);
}

void StartButton::ShowGlyph(Glyph glyph) {
    glyph_ = glyph;
    setIcon(GlyphIcon(glyph));
}

void StartButton::OnClicked() {
    switch (state_) {
        case StartState::Unavailable: return;
        case StartState::Ready: emit StartRequested(); return;
        case StartState::Running:
            stop_.Request();
            ShowStopRequested();
            emit StopRequested();
            return;
    }
}

}  // namespace tscard::app
