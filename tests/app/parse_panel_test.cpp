// The parse panel on the ffmpeg three-program stream, with the dialogs
// answered by the test: open, folder, selection, start and stop, every
// output compared byte for byte with tscard-cli demux.

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QLocale>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#include <gmock/gmock.h>

#include "app/gauge.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/start_button.h"
#include "app/value_box.h"
#include "stream_test.h"
#include "ts/stream_open.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;
using tscard::test::ReadFileBytes;
using tscard::test::RunCli;
using tscard::test::TempDir;

const std::vector<std::string> kAllLines = {"ProgOne[0x0001]", "ProgTwo[0x0002]", "ProgThree[0x0003]"};

class ParsePanelTest : public StreamWindowTest {
protected:
    ParsePanel& Panel() { return *Window().Parse(); }
    QTreeWidgetItem* ProgramNode(int n) { return Panel().TreeView4->topLevelItem(0)->child(n); }

    // "Parser multi program TS" with the stream and the folder answered
    // (no folder: the folder dialog is cancelled); waits for the analysis.
    void Open(const std::string& path, const std::optional<std::string>& folder) {
        dialogs_.AnswerFile(Kind::OpenFile, {path});
        if (folder)
            dialogs_.AnswerFolder(*folder);
        else
            dialogs_.Cancel(Kind::Folder);
        Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
        ASSERT_TRUE(WaitUntilIdle());
    }
    std::vector<std::string> Listed() {
        std::vector<std::string> lines;
        for (int i = 0; i < Panel().ListBox1->count(); ++i)
            lines.push_back(Panel().ListBox1->item(i)->text().toStdString());
        return lines;
    }
    void Click(QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTreeWidget* tree = Panel().TreeView4;
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, modifiers, tree->visualItemRect(item).center());
    }
    // The files tscard-cli demux writes for the same stream and choice.
    std::filesystem::path CliSplit(const std::string& input, const std::vector<std::string>& options = {}) {
        const std::filesystem::path out = cli_dir_ / std::to_string(cli_runs_++);
        std::filesystem::create_directory(out);
        std::vector<std::string> args{"demux", input, out.string()};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = RunCli(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return out;
    }
    // Both folders hold the same files with the same bytes.
    static void ExpectSameFiles(const std::filesystem::path& got, const std::filesystem::path& want) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(want)) names.push_back(entry.path().filename());
        std::vector<std::string> got_names;
        for (const auto& entry : std::filesystem::directory_iterator(got)) got_names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        std::sort(got_names.begin(), got_names.end());
        ASSERT_EQ(got_names, names);
        for (const std::string& name : names)
            EXPECT_TRUE(ReadFileBytes(got / name) == ReadFileBytes(want / name)) << name;
    }
    std::string NewFolder(const std::string& name) {
        std::filesystem::create_directory(dir_ / name);
        return (dir_ / name).string();
    }

    TempDir cli_dir_;
    int cli_runs_ = 0;
    const std::string multi3_ = FixturePath("multi3.ts");
};

TEST_F(ParsePanelTest, SplitsEveryProgramAsTheCommandLineDoes) {
    // One window for every split: each starts as a fresh process would,
    // the same split again among them.
    int run = 0;
    for (bool remove_stuffing : {false, true, false}) {
        SCOPED_TRACE(remove_stuffing ? "Remove staffings" : "null packets kept");
        const std::string out = NewFolder("split" + std::to_string(run++));
        Open(multi3_, out);
        EXPECT_EQ(Window().FrontPanel(), &Panel());
        EXPECT_EQ(State().StreamPanelOpen, 1);
        EXPECT_EQ(Panel().StaticText6->text().toStdString(), multi3_);
        EXPECT_EQ(Panel().StaticText9->text().toStdString(), out);
        // Every program is selected, in the tree as in the list.
        EXPECT_EQ(Listed(), kAllLines);
        for (int n = 0; n < 3; ++n) EXPECT_TRUE(ProgramNode(n)->isSelected()) << n;
        EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Ready);

        Panel().CheckBox1->setChecked(remove_stuffing);
        Panel().SpeedButton3->click();
        EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Running);
        EXPECT_FALSE(Panel().TreeView4->isEnabled());
        EXPECT_FALSE(Window().Menu().Open1->isEnabled());
        ASSERT_TRUE(WaitUntilIdle());

        // The stream is used up: the main panel is back.
        EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Find<QWidget>("MainPanel")));
        EXPECT_EQ(State().StreamPanelOpen, 0);
        EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Unavailable);
        EXPECT_TRUE(Panel().TreeView4->isEnabled());
        EXPECT_TRUE(Panel().CGauge4->isHidden());
        ExpectSameFiles(out, CliSplit(multi3_, remove_stuffing ? std::vector<std::string>{"--remove-stuffing"}
                                                                : std::vector<std::string>{}));
    }
}

TEST_F(ParsePanelTest, OnlyTheProgramsPickedInTheTreeAreSplit) {
    const std::string out = NewFolder("out");
    Open(multi3_, out);
    Click(ProgramNode(2));
    Click(ProgramNode(0), Qt::ControlModifier);
    // Tree order, whatever the order of the clicks.
    EXPECT_EQ(Listed(), (std::vector<std::string>{"ProgOne[0x0001]", "ProgThree[0x0003]"}));

    // PID lines and the root pick no program.
    Click(ProgramNode(1)->child(0));
    Click(Panel().TreeView4->topLevelItem(0), Qt::ControlModifier);
    EXPECT_TRUE(Listed().empty());
    for (const ProgramRemap& program : State().Stream.Lists.ProgramList) EXPECT_FALSE(program.Selected);

    // Analysing again selects every program again.
    Panel().SpeedButton12->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Listed(), kAllLines);

    Click(ProgramNode(0));
    Click(ProgramNode(2), Qt::ControlModifier);
    Panel().SpeedButton3->click();
    ASSERT_TRUE(WaitUntilIdle());
    ExpectSameFiles(out, CliSplit(multi3_, {"--programs", "0x0001,0x0003"}));
}

TEST_F(ParsePanelTest, StartingWithoutAFolderAsksForOne) {
    Open(multi3_, std::nullopt);
    EXPECT_TRUE(Panel().StaticText9->text().isEmpty());
    dialogs_.AnswerMessage(DialogButton::Ok);
    Panel().SpeedButton3->click();
    EXPECT_EQ(Asked(dialogs_.Questions().size() - 1), "Select folder where streams will be saved");
    EXPECT_FALSE(Window().Events().RunActive());
    EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Ready);

    // A folder chosen, then the browser cancelled: the folder stays, and
    // the panel shows it.
    const std::string out = NewFolder("out");
    dialogs_.AnswerFolder(out);
    Panel().SpeedButton15->click();
    dialogs_.Cancel(Kind::Folder);
    Panel().SpeedButton15->click();
    EXPECT_EQ(State().ParseFolder, out);
    EXPECT_EQ(Panel().StaticText9->text().toStdString(), out);
    const FolderRequest& asked = dialogs_.Questions().back().Folder;
    EXPECT_EQ(asked.Title, "Select folder for save parsed stream");
    EXPECT_EQ(asked.Prompt, "Select target folder");
    EXPECT_EQ(asked.Folder, out);
}

TEST_F(ParsePanelTest, OpeningForSplittingClosesThePreparePanelFirst) {
    dialogs_.AnswerFile(Kind::OpenFile, {FixturePath("single_vbr.ts")});
    dialogs_.Cancel(Kind::SaveFile);
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_TRUE(Window().Prepare()->Preparable());

    Open(multi3_, NewFolder("out"));
    EXPECT_FALSE(Window().Prepare()->Preparable());
    EXPECT_EQ(Window().Prepare()->SpeedButton4->State(), StartState::Unavailable);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(Listed(), kAllLines);
}

TEST_F(ParsePanelTest, AFileThatIsNoStreamIsToldBeforeTheFolderIsAsked) {
    const std::string empty = (dir_ / "empty.ts").string();
    tscard::test::WriteFileBytes(empty, {});
    dialogs_.AnswerFile(Kind::OpenFile, {empty});
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(dialogs_.Questions().size(), 2u);
    EXPECT_EQ(Asked(1), empty + ": Unknow stream format (the file is empty)");
    EXPECT_EQ(dialogs_.Questions()[1].Message.Caption, "Synhronization error");
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(State().StreamPanelOpen, 0);
}

TEST_F(ParsePanelTest, ASplitThatFailsSaysWhyAndOffersTheStreamAgain) {
    const std::string out = NewFolder("gone");
    Open(multi3_, out);
    std::filesystem::remove(out);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Panel().SpeedButton3->click();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_FALSE(dialogs_.Questions().empty());
    EXPECT_THAT(Asked(dialogs_.Questions().size() - 1), ::testing::HasSubstr(out));
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(Listed(), kAllLines);
    EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Ready);
}

TEST_F(ParsePanelTest, AOneProgramStreamOffersNoSplit) {
    dialogs_.AnswerFile(Kind::OpenFile, {FixturePath("single_vbr.ts")});
    dialogs_.AnswerFolder(NewFolder("out"));
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Menu().MultyprogramstreamMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Asked(dialogs_.Questions().size() - 1),
              "In selected stream is only one programm.There is no need paresed it");
    EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Unavailable);
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(State().StreamPanelOpen, 0);
}

// The three-program stream eight times over: long enough to stop a split
// on its way.
std::string LongMulti(const TempDir& dir, const std::string& multi3) {
    const std::string path = (dir / "multi3x8.ts").string();
    std::vector<std::uint8_t> bytes;
    const std::vector<std::uint8_t> once = ReadFileBytes(multi3);
    for (int i = 0; i < 8; ++i) bytes.insert(bytes.end(), once.begin(), once.end());
    tscard::test::WriteFileBytes(path, bytes);
    return path;
}

TEST_F(ParsePanelTest, AStoppedSplitKeepsItsFilesAndOffersTheStreamAgain) {
    const std::string input = LongMulti(dir_, multi3_);
    const std::string out = NewFolder("out");
    Open(input, out);
    Click(ProgramNode(1));
    Panel().SpeedButton3->click();
    // "Remove staffings" reaches the run at once.
    Panel().CheckBox1->setChecked(true);
    EXPECT_TRUE(State().SplitSettings.RemoveStuffing.load());
    Panel().CheckBox1->setChecked(false);
    EXPECT_FALSE(State().SplitSettings.RemoveStuffing.load());
    // The second click asks the run to stop.
    Panel().SpeedButton3->click();
    EXPECT_EQ(Panel().SpeedButton3->Shown(), Glyph::NoEntry);
    ASSERT_TRUE(WaitUntilIdle());

    const std::filesystem::path full = CliSplit(input, {"--programs", "0x0002"});
    const auto kept = ReadFileBytes(std::filesystem::path(out) / "prg_0x0002.ts");
    const auto whole = ReadFileBytes(full / "prg_0x0002.ts");
    EXPECT_LT(kept.size(), whole.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));

    // The stream was read again: every program offered and selected.
    EXPECT_EQ(Window().FrontPanel(), &Panel());
    EXPECT_EQ(Listed(), kAllLines);
    EXPECT_EQ(Panel().SpeedButton3->State(), StartState::Ready);
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
    Click(ProgramNode(1));
    Panel().SpeedButton3->click();
    ASSERT_TRUE(WaitUntilIdle());
    ExpectSameFiles(out, full);
}

TEST_F(ParsePanelTest, ClosingDuringASplitStopsItFirst) {
    const std::string input = LongMulti(dir_, multi3_);
    Open(input, NewFolder("out"));
    Panel().SpeedButton3->click();
    Panel().SpeedButton11->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_FALSE(State().Splitter.Busy());
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(State().StreamPanelOpen, 0);
    EXPECT_FALSE(Window().Launcher().Analysing());
}

TEST_F(ParsePanelTest, TheSizeShowsInTheChosenUnit) {
    Open(multi3_, NewFolder("out"));
    const std::int64_t card_bytes = CardBytesOf(std::filesystem::file_size(multi3_));
    struct Row {
        const char* Unit;
        bool Russian;
        std::string Expected;
    };
    const std::string mbytes = ParseSizeText(card_bytes, SizeUnit::MBytes);
    std::string russian = mbytes;
    russian[russian.find('.')] = ',';
    const Row rows[] = {
        {"RadioButton10", false, std::to_string(card_bytes)},
        {"RadioButton9", false, mbytes},
        {"RadioButton9", true, russian},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Unit);
        QLocale::setDefault(row.Russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
        Find<QRadioButton>(row.Unit)->click();
        EXPECT_EQ(Panel().StaticText7->text().toStdString(), row.Expected);
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(ParsePanelTest, AFileOpenedFromOutsideGoesWhereItsProgramCountSendsIt) {
    const std::string garbage = (dir_ / "garbage.ts").string();
    tscard::test::WriteFileBytes(garbage, std::vector<std::uint8_t>(300000, 0x11));
    struct Row {
        std::string Path;
        bool Split;        // opened here
        bool OneProgram;   // handed to the prepare command's flow
        std::string Told;  // the start of what the operator is told
    };
    const Row rows[] = {
        {multi3_, true, false, ""},
        {FixturePath("single_vbr.ts"), false, true, ""},
        {garbage, false, false, garbage + ": Unknow stream format"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Path);
        std::vector<std::string> handed;
        if (row.Split) dialogs_.AnswerFolder(NewFolder("out"));
        if (!row.Told.empty()) dialogs_.AnswerMessage(DialogButton::Ok);
        const std::size_t asked_before = dialogs_.Questions().size();
        Panel().OpenFromOutside(row.Path, [&](const std::string& path) { handed.push_back(path); });
        ASSERT_TRUE(WaitUntil([&] { return !Window().Launcher().AsideBusy(); }));
        ASSERT_TRUE(WaitUntilIdle());
        EXPECT_EQ(Window().FrontPanel() == &Panel(), row.Split);
        EXPECT_EQ(handed, row.OneProgram ? std::vector<std::string>{row.Path} : std::vector<std::string>{});
        if (row.Split) {
            EXPECT_EQ(Listed(), kAllLines);
        }
        if (!row.Told.empty()) {
            ASSERT_GT(dialogs_.Questions().size(), asked_before);
            EXPECT_EQ(Asked(dialogs_.Questions().size() - 1).rfind(row.Told, 0), 0u);
        } else if (!row.Split) {
            EXPECT_EQ(dialogs_.Questions().size(), asked_before);
        }
        Panel().SpeedButton11->click();
    }
}

}  // namespace
}  // namespace tscard::app::test
