// SetCommandsEnabled: the Open menu takes the state; the card manager item
// too, unless the card selector says there is no card.

#include <QAction>
#include <QComboBox>

#include "window_test.h"

namespace tscard::app::test {
namespace {

using Commands = WindowTest;

TEST_F(Commands, TheCardManagerKeepsItsStateWhileNoCardAnswers) {
    struct Row {
        bool Russian;
        bool NoCard;       // the selector shows the no-card text
        bool ManagerWas;   // "SD card manadger" enabled before
        bool Enable;       // the argument
        bool ManagerAfter;
    };
    const Row rows[] = {
        // A card is listed (or the prompt shows): both items follow.
        {false, false, true, false, false},
        {false, false, false, true, true},
        {true, false, true, false, false},
        {true, false, false, true, true},
        // No card: the card manager keeps what it had.
        {false, true, false, true, false},
        {false, true, true, false, true},
        {true, true, false, true, false},
        {true, true, true, false, true},
    };
    const MainMenu& menu = Window().Menu();
    auto* selector = Find<QComboBox>("ComboBoxEx1");
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "russian " << row.Russian << " no card " << row.NoCard << " was "
                                          << row.ManagerWas << " enable " << row.Enable);
        if ((Window().Language() == lang::Language::Russian) != row.Russian) Window().Language1Click();
        selector->clear();
        if (row.NoCard) {
            selector->setEditText(QString::fromStdString(State().NoCardText));
        } else {
            selector->addItem("sdb  1886 MB");
            selector->setCurrentIndex(0);
        }
        menu.SDcardmanadger1->setEnabled(row.ManagerWas);
        menu.Open1->setEnabled(!row.Enable);

        Window().SetCommandsEnabled(row.Enable);
        EXPECT_EQ(menu.Open1->isEnabled(), row.Enable);
        EXPECT_EQ(menu.SDcardmanadger1->isEnabled(), row.ManagerAfter);
    }
}

TEST_F(Commands, TheOtherLanguagesNoCardTextCountsAsACard) {
    // After a switch the selector is given the no-card text of the language
    // now shown; the English text under Russian captions is just a text.
    Window().Language1Click();
    auto* selector = Find<QComboBox>("ComboBoxEx1");
    selector->setEditText("No connect memory card");
    Window().Menu().SDcardmanadger1->setEnabled(true);
    Window().SetCommandsEnabled(false);
    EXPECT_FALSE(Window().Menu().SDcardmanadger1->isEnabled());
}

}  // namespace
}  // namespace tscard::app::test
