// The word the main panel keeps after a run that ended by itself: what was
// made, where, how large, and a button that opens the folder (answered by
// the scripted dialogs, so nothing is launched).

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <filesystem>

#include <gmock/gmock.h>

#include "app/main_panel.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/splice_panel.h"
#include "app/start_button.h"
#include "app/status_line.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;

class StatusLineTest : public CardWindowTest {
protected:
    StatusLine& Line() { return *Window().Main()->Status; }
    std::string Said() { return Line().Text().toStdString(); }

    void Prepare(const std::string& source, const std::string& output) {
        dialogs_.AnswerFile(Kind::OpenFile, {source});
        dialogs_.AnswerFile(Kind::SaveFile, {output});
        Window().Menu().SimpleprogramMPEG2TS1->trigger();
        ASSERT_TRUE(WaitUntilIdle());
        ASSERT_EQ(Window().Prepare()->SpeedButton4->State(), StartState::Ready);
        Window().Prepare()->SpeedButton4->click();
        ASSERT_TRUE(WaitUntilIdle());
    }
};

TEST_F(StatusLineTest, APrepareThatEndsSaysWhatWasMadeWhereAndOpensItsFolder) {
    EXPECT_TRUE(Line().isHidden());
    const std::string output = (dir_ / "news_pre.ts").string();
    Prepare(FixturePath("single_vbr.ts"), output);

    ASSERT_FALSE(Line().isHidden());
    const std::uintmax_t bytes = std::filesystem::file_size(output);
    EXPECT_THAT(Said(), ::testing::StartsWith("Prepared " + output + ": "));
    EXPECT_THAT(Said(), ::testing::HasSubstr(" MiB (" + std::to_string(bytes) + " bytes), "));
    EXPECT_THAT(Said(), ::testing::EndsWith(" s"));
    // The run's end is otherwise as before: the panel is closed.
    EXPECT_EQ(Window().FrontPanel(), Window().Main());

    ASSERT_TRUE(Line().OpenFolder->isVisible());
    Line().OpenFolder->click();
    EXPECT_EQ(dialogs_.ShownFolders(), std::vector<std::string>{dir_.path().string()});

    // It says it again in the language the flag switches to, the path as it is.
    Window().Language1Click();
    EXPECT_THAT(Said(), ::testing::StartsWith("Подготовлен " + output + ": "));
    EXPECT_EQ(Line().OpenFolder->text(), "Открыть папку");
    Window().Language1Click();
    EXPECT_THAT(Said(), ::testing::StartsWith("Prepared " + output + ": "));

    Line().CloseStatus->click();
    EXPECT_TRUE(Line().isHidden());
}

TEST_F(StatusLineTest, APrepareHandedToTheCardWriterSaysSoInTheSameLine) {
    Attach(MakeFormattedImage("card.img", 16 << 20));
    ASSERT_TRUE(State().Cards.CardReady);
    const std::string output = (dir_ / "news_pre.ts").string();
    Prepare(FixturePath("single_vbr.ts"), output);
    EXPECT_THAT(Said(), ::testing::StartsWith("Prepared " + output + ": "));
    EXPECT_THAT(Said(), ::testing::EndsWith("; handed over to the card writer"));
}

TEST_F(StatusLineTest, ASplitThatEndsNamesTheFolderAndTheFilesMade) {
    const std::string folder = (dir_ / "out").string();
    std::filesystem::create_directory(folder);
    dialogs_.AnswerFile(Kind::OpenFile, {FixturePath("multi3.ts")});
    dialogs_.AnswerFolder(folder);
    Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    Window().Parse()->SpeedButton3->click();
    ASSERT_TRUE(WaitUntilIdle());

    EXPECT_THAT(Said(), ::testing::StartsWith("Split " + FixturePath("multi3.ts") + " into 3 program files in " +
                                              folder + ": "));
    EXPECT_THAT(Said(), ::testing::EndsWith(" MiB"));
    Line().OpenFolder->click();
    EXPECT_EQ(dialogs_.ShownFolders(), std::vector<std::string>{folder});
}

TEST_F(StatusLineTest, ASpliceThatEndsNamesTheOutputAndItsSize) {
    const std::string output = (dir_ / "joined.ts").string();
    dialogs_.AnswerFile(Kind::SaveFile, {output});
    Window().Menu().Tosticktogether1->trigger();
    dialogs_.AnswerFile(Kind::OpenFiles, {FixturePath("single_vbr.ts"), FixturePath("cyrillic.ts")});
    Window().Splice()->Button2->click();
    Window().Splice()->Button3->click();
    QTRY_VERIFY_WITH_TIMEOUT(!State().Stick.Splicing, 60000);

    const std::uintmax_t bytes = std::filesystem::file_size(output);
    EXPECT_THAT(Said(), ::testing::StartsWith("Spliced 2 files into " + output + ": "));
    EXPECT_THAT(Said(), ::testing::EndsWith(" MiB (" + std::to_string(bytes) + " bytes)"));
    Line().OpenFolder->click();
    EXPECT_EQ(dialogs_.ShownFolders(), std::vector<std::string>{dir_.path().string()});
}

TEST_F(StatusLineTest, ARunThatDoesNotEndByItselfSaysNothingNew) {
    // A refused start and a stream that is no stream leave the line as it was.
    const std::string empty = (dir_ / "empty.ts").string();
    tscard::test::WriteFileBytes(empty, {});
    dialogs_.AnswerFile(Kind::OpenFile, {empty});
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(Line().isHidden());
}

}  // namespace
}  // namespace tscard::app::test
