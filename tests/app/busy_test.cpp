// The busy indicator: clock faces 4 to 11 and round again, one a second,
// on the card panel or in the middle of the main panel.

#include <QFrame>
#include <QLabel>
#include <QTimer>

#include "app/busy_indicator.h"
#include "app/images.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using BusyIndicatorTest = WindowTest;

TEST_F(BusyIndicatorTest, ShowsTheEightClockFacesInTurnOnceASecond) {
    BusyIndicator& busy = Window().Busy();
    busy.Start();
    EXPECT_TRUE(busy.Timer2->isActive());
    EXPECT_EQ(busy.Timer2->interval(), 1);  // the first face at once
    std::vector<int> faces;
    for (int tick = 0; tick < 10; ++tick) {
        busy.Timer2Timer();
        faces.push_back(busy.ShownFace());
        EXPECT_EQ(busy.Image4->pixmap().toImage(), ListPixmap(busy.ShownFace(), 32).toImage());
        EXPECT_TRUE(busy.Timer2->isActive());
        EXPECT_EQ(busy.Timer2->interval(), 1000);
    }
    EXPECT_EQ(faces, (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 4, 5}));
    // The eight faces are eight different pictures.
    for (int face = kFirstClockFace; face < kLastClockFace; ++face)
        EXPECT_NE(ListPixmap(face, 16).toImage(), ListPixmap(face + 1, 16).toImage()) << face;

    // A non-zero Tag ends the animation at its next tick.
    busy.Tag = 1;
    busy.Timer2Timer();
    EXPECT_FALSE(busy.Timer2->isActive());
}

TEST_F(BusyIndicatorTest, ShowsOnTheCardPanelOrOverTheOpenStreamPanel) {
    BusyIndicator& busy = Window().Busy();
    QWidget* card_panel = Find<QWidget>("FormatWindow");
    QWidget* main_panel = Find<QWidget>("MainPanel");
    busy.Start();
    busy.Timer2Timer();
    EXPECT_EQ(busy.Panel2->parentWidget(), card_panel);
    EXPECT_FALSE(busy.Panel2->isHidden());
    busy.Stop();
    EXPECT_TRUE(busy.Panel2->isHidden());
    EXPECT_FALSE(busy.Timer2->isActive());

    // With the prepare panel open, in the middle of the main panel, over it.
    State().StreamPanelOpen = 1;
    Window().BringToFront(Find<QWidget>("PreparePn"));
    busy.Start();
    busy.Timer2Timer();
    EXPECT_EQ(busy.Panel2->parentWidget(), main_panel);
    EXPECT_TRUE(busy.Panel2->isVisible());
    EXPECT_EQ(busy.Panel2->x(), (main_panel->width() - busy.Panel2->width()) / 2);
    EXPECT_EQ(busy.Panel2->y(), (main_panel->height() - busy.Panel2->height()) / 2);
    EXPECT_EQ(busy.Label48->text(), "Подготовка файла к записи на носитель");
    busy.Stop();
    EXPECT_EQ(busy.Panel2->parentWidget(), card_panel);
    EXPECT_TRUE(busy.Panel2->isHidden());
}

}  // namespace
}  // namespace tscard::app::test
