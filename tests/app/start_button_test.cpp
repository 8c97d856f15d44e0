// The start buttons' three states: Tag, glyph, and what a click does.

#include <QSignalSpy>
#include <QTest>

#include "app/images.h"
#include "app/start_button.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using StartButtons = WindowTest;

constexpr const char* kStartButtons[] = {"SpeedButton1", "SpeedButton3", "SpeedButton4", "SpeedButton24"};

// What the button shows, compared with the drawing itself.
bool Shows(StartButton* button, Glyph glyph) {
    return button->Shown() == glyph && button->icon().pixmap(32).toImage() == GlyphPixmap(glyph, 32).toImage();
}

TEST_F(StartButtons, AllAreUnavailableAtStart) {
    for (const char* name : kStartButtons) {
        auto* button = Find<StartButton>(name);
        EXPECT_EQ(button->property("Tag").toInt(), 3) << name;
        EXPECT_TRUE(Shows(button, Glyph::NoEntry)) << name;
        EXPECT_TRUE(button->isEnabled()) << name;
    }
}

TEST_F(StartButtons, EachStateHasItsTagAndGlyph) {
    struct Row {
        StartState State;
        int Tag;
        Glyph Shown;
    };
    const Row rows[] = {
        {StartState::Ready, 0, Glyph::GreenArrow},
        {StartState::Running, 1, Glyph::StopSign},
        {StartState::Unavailable, 3, Glyph::NoEntry},
    };
    for (const char* name : kStartButtons) {
        auto* button = Find<StartButton>(name);
        for (const Row& row : rows) {
            button->SetState(row.State);
            EXPECT_EQ(button->Tag(), row.Tag) << name;
            EXPECT_TRUE(Shows(button, row.Shown)) << name << " tag " << row.Tag;
        }
    }
    // The three glyphs differ from each other.
    EXPECT_NE(GlyphPixmap(Glyph::GreenArrow, 28).toImage(), GlyphPixmap(Glyph::StopSign, 28).toImage());
    EXPECT_NE(GlyphPixmap(Glyph::StopSign, 28).toImage(), GlyphPixmap(Glyph::NoEntry, 28).toImage());
}

TEST_F(StartButtons, AClickStartsWhenReadyStopsWhenRunningAndIsIgnoredWhenUnavailable) {
    auto* button = Find<StartButton>("SpeedButton4");
    QSignalSpy starts(button, &StartButton::StartRequested);
    QSignalSpy stops(button, &StartButton::StopRequested);

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(starts.count(), 0);
    EXPECT_EQ(stops.count(), 0);
    EXPECT_FALSE(State().StopRequested.IsSet());

    button->SetState(StartState::Ready);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(starts.count(), 1);
    EXPECT_FALSE(State().StopRequested.IsSet());

    button->SetState(StartState::Running);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(stops.count(), 1);
    EXPECT_TRUE(State().StopRequested.IsSet());
    // Stop asked for: the no-entry sign, still running until the run ends.
    EXPECT_EQ(button->Tag(), 1);
    EXPECT_TRUE(Shows(button, Glyph::NoEntry));
    EXPECT_EQ(starts.count(), 1);
}

}  // namespace
}  // namespace tscard::app::test
