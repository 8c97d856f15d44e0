// What the window says in its own words: every question and message in the
// language of the flag (English exactly as before), the start screen with
// the streams opened last, the parse panel's hint, and every control found
// by a name of its own through the accessibility interface.

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QToolButton>

#include <filesystem>
#include <functional>

#include <gmock/gmock.h>

#include "app/card_panel.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/start_button.h"
#include "app/start_screen.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;
using ::testing::HasSubstr;

bool HasCyrillic(const std::string& text) {
    return QString::fromStdString(text).contains(QRegularExpression("[А-Яа-яЁё]"));
}

class WindowWords : public CardWindowTest {
protected:
    // A window afresh, in the language asked for.
    void Reopen(bool russian) {
        window_.reset();
        Open();
        if (russian) Window().Language1Click();
    }
    // A formatted card image, with a stream on it when asked, attached and selected.
    std::string AttachFormatted(bool with_stream = false) {
        const std::string card = MakeFormattedImage("card.img", 16 << 20);
        if (with_stream) {
            const auto r = tscard::test::RunCli({"card", "write", card, FixturePath("single_vbr.ts")});
            EXPECT_EQ(r.exit_code, 0) << r.err;
        }
        Attach(card);
        return card;
    }
};

// One path of the window that ends in a question or a message.
struct Spoken {
    const char* Path;
    std::function<void()> Do;
    // The question's text in English, byte for byte; a folder dialog's title.
    std::string English;
};

TEST_F(WindowWords, EveryQuestionAndMessageIsRussianInRussianAndAsBeforeInEnglish) {
    const std::string empty = (dir_ / "empty.ts").string();
    tscard::test::WriteFileBytes(empty, {});
    const std::string single = FixturePath("single_vbr.ts");
    const std::string folder = dir_.path().string();
    const std::vector<Spoken> paths = {
        {"clear a card",
         [&] {
             AttachFormatted(true);
             dialogs_.AnswerMessage(DialogButton::No);
             Window().Card()->SpeedButton19->click();
         },
         ""},
        {"format a card",
         [&] {
             AttachFormatted();
             dialogs_.AnswerMessage(DialogButton::No);
             Window().Card()->SpeedButton13->click();
         },
         ""},
        {"open a file that is no stream",
         [&] {
             dialogs_.AnswerFile(Kind::OpenFile, {empty});
             dialogs_.AnswerMessage(DialogButton::Ok);
             Window().Menu().SimpleprogramMPEG2TS1->trigger();
             ASSERT_TRUE(WaitUntilIdle());
         },
         empty + ": Unknow stream format (the file is empty)"},
        {"split without a folder",
         [&] {
             dialogs_.AnswerFile(Kind::OpenFile, {FixturePath("multi3.ts")});
             dialogs_.Cancel(Kind::Folder);
             Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
             ASSERT_TRUE(WaitUntilIdle());
             dialogs_.AnswerMessage(DialogButton::Ok);
             Window().Parse()->SpeedButton3->click();
         },
         "Select folder where streams will be saved"},
        {"choose the split's folder",
         [&] {
             dialogs_.AnswerFile(Kind::OpenFile, {FixturePath("multi3.ts")});
             dialogs_.Cancel(Kind::Folder);
             Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
             ASSERT_TRUE(WaitUntilIdle());
         },
         "Select folder for save parsed stream"},
        {"a PID out of range",
         [&] {
             dialogs_.AnswerFile(Kind::OpenFile, {single});
             dialogs_.Cancel(Kind::SaveFile);
             Window().Menu().SimpleprogramMPEG2TS1->trigger();
             ASSERT_TRUE(WaitUntilIdle());
             dialogs_.AnswerMessage(DialogButton::Ok);
             QLineEdit* edit = Window().Prepare()->Edit2;
             edit->setFocus();
             edit->selectAll();
             edit->insert("0x1fff");
             QTest::keyClick(edit, Qt::Key_Tab);
             QCoreApplication::processEvents();
         },
         "0x1fff- invalid value.Mast be in range 1 to 0x1FFE"},
        {"a stream given while work goes on",
         [&] {
             dialogs_.AnswerMessage(DialogButton::Ok);
             Window().SetCommandsEnabled(false);
             Window().OpenFromOutside(single);
             Window().SetCommandsEnabled(true);
         },
         single + ": not opened; the work under way must end first"},
        {"attach what is no card",
         [&] {
             dialogs_.AnswerFile(Kind::OpenFile, {folder});
             dialogs_.AnswerMessage(DialogButton::Ok);
             Window().Menu().Attachcardimage1->trigger();
         },
         folder + ": not a card: neither a block device nor a card image file"},
    };
    for (const Spoken& path : paths) {
        SCOPED_TRACE(path.Path);
        std::string said[2];
        std::string caption[2];
        for (const bool russian : {false, true}) {
            Reopen(russian);
            const std::size_t before = dialogs_.Questions().size();
            path.Do();
            // The question or message the path ends in; file dialogs on the way are not it.
            const ScriptedDialogs::Asked* found = nullptr;
            for (std::size_t i = before; i < dialogs_.Questions().size(); ++i)
                if (dialogs_.Questions()[i].What == Kind::Message || dialogs_.Questions()[i].What == Kind::Folder)
                    found = &dialogs_.Questions()[i];
            ASSERT_NE(found, nullptr);
            const ScriptedDialogs::Asked& asked = *found;
            said[russian] = asked.What == Kind::Folder ? asked.Folder.Title : asked.Message.Text;
            caption[russian] = asked.What == Kind::Folder ? std::string() : asked.Message.Caption;
        }
        if (!path.English.empty()) {
            EXPECT_EQ(said[0], path.English);
        }
        EXPECT_FALSE(HasCyrillic(said[0])) << said[0];
        EXPECT_TRUE(HasCyrillic(said[1])) << said[1];
        EXPECT_NE(said[1], said[0]);
        if (!caption[0].empty()) {
            EXPECT_TRUE(HasCyrillic(caption[1])) << caption[1];
        }
    }
    // The card questions name the card as the selector does, in both languages.
    const auto clear = std::find_if(dialogs_.Questions().begin(), dialogs_.Questions().end(),
                                    [](const ScriptedDialogs::Asked& asked) { return asked.What == Kind::Message; });
    ASSERT_NE(clear, dialogs_.Questions().end());
    EXPECT_THAT(clear->Message.Text,
                ::testing::MatchesRegex("Clear Card 0\\[[0-9]+ MB\\],Drive letter -.*card\\.img \\(DORO  v0\\.[01]\\)\\? "
                                        "Everything on the card will be lost\\."));
}

TEST_F(WindowWords, TheStartScreenSaysWhatToDoFirstAndOffersTheStreamsOpenedLast) {
    StartScreen& start = *Window().Main()->Start;
    EXPECT_TRUE(start.isVisible());
    EXPECT_EQ(start.StartHint->text(), "Open a stream to prepare, split or splice it; choose a card to manage it");
    for (QAbstractButton* button : start.RecentButtons) EXPECT_TRUE(button->isHidden());
    EXPECT_FALSE(start.RecentMenu->menuAction()->isEnabled());

    // Six streams opened one after the other: the last five are kept, newest first.
    std::vector<std::string> streams;
    for (int i = 1; i <= 6; ++i) {
        streams.push_back((dir_ / ("clip" + std::to_string(i) + ".ts")).string());
        std::filesystem::copy_file(FixturePath("single_vbr.ts"), streams.back());
        dialogs_.Cancel(Kind::SaveFile);
        Window().OpenFromOutside(streams.back());
        ASSERT_TRUE(WaitUntilIdle());
        ASSERT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Prepare()));
        Window().Prepare()->SpeedButton9->click();
    }
    ASSERT_EQ(Window().FrontPanel(), Window().Main());
    for (int i = 0; i < 5; ++i) {
        QAbstractButton* button = start.RecentButtons[std::size_t(i)];
        EXPECT_TRUE(button->isVisible());
        EXPECT_EQ(button->toolTip().toStdString(), streams[std::size_t(5 - i)]);
    }
    emit start.RecentMenu->aboutToShow();
    ASSERT_EQ(start.RecentMenu->actions().size(), 5);
    EXPECT_EQ(start.RecentMenu->actions().front()->text().toStdString(), streams.back());

    // Kept between runs: a new window lists them too. One opens as a dropped file does.
    Reopen(false);
    StartScreen& again = *Window().Main()->Start;
    EXPECT_EQ(again.RecentButtons[2]->toolTip().toStdString(), streams[3]);
    dialogs_.Cancel(Kind::SaveFile);
    again.RecentButtons[2]->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Prepare()));
    EXPECT_EQ(State().OpenDialogFile, streams[3]);
    // Opened again, it is the newest.
    Window().Prepare()->SpeedButton9->click();
    EXPECT_EQ(again.RecentButtons[0]->toolTip().toStdString(), streams[3]);

    // A stream of several programs opens for splitting; a stream gone is left out.
    const std::string multi = (dir_ / "multi.ts").string();
    std::filesystem::copy_file(FixturePath("multi3.ts"), multi);
    dialogs_.Cancel(Kind::Folder);
    Window().OpenFromOutside(multi);
    ASSERT_TRUE(WaitUntilIdle());
    Window().Parse()->SpeedButton11->click();
    std::filesystem::remove(streams[3]);
    Reopen(true);
    StartScreen& russian = *Window().Main()->Start;
    EXPECT_EQ(russian.StartHint->text(),
              "Откройте поток, чтобы подготовить, разделить или склеить его; выберите карту, чтобы работать с ней");
    EXPECT_EQ(russian.RecentButtons[0]->toolTip().toStdString(), multi);
    EXPECT_NE(russian.RecentButtons[1]->toolTip().toStdString(), streams[3]);
    dialogs_.Cancel(Kind::Folder);
    russian.RecentButtons[0]->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Parse()));
}

TEST_F(WindowWords, TheParsePanelSaysHowToPickSeveralProgramsBesideTheList) {
    Window().BringToFront(Window().Parse());
    QLabel* hint = Window().Parse()->ParseHint;
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), "Ctrl+click to pick several programs");
    // Above the picked programs, beside the tree.
    EXPECT_LT(hint->geometry().bottom(), Window().Parse()->ListBox1->geometry().top());
    Window().Language1Click();
    EXPECT_EQ(hint->text(), "Ctrl+щелчок — выбрать несколько программ");
}

// The controls of the panel in front, as a screen reader lists them.
void Controls(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& out) {
    static const QSet<QAccessible::Role> kControls = {
        QAccessible::PushButton, QAccessible::CheckBox,    QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::ProgressBar, QAccessible::List,      QAccessible::Tree,
        QAccessible::ButtonMenu, QAccessible::ButtonDropDown, QAccessible::SpinBox,  QAccessible::Slider};
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (child == nullptr || child->state().invisible) continue;
        if (kControls.contains(child->role())) {
            out.push_back(child);
            continue;  // a list's rows, a combo box's parts
        }
        Controls(child, out);
    }
}

TEST_F(WindowWords, EveryControlHasANameOfItsOwnInBothLanguages) {
    AttachFormatted();
    for (const bool russian : {false, true}) {
        if (russian) Window().Language1Click();
        for (const char* panel : {"MainPanel", "PreparePn", "ParseWindow", "WriteWindow", "FormatWindow", "Panel4",
                                  "Panel1"}) {
            SCOPED_TRACE(std::string(panel) + (russian ? " ru" : " en"));
            auto* widget = Find<QWidget>(panel);
            if (std::string(panel) == "Panel1") {
                Window().BringToFront(Window().Main());
                widget->show();
            } else {
                Window().BringToFront(widget);
            }
            for (const char* gauge : {"CGauge1", "CGauge2", "CGauge3", "CGauge4", "CGauge5", "CGauge6", "CGauge7",
                                      "CGauge8", "CGauge9", "CGauge10"})
                if (Find<QWidget>(gauge)->isAncestorOf(widget) || widget->isAncestorOf(Find<QWidget>(gauge)))
                    Find<QWidget>(gauge)->show();
            QCoreApplication::processEvents();
            std::vector<QAccessibleInterface*> controls;
            Controls(QAccessible::queryAccessibleInterface(&Window()), controls);
            EXPECT_GT(controls.size(), 3u);
            std::map<QString, QString> names;  // name -> object
            for (QAccessibleInterface* control : controls) {
                const QString object = control->object()->objectName();
                const QString name = control->text(QAccessible::Name);
                EXPECT_FALSE(name.trimmed().isEmpty()) << object.toStdString();
                const auto [at, fresh] = names.emplace(name, object);
                EXPECT_TRUE(fresh) << name.toStdString() << ": " << object.toStdString() << " and "
                                   << at->second.toStdString();
            }
            if (std::string(panel) == "Panel1") widget->hide();
        }
    }
    // The gauges tell their value; the menu is exposed under its caption.
    Gauge* gauge = Find<Gauge>("CGauge3");
    gauge->SetMaximum(200);
    gauge->SetProgress(50);
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(gauge);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->role(), QAccessible::ProgressBar);
    ASSERT_NE(shown->valueInterface(), nullptr);
    EXPECT_EQ(shown->valueInterface()->currentValue().toInt(), 25);
    EXPECT_EQ(shown->text(QAccessible::Name), "Ход подготовки потока");
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(Window().Menu().OpenMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->text(QAccessible::Name), ShownCaption(Window().Menu().Open1).simplified());
}

}  // namespace
}  // namespace tscard::app::test
