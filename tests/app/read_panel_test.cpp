// Reading a stream back from an attached card image through Panel4: the
// save dialog and its extension rule, the card commands held while the
// panel is up, and output identical to the command line's in both forms.

#include <QGroupBox>
#include <QRadioButton>

#include "app/gauge.h"
#include "app/read_panel.h"
#include "app/start_button.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using tscard::test::ReadFileBytes;
using tscard::test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;

class ReadPanelTest : public CardWindowTest {
protected:
    // A card image holding the fixture, written by the command line.
    std::string CardHolding(const char* fixture_name) {
        const std::string card = MakeImage("card.img", 16 * kMiB);
        const std::string fixture = tscard::test::Fixture(fixture_name).string();
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"card", "format", card}, {"card", "write", card, fixture, "--bitrate", "3000"}}) {
            const auto r = RunCli(args);
            EXPECT_EQ(r.exit_code, 0) << r.err;
        }
        return card;
    }
};


TEST(ReadOutputName, ANameWithoutDotGetsTheExtensionOfTheChosenType) {
    const struct {
        const char* Chosen;
        int Filter;
        const char* Output;
    } rows[] = {
        {"/out/copy", 1, "/out/copy.m2ts"}, {"/out/copy", 2, "/out/copy.m4ts"}, {"/out/copy", 3, "/out/copy.ts"},
        {"/out/copy", 4, "/out/copy.ts"},   {"/out/copy", 5, "/out/copy"},      {"/out/copy.bin", 2, "/out/copy.bin"},
        {"/out.d/copy", 1, "/out.d/copy.m2ts"},
    };
    for (const auto& row : rows) EXPECT_EQ(ReadOutputName(row.Chosen, row.Filter), row.Output) << row.Chosen;
}

TEST_F(ReadPanelTest, ReadingBackGivesWhatTheCommandLineGivesInBothForms) {
    if (!tscard::test::HasFixture("single_muxrate.ts")) GTEST_SKIP() << "fixture missing";
    const std::string card = CardHolding("single_muxrate.ts");
    ASSERT_FALSE(HasFailure());
    Attach(card);
    ReadPanel* read = Window().Read();

    struct Row {
        const char* Form;
        bool Original;
        std::string Chosen;
        int Filter;
        std::string Output;
    };
    const Row rows[] = {
        {"Compressed", false, (dir_ / "stored.ts").string(), 4, (dir_ / "stored.ts").string()},
        {"Original", true, (dir_ / "copy").string(), 2, (dir_ / "copy.m4ts").string()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Form);
        Panel()->TreeView1->topLevelItem(0)->child(0)->setSelected(true);
        ASSERT_TRUE(Panel()->SpeedButton22->isEnabled());
        dialogs_.AnswerFile(ScriptedDialogs::Kind::SaveFile, {row.Chosen}, row.Filter);
        Panel()->SpeedButton22->click();
        const FileRequest& asked = dialogs_.Questions().back().File;
        EXPECT_EQ(asked.FileName, "single_muxrate.ts");
        EXPECT_EQ(asked.Filter, "m2ts|*.m2ts|m4ts|*.m4ts|mpg|*.mpg|ts|*.ts|all|*.*");

        // Panel4 waits for its start; the card commands wait for it.
        EXPECT_EQ(Window().FrontPanel(), read);
        EXPECT_FALSE(Panel()->isEnabled());
        EXPECT_FALSE(Panel()->SpeedButton13->isEnabled());
        EXPECT_EQ(read->SpeedButton24->Tag(), 0);
        EXPECT_FALSE(read->GroupBox2->isHidden());

        (row.Original ? read->RadioButton8 : read->RadioButton7)->click();
        read->SpeedButton24->click();
        QTRY_VERIFY_WITH_TIMEOUT(!read->Reading(), 10000);

        const std::filesystem::path reference = dir_ / (std::string("cli-") + row.Form);
        std::vector<std::string> cli = {"card", "read", card, "0", reference.string()};
        if (row.Original) cli.push_back("--original");
        const auto r = RunCli(cli);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(ReadFileBytes(row.Output), ReadFileBytes(reference));

        // Back to the card panel, the stream still picked.
        EXPECT_NE(Window().FrontPanel(), read);
        EXPECT_TRUE(Panel()->isEnabled());
        EXPECT_TRUE(Panel()->SpeedButton22->isEnabled());
        EXPECT_TRUE(Panel()->SpeedButton13->isEnabled());
        EXPECT_TRUE(Panel()->SpeedButton23->isEnabled());
        EXPECT_TRUE(read->CGauge8->isHidden());
        EXPECT_TRUE(read->CGauge9->isHidden());
        EXPECT_FALSE(read->GroupBox2->isHidden());
        // Nothing is left beside the output.
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
            files += entry.path().filename().string().find(".tmp") != std::string::npos ? 1 : 0;
        EXPECT_EQ(files, 0u);
    }
}

TEST_F(ReadPanelTest, LeavingThePanelBeforeItsStartGivesTheCardPanelBack) {
    const std::string card = CardHolding("single_muxrate.ts");
    ASSERT_FALSE(HasFailure());
    Attach(card);
    ReadPanel* read = Window().Read();
    Panel()->TreeView1->topLevelItem(0)->child(0)->setSelected(true);
    dialogs_.AnswerFile(ScriptedDialogs::Kind::SaveFile, {(dir_ / "copy.ts").string()}, 4);
    Panel()->SpeedButton22->click();
    ASSERT_EQ(Window().FrontPanel(), read);

    // The operator goes elsewhere instead of starting.
    Window().Menu().SDcardmanadger1->trigger();
    EXPECT_EQ(Window().FrontPanel(), Panel());
    EXPECT_TRUE(Panel()->isEnabled());
    EXPECT_TRUE(Panel()->SpeedButton13->isEnabled());
    EXPECT_TRUE(Panel()->SpeedButton23->isEnabled());
    EXPECT_EQ(read->SpeedButton24->State(), StartState::Unavailable);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "copy.ts"));
}

}  // namespace
}  // namespace tscard::app::test
