// The prepare panel driven as an operator drives it, with the dialogs
// answered by the test: opening a stream, the edits and their checks, a run
// that gives the same bytes as tscard-cli prepare, stopping, closing during
// a run, and what the panel says when it cannot prepare.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#include "app/content_tree.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/prepare_panel.h"
#include "app/start_button.h"
#include "app/value_box.h"
#include "stream_test.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;

class PreparePanelTest : public StreamWindowTest {
protected:
    PreparePanel& Panel() { return *Window().Prepare(); }

    // The menu command with the file and the output chosen in its dialogs
    // (an empty output cancels the save dialog: the proposal stays).
    void OpenFromMenu(const std::string& source, const std::string& output = {}) {
        dialogs_.AnswerFile(Kind::OpenFile, {source});
        if (output.empty())
            dialogs_.Cancel(Kind::SaveFile);
        else
            dialogs_.AnswerFile(Kind::SaveFile, {output});
        Window().Menu().SimpleprogramMPEG2TS1->trigger();
        ASSERT_TRUE(WaitUntilIdle());
    }

    // The operator replaces an edit's text in one go (a paste).
    static void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        edit->insert(text);
    }
    // The operator selects all of an edit's text and types over it, key by key.
    static void KeyIn(QLineEdit* edit, const char* keys) {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, keys);
    }
    // The operator leaves the edit for the next control (Tab), or takes the
    // value with Return.
    static void Leave(QLineEdit* edit, Qt::Key key = Qt::Key_Tab) {
        QTest::keyClick(edit, key);
        QCoreApplication::processEvents();
    }

    void Start() {
        Panel().SpeedButton4->click();
        ASSERT_TRUE(WaitUntilIdle());
    }

    const ProgramRemap& Remap() { return State().Stream.CurrentRemap; }

    // A run that lasts: a real stream, then gigabytes of nothing (a sparse
    // file: no disk is used) that the run reads to the end.
    std::string LongSource() {
        const std::string path = (dir_ / "long.ts").string();
        std::filesystem::copy_file(FixturePath("long_4m.ts"), path);
        std::filesystem::resize_file(path, 8ULL << 30);
        return path;
    }
    std::string Text(const char* name) { return Find<QLineEdit>(name)->text().toStdString(); }
    // The text of the last message put to the operator.
    std::string LastTold() const {
        for (auto it = dialogs_.Questions().rbegin(); it != dialogs_.Questions().rend(); ++it)
            if (it->What == Kind::Message) return it->Message.Text;
        return {};
    }
};

// Runs tscard-cli prepare and returns the output's bytes.
std::vector<std::uint8_t> CliPrepared(const std::string& source, const std::string& output,
                                      std::vector<std::string> options) {
    std::vector<std::string> args{"prepare", source, output};
    args.insert(args.end(), options.begin(), options.end());
    const tscard::test::CommandResult run = tscard::test::RunCli(args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return tscard::test::ReadFileBytes(output);
}

TEST_F(PreparePanelTest, OpeningAStreamProposesTheOutputAndLoadsTheEditsFromTheStream) {
    const std::string source = FixturePath("single_muxrate.ts");
    OpenFromMenu(source);

    const auto& asked = dialogs_.Questions();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].File.Filter, kStreamFilter);
    EXPECT_EQ(asked[1].What, Kind::SaveFile);
    EXPECT_EQ(asked[1].File.FileName, "single_muxrate_pre.ts");
    EXPECT_EQ(asked[1].File.Folder, std::filesystem::path(source).parent_path().string() + "/");
    EXPECT_EQ(asked[1].File.Filter, kSaveStreamFilter);
    EXPECT_EQ(asked[1].File.FilterIndex, 4);  // ts
    EXPECT_EQ(Panel().StaticText8->text().toStdString(), source.substr(0, source.size() - 3) + "_pre.ts");

    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(State().StreamPanelOpen, 1);
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    EXPECT_TRUE(Panel().GroupBox8->isEnabled());
    EXPECT_TRUE(Panel().PrepareNote->isHidden());
    // The last program node is selected and has loaded the edits.
    QTreeWidgetItem* program = Panel().TreeView3->topLevelItem(0)->child(0);
    EXPECT_TRUE(program->isSelected());
    const std::pair<const char*, const char*> texts[] = {
        {"Edit2", "0x0201"}, {"Edit3", "0x0201"}, {"Edit5", "0x0800"},
        {"Edit6", "0x0400"}, {"Edit1", "TestProvider"}, {"Edit7", "TestChannel"},
    };
    for (auto [name, text] : texts) EXPECT_EQ(Text(name), text) << name;
    EXPECT_EQ(Panel().ComboBox1->count(), 1);
    EXPECT_EQ(Panel().ComboBox1->currentText(), "0x0202");
    EXPECT_TRUE(Panel().ComboBox1->isEnabled());
    EXPECT_EQ(Panel().ComboBox2->currentText(), "0x1fff");
    EXPECT_FALSE(Panel().ComboBox2->isEnabled());
    EXPECT_EQ(Remap().TargetPmtPid, 0x400u);
    EXPECT_EQ(Remap().TargetAudioPids, (std::vector<std::uint16_t>{0x202}));
}

TEST_F(PreparePanelTest, EverySingleProgramStreamOpensReadyWithItsOwnValues) {
    struct Row {
        const char* Fixture;
        const char* ProgramNumber;
        const char* PmtPid;
        const char* Provider;
        const char* Name;
    };
    const Row rows[] = {
        {"single_muxrate.ts", "0x0800", "0x0400", "TestProvider", "TestChannel"},
        {"single_vbr.ts", "0x0800", "0x0400", "TestProvider", "TestChannel"},
        {"units192.m2ts", "0x0005", "0x0100", "M2tsProvider", "M2tsChannel"},
        {"long_4m.ts", "0x0009", "0x1000", "LongProvider", "LongChannel"},
        {"h264.ts", "0x0021", "0x1000", "HdProvider", "HdChannel"},
    };
    for (const Row& row : rows) {
        if (!tscard::test::HasFixture(row.Fixture)) continue;
        SCOPED_TRACE(row.Fixture);
        OpenFromMenu(FixturePath(row.Fixture));
        QTreeWidgetItem* root = Panel().TreeView3->topLevelItem(0);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->text(0).toStdString(), row.Fixture);
        EXPECT_EQ(root->child(0)->text(0).toStdString(),
                  std::string("Programm number -") + "0x" + QString(row.ProgramNumber).mid(2).toUpper().toStdString() +
                      ",content:");
        EXPECT_EQ(Text("Edit5"), row.ProgramNumber);
        EXPECT_EQ(Text("Edit6"), row.PmtPid);
        EXPECT_EQ(Text("Edit1"), row.Provider);
        EXPECT_EQ(Text("Edit7"), row.Name);
        EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    }
}

TEST_F(PreparePanelTest, TypedValuesAreStoredAndRefusedOnesToldWhenTheFieldIsLeft) {
    OpenFromMenu(FixturePath("single_muxrate.ts"));
    const std::string suffix = "- invalid value.Mast be in range 1 to 0x1FFE";
    struct Row {
        const char* Edit;
        const char* Typed;
        std::string Message;  // told when the field is left; empty: taken without a word
        std::function<std::uint32_t(const ProgramRemap&)> Stored;
        std::uint32_t Expected;
    };
    auto pcr = [](const ProgramRemap& r) { return r.TargetPcrPid; };
    auto number = [](const ProgramRemap& r) { return r.TargetProgramNumber; };
    auto pmt = [](const ProgramRemap& r) { return r.TargetPmtPid; };
    const Row rows[] = {
        {"Edit2", "0x", "0x" + suffix, pcr, 0x201},  // typing stopped halfway
        {"Edit2", "0x1fff", "0x1fff" + suffix, pcr, 0x201},
        {"Edit5", "0", "0" + suffix, number, 0x800},
        {"Edit5", "-5", "-5" + suffix, number, 0x800},
        {"Edit5", "news", "news" + suffix, number, 0x800},
        {"Edit5", "8191", "8191" + suffix, number, 0x800},
        {"Edit5", "100", "", number, 100},  // decimal
        {"Edit6", "$1ff", "", pmt, 0x1FF},
        {"Edit6", "0X1FFE", "", pmt, 0x1FFE},  // typed in lower case
        {"Edit6", "", "" + suffix, pmt, 0x1FFE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Edit) + " " + row.Typed);
        const std::size_t before = dialogs_.Questions().size();
        QLineEdit* edit = Find<QLineEdit>(row.Edit);
        Type(edit, row.Typed);
        // Nothing is said while the operator types.
        EXPECT_EQ(dialogs_.Questions().size(), before);
        if (!row.Message.empty()) dialogs_.AnswerMessage(DialogButton::Ok);
        Leave(edit);
        if (row.Message.empty()) {
            EXPECT_EQ(dialogs_.Questions().size(), before);
        } else {
            ASSERT_EQ(dialogs_.Questions().size(), before + 1);
            EXPECT_EQ(dialogs_.Questions().back().Message.Text, row.Message);
        }
        EXPECT_EQ(row.Stored(Remap()), row.Expected);
    }
    EXPECT_EQ(Text("Edit6"), "");

    // The PCR travels on the video PID: either edit moves both.
    ASSERT_TRUE(Remap().PcrInVideo);
    Type(Panel().Edit2, "0x200");
    EXPECT_EQ(Text("Edit3"), "0x200");
    EXPECT_EQ(Remap().TargetPcrPid, 0x200u);
    EXPECT_EQ(Remap().TargetVideoPid, 0x200u);
    Type(Panel().Edit3, "0x210");
    EXPECT_EQ(Text("Edit2"), "0x210");
    EXPECT_EQ(Remap().TargetPcrPid, 0x210u);

    // The audio item keeps its place and shows the PID it now holds.
    Type(Panel().ComboBox1->lineEdit(), "0x300");
    EXPECT_EQ(Remap().TargetAudioPids, (std::vector<std::uint16_t>{0x300}));
    EXPECT_EQ(Panel().ComboBox1->itemText(0), "0x300");

    // Names: the provider takes at most 20 characters.
    Type(Panel().Edit1, "A provider with a long name");
    EXPECT_EQ(Remap().TargetProvider, "A provider with a lo");
    Type(Panel().Edit7, "News");
    EXPECT_EQ(Remap().TargetName, "News");

    // A language switch puts captions, never values, and says nothing.
    Window().Language1Click();
    EXPECT_EQ(Remap().TargetPmtPid, 0x1FFEu);
}

TEST_F(PreparePanelTest, TheHexFormsTheFieldsShowCanBeTypedKeyByKey) {
    const std::string source = FixturePath("single_muxrate.ts");
    const std::string output = (dir_ / "typed.ts").string();
    OpenFromMenu(source, output);
    const std::size_t opened = dialogs_.Questions().size();  // the file dialogs
    struct Row {
        const char* Edit;  // "ComboBox1": its edit field
        const char* Keys;
    };
    // Each passes through 0, 0x or $ on its way.
    const Row rows[] = {{"Edit5", "0x0100"}, {"Edit6", "$101"}, {"Edit2", "0x0102"}, {"ComboBox1", "0x0103"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Edit);
        QLineEdit* edit = std::string(row.Edit) == "ComboBox1" ? Panel().ComboBox1->lineEdit() : Find<QLineEdit>(row.Edit);
        KeyIn(edit, row.Keys);
        EXPECT_EQ(edit->text().toStdString(), row.Keys);
        Leave(edit, std::string(row.Edit) == "Edit6" ? Qt::Key_Return : Qt::Key_Tab);
        EXPECT_EQ(dialogs_.Questions().size(), opened) << Asked(opened);
    }
    EXPECT_EQ(Remap().TargetProgramNumber, 0x100u);
    EXPECT_EQ(Remap().TargetPmtPid, 0x101u);
    EXPECT_EQ(Remap().TargetPcrPid, 0x102u);
    EXPECT_EQ(Remap().TargetVideoPid, 0x102u);  // the PCR travels on the video PID
    EXPECT_EQ(Remap().TargetAudioPids, (std::vector<std::uint16_t>{0x103}));

    // A field left halfway is told once and keeps its stored value; Start
    // says the same.
    dialogs_.AnswerMessage(DialogButton::Ok);
    KeyIn(Panel().Edit5, "$");
    Leave(Panel().Edit5);
    ASSERT_EQ(dialogs_.Questions().size(), opened + 1);
    EXPECT_EQ(Asked(opened), "$- invalid value.Mast be in range 1 to 0x1FFE");
    Panel().Edit5->setFocus();
    Leave(Panel().Edit5);
    EXPECT_EQ(dialogs_.Questions().size(), opened + 1);
    EXPECT_EQ(Remap().TargetProgramNumber, 0x100u);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Panel().SpeedButton4->click();
    EXPECT_EQ(Asked(opened + 1), Asked(opened));
    EXPECT_FALSE(Window().Events().RunActive());
    KeyIn(Panel().Edit5, "0x0100");

    // The bytes are those of the same values given to the command line.
    Start();
    EXPECT_EQ(dialogs_.Questions().size(), opened + 2);
    EXPECT_TRUE(tscard::test::ReadFileBytes(output) ==
                CliPrepared(source, (dir_ / "cli.ts").string(),
                            {"--program-number", "0x0100", "--pmt-pid", "0x0101", "--pcr-pid", "0x0102",
                             "--audio-pids", "0x0103"}));
}

TEST_F(PreparePanelTest, StartRefusesWhileAnEditShowsARefusedValue) {
    OpenFromMenu(FixturePath("single_vbr.ts"), (dir_ / "out.ts").string());
    const std::size_t opened = dialogs_.Questions().size();
    Type(Panel().Edit6, "0x2000");
    // The stored PMT PID is still the old one: a run would not use what is shown.
    dialogs_.AnswerMessage(DialogButton::Ok);
    Panel().SpeedButton4->click();
    ASSERT_EQ(dialogs_.Questions().size(), opened + 1);
    EXPECT_EQ(dialogs_.Questions().back().Message.Text, "0x2000- invalid value.Mast be in range 1 to 0x1FFE");
    EXPECT_FALSE(Window().Events().RunActive());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.ts"));
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
}

TEST_F(PreparePanelTest, TargetsTheRunWouldRefuseAreToldWhenStartIsPressedBeforeAnyFileIsMade) {
    const std::string source = FixturePath("single_muxrate.ts");
    const std::string output = (dir_ / "out.ts").string();
    struct Row {
        const char* Edit;  // "ComboBox1": its edit field
        const char* Typed;
        std::string Message;
    };
    const Row rows[] = {
        {"Edit6", "0x0011", source + ": the PMT PID 0x0011 is the SDT's PID, which the output carries itself"},
        {"ComboBox1", "0x0201", source + ": the video PID and audio PID 1 are both 0x0201; every target PID must differ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Edit);
        window_.reset();
        Open();
        OpenFromMenu(source, output);
        QLineEdit* edit = std::string(row.Edit) == "ComboBox1" ? Panel().ComboBox1->lineEdit() : Find<QLineEdit>(row.Edit);
        Type(edit, row.Typed);
        dialogs_.AnswerMessage(DialogButton::Ok);
        Panel().SpeedButton4->click();
        EXPECT_EQ(dialogs_.Questions().back().Message.Text, row.Message);
        EXPECT_FALSE(Window().Events().RunActive());
        EXPECT_FALSE(std::filesystem::exists(output));
        EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    }
}

TEST_F(PreparePanelTest, AStreamWhosePcrPidCarriesNoPcrHasNothingToPrepare) {
    // The video PID is the PCR PID, and none of its packets carries a PCR.
    auto packets = tscard::test::SplitPackets(tscard::test::ReadFileBytes(FixturePath("single_vbr.ts")));
    for (Packet& p : packets) {
        const bool adaptation = (p[3] & 0x20) != 0 && p[4] > 0;
        if (adaptation && ((p[1] & 0x1F) << 8 | p[2]) == 0x0201) p[5] &= static_cast<std::uint8_t>(~0x10);
    }
    const std::string source = (dir_ / "no_pcr.ts").string();
    tscard::test::WriteFileBytes(source, tscard::test::JoinPackets(packets));
    const std::string output = (dir_ / "no_pcr_pre.ts").string();
    OpenFromMenu(source, output);
    ASSERT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Start();
    EXPECT_EQ(dialogs_.Questions().back().Message.Text, source + ": no PCR in the program: nothing to prepare");
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
}

TEST_F(PreparePanelTest, ClickingALeafDeselectsItAndClickingTheProgramReloadsTheSource) {
    OpenFromMenu(FixturePath("single_muxrate.ts"));
    Type(Panel().Edit5, "0x123");
    QTreeWidget* tree = Panel().TreeView3;
    QTreeWidgetItem* program = tree->topLevelItem(0)->child(0);
    for (QTreeWidgetItem* item : {tree->topLevelItem(0), program->child(1)}) {
        tree->clearSelection();
        item->setSelected(true);
        Panel().TreeView3Click();
        EXPECT_FALSE(item->isSelected());
        EXPECT_EQ(Text("Edit5"), "0x123");
    }
    // A program selected with its streams keeps only itself.
    program->child(0)->setSelected(true);
    program->setSelected(true);
    EXPECT_FALSE(program->child(0)->isSelected());
    Panel().TreeView3Click();
    EXPECT_EQ(Text("Edit5"), "0x0800");
    EXPECT_EQ(Remap().TargetProgramNumber, 0x800u);
}

TEST_F(PreparePanelTest, EachAudioItemKeepsItsPlaceInTheList) {
    const std::string source = FixturePath("two_audio.ts");
    const std::string output = (dir_ / "gui.ts").string();
    OpenFromMenu(source, output);
    ASSERT_EQ(Panel().ComboBox1->count(), 2);
    EXPECT_EQ(Panel().ComboBox1->itemText(0), "0x0202");
    EXPECT_EQ(Panel().ComboBox1->itemText(1), "0x0203");

    // The operator picks the second item and types over it: each PID stays
    // with its place.
    QTest::keyClick(Panel().ComboBox1, Qt::Key_Down);
    ASSERT_EQ(Panel().ComboBox1->currentIndex(), 1);
    Type(Panel().ComboBox1->lineEdit(), "0x0110");
    EXPECT_EQ(Remap().TargetAudioPids, (std::vector<std::uint16_t>{0x202, 0x110}));
    EXPECT_EQ(Panel().ComboBox1->itemText(0), "0x0202");
    EXPECT_EQ(Panel().ComboBox1->itemText(1), "0x0110");
    QTest::keyClick(Panel().ComboBox1, Qt::Key_Up);
    ASSERT_EQ(Panel().ComboBox1->currentIndex(), 0);
    Type(Panel().ComboBox1->lineEdit(), "0x0111");
    EXPECT_EQ(Remap().TargetAudioPids, (std::vector<std::uint16_t>{0x111, 0x110}));

    Start();
    EXPECT_TRUE(dialogs_.Unexpected().empty());
    EXPECT_TRUE(tscard::test::ReadFileBytes(output) ==
                CliPrepared(source, (dir_ / "cli.ts").string(), {"--audio-pids", "0x0111,0x0110"}));
}

TEST_F(PreparePanelTest, ARunWritesWhatTheCommandLineWritesWithTheSameValues) {
    struct Row {
        const char* Fixture;
        bool Edited;  // the operator's values, or the stream's own
    };
    const Row rows[] = {
        {"single_muxrate.ts", true}, {"single_muxrate.ts", false}, {"single_vbr.ts", true},
        {"units192.m2ts", true},     {"cyrillic.ts", false},       {"h264.ts", true},
    };
    for (const Row& row : rows) {
        if (!tscard::test::HasFixture(row.Fixture)) continue;
        SCOPED_TRACE(std::string(row.Fixture) + (row.Edited ? " edited" : ""));
        // All in one window: each run starts as a fresh process would,
        // whatever the window ran before (the same stream among them).
        const std::string source = FixturePath(row.Fixture);
        const std::string output = (dir_ / (std::string("gui_") + row.Fixture)).string();
        OpenFromMenu(source, output);
        std::vector<std::string> options;
        if (row.Edited) {
            Type(Panel().Edit5, "0x0100");
            Type(Panel().Edit6, "0x0101");
            Type(Panel().Edit2, "0x0102");
            Type(Panel().Edit1, "Prov");
            Type(Panel().Edit7, "Name");
            options = {"--program-number", "0x0100", "--pmt-pid", "0x0101", "--pcr-pid", "0x0102",
                       "--provider", "Prov", "--name", "Name"};
            if (Panel().ComboBox1->isEnabled()) {
                Type(Panel().ComboBox1->lineEdit(), "0x0103");
                options.insert(options.end(), {"--audio-pids", "0x0103"});
            }
        }
        Start();
        EXPECT_TRUE(dialogs_.Unexpected().empty());
        const auto gui = tscard::test::ReadFileBytes(output);
        ASSERT_FALSE(gui.empty());
        EXPECT_TRUE(gui == CliPrepared(source, (dir_ / "cli.ts").string(), options));

        // A complete run closes the panel.
        EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
        EXPECT_EQ(State().StreamPanelOpen, 0);
        EXPECT_EQ(State().Stream.Analysis, nullptr);
        EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Unavailable);
        EXPECT_TRUE(Panel().CGauge3->isHidden());
        EXPECT_TRUE(Panel().TreeView3->isEnabled());
        EXPECT_TRUE(Panel().Label17->text().isEmpty());
        EXPECT_TRUE(Window().Menu().Open1->isEnabled());
    }
}

TEST_F(PreparePanelTest, APcrStepOverThreeQuartersOfASecondEndsTheRunWithTheMessage) {
    // A second and more of the clip cut out of its middle.
    const auto packets = tscard::test::SplitPackets(tscard::test::ReadFileBytes(FixturePath("single_vbr.ts")));
    std::vector<Packet> cut(packets.begin(), packets.begin() + long(packets.size() * 3 / 10));
    cut.insert(cut.end(), packets.begin() + long(packets.size() * 7 / 10), packets.end());
    const std::string source = (dir_ / "gap.ts").string();
    tscard::test::WriteFileBytes(source, tscard::test::JoinPackets(cut));
    const std::string output = (dir_ / "gap_pre.ts").string();
    OpenFromMenu(source, output);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Start();
    const MessageRequest& told = dialogs_.Questions().back().Message;
    EXPECT_EQ(told.Text.rfind("Invalid value PCR; delta PCR(sek)-> ", 0), 0u) << told.Text;
    EXPECT_EQ(told.Caption, "Critical error source clip");
    // What came before the gap is kept, as the command line keeps it; the panel closes.
    const tscard::test::CommandResult cli = tscard::test::RunCli({"prepare", source, (dir_ / "cli.ts").string()});
    EXPECT_EQ(cli.exit_code, 1);
    EXPECT_NE(cli.err.find(told.Text), std::string::npos) << cli.err;
    const auto gui = tscard::test::ReadFileBytes(output);
    EXPECT_FALSE(gui.empty());
    EXPECT_TRUE(gui == tscard::test::ReadFileBytes(dir_ / "cli.ts"));
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
}

TEST_F(PreparePanelTest, AStopKeepsWhatWasWrittenAndThePanelOpen) {
    const std::string output = (dir_ / "stopped.ts").string();
    OpenFromMenu(LongSource(), output);
    Panel().SpeedButton4->click();
    // Under way: the values cannot change under the run.
    EXPECT_FALSE(Panel().GroupBox8->isEnabled());
    EXPECT_FALSE(Panel().TreeView3->isEnabled());
    EXPECT_FALSE(Panel().SpeedButton20->isEnabled());
    EXPECT_EQ(Panel().SpeedButton4->Shown(), Glyph::StopSign);
    ASSERT_TRUE(WaitUntil([&] { return Panel().CGauge3->Progress() > 1 || !Window().Events().RunActive(); }));
    ASSERT_TRUE(Window().Events().RunActive()) << "the run ended before it could be stopped";
    EXPECT_TRUE(Panel().CGauge7->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return !Panel().Label17->text().isEmpty(); }));
    Panel().SpeedButton4->click();
    EXPECT_EQ(Panel().SpeedButton4->Shown(), Glyph::NoEntry);
    ASSERT_TRUE(WaitUntilIdle());

    EXPECT_GT(std::filesystem::file_size(output), 0u);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(State().StreamPanelOpen, 1);
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Unavailable);
    EXPECT_FALSE(State().StopRequested.IsSet());
    EXPECT_TRUE(Panel().Label17->text().isEmpty());
    EXPECT_TRUE(Panel().CGauge3->isHidden());
    EXPECT_FALSE(Panel().GroupBox8->isEnabled());
    EXPECT_TRUE(Panel().PrepareNote->text().startsWith("Stopped: " + QString::fromStdString(output)));
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(PreparePanelTest, ClosingThePanelDuringARunStopsTheRunFirst) {
    const std::string output = (dir_ / "closed.ts").string();
    OpenFromMenu(LongSource(), output);
    Panel().SpeedButton4->click();
    ASSERT_TRUE(WaitUntil([&] { return Panel().CGauge3->Progress() > 1 || !Window().Events().RunActive(); }));
    ASSERT_TRUE(Window().Events().RunActive());
    Panel().SpeedButton9->click();
    EXPECT_FALSE(Window().Events().Busy());
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
    EXPECT_EQ(State().StreamPanelOpen, 0);
    EXPECT_EQ(State().Stream.Analysis, nullptr);
    EXPECT_TRUE(std::filesystem::exists(output));
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(PreparePanelTest, AProgramRateOutsideTheRangeIsPreparedOnlyAfterYes) {
    const std::string source = FixturePath("high_20m.ts");
    if (!tscard::test::HasFixture("high_20m.ts")) GTEST_SKIP();
    dialogs_.AnswerFile(Kind::OpenFile, {source});
    dialogs_.AnswerMessage(DialogButton::No);
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(dialogs_.Questions().size(), 2u);
    const MessageRequest& question = dialogs_.Questions()[1].Message;
    EXPECT_EQ(question.Text.rfind("Program bitrate is long than 14,5 mbt/sek [ 20.", 0), 0u) << question.Text;
    EXPECT_NE(question.Text.find(" mBit/s] Prepare it's all the same?"), std::string::npos);
    EXPECT_EQ(question.Caption, "Prepare TS file into SD card");
    EXPECT_EQ(question.Buttons, (std::vector<DialogButton>{DialogButton::Yes, DialogButton::No}));
    // No: nothing opened.
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
    EXPECT_EQ(State().StreamPanelOpen, 0);
    EXPECT_EQ(Panel().TreeView3->topLevelItemCount(), 0);

    const std::string output = (dir_ / "fast_pre.ts").string();
    dialogs_.AnswerFile(Kind::OpenFile, {source});
    dialogs_.AnswerMessage(DialogButton::Yes);
    dialogs_.AnswerFile(Kind::SaveFile, {output});
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    Start();
    EXPECT_TRUE(tscard::test::ReadFileBytes(output) ==
                CliPrepared(source, (dir_ / "cli.ts").string(), {"--force"}));
}

TEST_F(PreparePanelTest, AFileThatDoesNotOpenIsToldAndTheDialogComesBack) {
    const std::string missing = (dir_ / "missing.ts").string();
    dialogs_.AnswerFile(Kind::OpenFile, {missing});
    dialogs_.AnswerMessage(DialogButton::Ok);
    dialogs_.Cancel(Kind::OpenFile);
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_TRUE(WaitUntil([&] { return dialogs_.AnswersLeft() == 0; }));
    ASSERT_EQ(dialogs_.Questions().size(), 3u);
    EXPECT_EQ(Asked(1), missing + ": File in use from other application (No such file or directory)");
    EXPECT_EQ(dialogs_.Questions()[2].What, Kind::OpenFile);
    EXPECT_EQ(dialogs_.Questions()[2].File.FileName, missing);
    EXPECT_EQ(State().StreamPanelOpen, 0);
}

TEST_F(PreparePanelTest, AFileThatIsNoStreamIsToldBeforeTheOutputIsAskedAndChangesNothing) {
    const std::string good = FixturePath("single_muxrate.ts");
    const std::string output = (dir_ / "good_pre.ts").string();
    struct Row {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        const char* Why;
    };
    std::vector<std::uint8_t> noise(200000);
    std::uint32_t seed = 21;
    for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    const Row rows[] = {
        {"random.ts", noise, "no 188- or 192-byte packets within the first 65536 bytes"},
        {"empty.ts", {}, "the file is empty"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        window_.reset();
        Open();
        OpenFromMenu(good, output);
        const std::string path = (dir_ / row.Name).string();
        tscard::test::WriteFileBytes(path, row.Bytes);
        const std::size_t before = dialogs_.Questions().size();
        dialogs_.AnswerFile(Kind::OpenFile, {path});
        dialogs_.AnswerMessage(DialogButton::Ok);
        Window().Menu().SimpleprogramMPEG2TS1->trigger();
        ASSERT_TRUE(WaitUntilIdle());
        // The file is looked at first: no output name is asked for it.
        ASSERT_EQ(dialogs_.Questions().size(), before + 2);
        EXPECT_EQ(Asked(before + 1), path + ": Unknow stream format (" + row.Why + ")");
        EXPECT_EQ(dialogs_.Questions().back().Message.Caption, "Synhronization error");
        // The stream opened before is still there to prepare.
        EXPECT_EQ(Panel().StaticText8->text().toStdString(), output);
        EXPECT_EQ(Text("Edit6"), "0x0400");
        EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
        EXPECT_EQ(State().OpenDialogFile, path);
    }
}

TEST_F(PreparePanelTest, AStreamWhoseAnalysisFailsLeavesNoValuesOfTheStreamBefore) {
    OpenFromMenu(FixturePath("single_muxrate.ts"), (dir_ / "good_pre.ts").string());
    // Packets, but nothing that describes a program.
    const std::string nulls = (dir_ / "nulls.ts").string();
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 2000; ++i) {
        const std::uint8_t head[] = {0x47, 0x1F, 0xFF, 0x10};
        bytes.insert(bytes.end(), head, head + 4);
        bytes.insert(bytes.end(), 184, 0xFF);
    }
    tscard::test::WriteFileBytes(nulls, bytes);
    // A stream: its output is asked, then its analysis says why it fails.
    dialogs_.AnswerFile(Kind::OpenFile, {nulls});
    dialogs_.AnswerFile(Kind::SaveFile, {(dir_ / "nulls_pre.ts").string()});
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(LastTold(), nulls + ": no PAT before the end of the file");
    for (const char* name : {"Edit1", "Edit7", "Edit5", "Edit6", "Edit2", "Edit3"}) EXPECT_EQ(Text(name), "") << name;
    EXPECT_TRUE(Panel().ComboBox1->currentText().isEmpty());
    EXPECT_EQ(Panel().ComboBox1->count(), 0);
    EXPECT_TRUE(Panel().ComboBox2->currentText().isEmpty());
    EXPECT_TRUE(Panel().StaticText8->text().isEmpty());
    EXPECT_EQ(Panel().TreeView3->topLevelItemCount(), 0);
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Unavailable);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
}

TEST_F(PreparePanelTest, AMultiProgramStreamIsShownButNotPreparedAndThePanelSaysWhy) {
    OpenFromMenu(FixturePath("multi3.ts"));
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(Panel().TreeView3->topLevelItem(0)->childCount(), 3);
    EXPECT_TRUE(Panel().TreeView3->topLevelItem(0)->child(2)->isSelected());
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Unavailable);
    EXPECT_FALSE(Panel().GroupBox8->isEnabled());
    EXPECT_TRUE(Panel().PrepareNote->isVisible());
    EXPECT_EQ(Panel().PrepareNote->text(),
              "The stream carries 3 programs; only a single-program stream can be prepared. Split it first with "
              "\"Parser multi program TS\".");
    Window().Language1Click();
    EXPECT_TRUE(Panel().PrepareNote->text().contains("«Демультиплексирование многопрограммного потока»"));
    Panel().SpeedButton4->click();
    EXPECT_FALSE(Window().Events().RunActive());
}

TEST_F(PreparePanelTest, ARunThatCannotWriteSaysWhyAndLeavesThePanelReady) {
    const std::string output = (dir_ / "no-such-folder" / "out.ts").string();
    OpenFromMenu(FixturePath("single_vbr.ts"), output);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Start();
    ASSERT_FALSE(dialogs_.Questions().empty());
    EXPECT_NE(dialogs_.Questions().back().Message.Text.find("no-such-folder"), std::string::npos)
        << dialogs_.Questions().back().Message.Text;
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(&Panel()));
    EXPECT_EQ(Panel().SpeedButton4->State(), StartState::Ready);
    EXPECT_TRUE(Panel().GroupBox8->isEnabled());
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(PreparePanelTest, TheOutputButtonProposesTheNameAsM2ts) {
    OpenFromMenu(FixturePath("single_vbr.ts"), (dir_ / "news_pre.ts").string());
    const std::string chosen = (dir_ / "other.m2ts").string();
    dialogs_.AnswerFile(Kind::SaveFile, {chosen});
    Panel().SpeedButton20->click();
    const FileRequest& request = dialogs_.Questions().back().File;
    EXPECT_EQ(request.FileName, "news_pre.m2ts");
    EXPECT_EQ(request.Folder, dir_.path().string() + "/");
    EXPECT_EQ(request.FilterIndex, 1);
    EXPECT_EQ(Panel().StaticText8->text().toStdString(), chosen);
    // Cancelled: the name stays.
    dialogs_.Cancel(Kind::SaveFile);
    Panel().SpeedButton20->click();
    EXPECT_EQ(Panel().StaticText8->text().toStdString(), chosen);
}

TEST_F(PreparePanelTest, ACompleteRunGoesToTheCardWhenTheCardFlowTakesIt) {
    std::vector<std::string> handed;
    Panel().SetCardHandOver([&](const std::string& prepared) {
        handed.push_back(prepared);
        return true;
    });
    const std::string output = (dir_ / "card.ts").string();
    OpenFromMenu(FixturePath("single_vbr.ts"), output);
    Start();
    EXPECT_EQ(handed, std::vector<std::string>{output});
    // The card flow goes on from here: the panel did not close itself.
    EXPECT_EQ(State().StreamPanelOpen, 1);
}

}  // namespace
}  // namespace tscard::app::test
