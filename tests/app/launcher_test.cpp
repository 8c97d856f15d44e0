// Opening a stream: StartAnalysis in each mode on real streams, the
// content trees and their colours, what each ending tells the operator,
// stopping a long analysis, and jobs that run off the GUI thread.

#include <QAction>
#include <QImage>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <set>

#include "app/content_tree.h"
#include "app/gauge.h"
#include "app/start_button.h"
#include "app/value_box.h"
#include "stream_test.h"
#include "support/psi_sections.h"

namespace tscard::app::test {
namespace {

using Launching = StreamWindowTest;

struct Line {
    int Depth;
    std::string Text;
    std::optional<int> Index;  // program nodes
};

std::vector<Line> Lines(QTreeWidget* tree) {
    std::vector<Line> lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        const auto index = ProgramIndexOf(item);
        lines.push_back({depth, item->text(0).toStdString(), index ? std::optional<int>(int(*index)) : std::nullopt});
        EXPECT_TRUE(item->childCount() == 0 || item->isExpanded()) << item->text(0).toStdString();
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return lines;
}

bool operator==(const Line& a, const Line& b) { return a.Depth == b.Depth && a.Text == b.Text && a.Index == b.Index; }
void PrintTo(const Line& line, std::ostream* out) {
    *out << std::string(2 * line.Depth, ' ') << line.Text;
    if (line.Index) *out << " [" << *line.Index << "]";
}

const std::vector<Line> kSingleLines = {
    {0, "single_muxrate.ts", {}},
    {1, "Programm number -0x0800,content:", 0},
    {2, "Pid pcr -0x0201", {}},
    {2, "Pid stream -0x0201,type 0x02(video)", {}},
    {2, "Pid stream -0x0202,type 0x03(audio)", {}},
};

TEST_F(Launching, EachModeShowsTheContentInItsTreeAndArmsItsStartButton) {
    struct Row {
        AnalysisMode Mode;
        const char* Fixture;
        const char* Tree;
        const char* Panel;
        const char* Button;
        std::vector<Line> Expected;
    };
    const Row rows[] = {
        {AnalysisMode::ModeCardWrite, "single_muxrate.ts", "TreeView2", "WriteWindow", "SpeedButton1", kSingleLines},
        {AnalysisMode::ModePrepare, "single_muxrate.ts", "TreeView3", "PreparePn", "SpeedButton4", kSingleLines},
        {AnalysisMode::ModeParse,
         "multi3.ts",
         "TreeView4",
         "ParseWindow",
         "SpeedButton3",
         {{0, "multi3.ts", {}},
          {1, "Programm number -0x0001,content:", 0},
          {2, "Pid pcr -0x0200", {}},
          {2, "Pid stream -0x0200,type 0x02(video)", {}},
          {2, "Pid stream -0x0201,type 0x03(audio)", {}},
          {1, "Programm number -0x0002,content:", 1},
          {2, "Pid pcr -0x0202", {}},
          {2, "Pid stream -0x0202,type 0x02(video)", {}},
          {2, "Pid stream -0x0203,type 0x03(audio)", {}},
          {1, "Programm number -0x0003,content:", 2},
          {2, "Pid pcr -0x0204", {}},
          {2, "Pid stream -0x0204,type 0x02(video)", {}},
          {2, "Pid stream -0x0205,type 0x03(audio)", {}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Tree);
        std::vector<AnalysisEnding> endings;
        Launcher().SetEnding(row.Mode, [&](const AnalysisResult& result) { endings.push_back(result.Ending); });
        auto* button = Find<StartButton>(row.Button);
        ASSERT_TRUE(Launcher().StartAnalysis({row.Mode, FixturePath(row.Fixture)}));
        // Under way: the commands wait, the mode's panel shows it and its button stops it.
        EXPECT_FALSE(Window().Menu().Open1->isEnabled());
        EXPECT_EQ(Window().FrontPanel(), Find<QWidget>(row.Panel));
        EXPECT_EQ(button->State(), StartState::Running);
        ASSERT_TRUE(WaitUntilIdle());

        EXPECT_EQ(endings, std::vector<AnalysisEnding>{AnalysisEnding::Complete});
        EXPECT_EQ(Lines(Find<QTreeWidget>(row.Tree)), row.Expected);
        EXPECT_EQ(Window().FrontPanel(), Find<QWidget>(row.Panel));
        EXPECT_EQ(button->State(), StartState::Ready);
        EXPECT_EQ(button->Shown(), Glyph::GreenArrow);
        EXPECT_TRUE(Window().Menu().Open1->isEnabled());
        EXPECT_EQ(State().Stream.Lists.ProgramList.size(), row.Expected[0].Text == "multi3.ts" ? 3u : 1u);
        button->SetState(StartState::Unavailable);
    }
}

TEST_F(Launching, ANewAnalysisDropsTheProgramIndexesOfEveryTree) {
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModeParse, FixturePath("multi3.ts")}));
    ASSERT_TRUE(WaitUntilIdle());
    auto* parse_tree = Find<QTreeWidget>("TreeView4");
    ASSERT_EQ(ProgramIndexOf(parse_tree->topLevelItem(0)->child(2)), 2u);

    // The prepare analysis replaces ProgramList: the parse tree keeps its
    // lines, but no longer points into a list that is gone.
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModePrepare, FixturePath("single_muxrate.ts")}));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(parse_tree->topLevelItem(0)->childCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ProgramIndexOf(parse_tree->topLevelItem(0)->child(i)), std::nullopt);
    EXPECT_EQ(ProgramIndexOf(Find<QTreeWidget>("TreeView3")->topLevelItem(0)->child(0)), 0u);
}

// The colours a node's line shows.
std::set<QRgb> Colours(QTreeWidget* tree, QTreeWidgetItem* item) {
    const QImage image = tree->viewport()->grab(tree->visualItemRect(item)).toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y) & 0xFFFFFF);
    return colours;
}

TEST_F(Launching, TreeLinesShowTheirKindByColourOnWhiteOrOnGreyWhileTheTreeIsDisabled) {
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModeCardWrite, FixturePath("single_muxrate.ts")}));
    ASSERT_TRUE(WaitUntilIdle());
    auto* tree = Find<QTreeWidget>("TreeView2");
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QTreeWidgetItem* program = root->child(0);
    QTreeWidgetItem* leaf = program->child(1);
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
    const QRgb black = 0x000000, teal = 0x008080, blue = 0x0000FF, white = 0xFFFFFF, grey = 0xF5F5F5;
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled ? "enabled" : "disabled");
        tree->setEnabled(enabled);
        const QRgb background = enabled ? white : grey;
        const std::pair<QTreeWidgetItem*, QRgb> lines[] = {{root, black}, {program, teal}, {leaf, blue}};
        for (auto [item, colour] : lines) {
            const std::set<QRgb> shown = Colours(tree, item);
            EXPECT_TRUE(shown.contains(colour)) << item->text(0).toStdString();
            EXPECT_TRUE(shown.contains(background)) << item->text(0).toStdString();
        }
        EXPECT_FALSE(Colours(tree, leaf).contains(teal));
    }

    // The parse tree marks a selected program bold green on white.
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModeParse, FixturePath("multi3.ts")}));
    ASSERT_TRUE(WaitUntilIdle());
    auto* parse_tree = Find<QTreeWidget>("TreeView4");
    QTreeWidgetItem* second = parse_tree->topLevelItem(0)->child(1);
    parse_tree->clearSelection();
    second->setSelected(true);
    const std::set<QRgb> marked = Colours(parse_tree, second);
    EXPECT_TRUE(marked.contains(0x008000));
    EXPECT_TRUE(marked.contains(white));
    EXPECT_FALSE(marked.contains(teal));
}

TEST_F(Launching, AStreamThatDoesNotOpenIsToldAndNothingStarts) {
    const std::string missing = (dir_ / "gone.ts").string();
    dialogs_.AnswerMessage(DialogButton::Ok);
    EXPECT_FALSE(Launcher().StartAnalysis({AnalysisMode::ModePrepare, missing}));
    EXPECT_EQ(Asked(0), missing + ": File in use from other application (No such file or directory)");
    EXPECT_FALSE(Launcher().Analysing());
    EXPECT_FALSE(Window().Events().RunActive());
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(Find<StartButton>("SpeedButton4")->State(), StartState::Unavailable);
}

TEST_F(Launching, TheSizeOnTheCardShowsInTheChosenUnitBeforeTheStreamIsRead) {
    // 64,672 x 10 bytes fill 80 card blocks (655,360 bytes): 0.625 MiB, of
    // which the card write panel counts whole mebibytes only. The bytes are
    // no stream: the analysis then says so.
    const std::string path = (dir_ / "zeros.ts").string();
    tscard::test::WriteFileBytes(path, std::vector<std::uint8_t>(64672 * 10, 0));
    struct Row {
        AnalysisMode Mode;
        const char* Unit;
        const char* Path;
        const char* Size;
        std::string Expected;
    };
    const Row rows[] = {
        {AnalysisMode::ModeCardWrite, "RadioButton3", "StaticText1", "StaticText5", "0.000"},
        {AnalysisMode::ModeCardWrite, "RadioButton4", "StaticText1", "StaticText5", "655360"},
        {AnalysisMode::ModeParse, "RadioButton9", "StaticText6", "StaticText7", "0.625"},
        {AnalysisMode::ModeParse, "RadioButton10", "StaticText6", "StaticText7", "655360"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Unit);
        Find<QRadioButton>(row.Unit)->setChecked(true);
        dialogs_.AnswerMessage(DialogButton::Ok);
        ASSERT_TRUE(Launcher().StartAnalysis({row.Mode, path}));
        EXPECT_EQ(Find<ValueBox>(row.Path)->text().toStdString(), path);
        EXPECT_EQ(Find<ValueBox>(row.Size)->text().toStdString(), row.Expected);
        ASSERT_TRUE(WaitUntilIdle());
        const auto& asked = dialogs_.Questions().back().Message;
        EXPECT_EQ(asked.Text.rfind(path + ": Unknow stream format", 0), 0u) << asked.Text;
        EXPECT_EQ(asked.Caption, "Synhronization error");
        EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
        EXPECT_EQ(Launcher().ButtonOf(row.Mode)->State(), StartState::Unavailable);
    }
}

TEST_F(Launching, AParseOfAOneProgramStreamSaysThereIsNothingToSplit) {
    std::vector<AnalysisEnding> endings;
    Launcher().SetEnding(AnalysisMode::ModeParse, [&](const AnalysisResult& result) { endings.push_back(result.Ending); });
    dialogs_.AnswerMessage(DialogButton::Ok);
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModeParse, FixturePath("single_vbr.ts")}));
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_EQ(Asked(0), "In selected stream is only one programm.There is no need paresed it");
    EXPECT_EQ(dialogs_.Questions()[0].Message.Caption, "Content  error");
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(Find<StartButton>("SpeedButton3")->State(), StartState::Unavailable);
    EXPECT_EQ(endings, std::vector<AnalysisEnding>{AnalysisEnding::Complete});
}

// Packets of one PID without any PAT: the analysis reads to the end.
std::vector<std::uint8_t> PacketsWithoutPsi(int count) {
    std::vector<Packet> packets;
    for (int i = 0; i < count; ++i)
        packets.push_back(tscard::test::PayloadPacket(0x100, 0x55, static_cast<std::uint8_t>(i & 15)));
    return tscard::test::JoinPackets(packets);
}

TEST_F(Launching, AStreamWithoutItsTablesIsToldWithTheCoreMessage) {
    const std::string path = (dir_ / "no_psi.ts").string();
    tscard::test::WriteFileBytes(path, PacketsWithoutPsi(2000));
    dialogs_.AnswerMessage(DialogButton::Ok);
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModePrepare, path}));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Asked(0).rfind(path + ": ", 0), 0u) << Asked(0);
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(Find<StartButton>("SpeedButton4")->State(), StartState::Unavailable);
    EXPECT_EQ(Find<QTreeWidget>("TreeView3")->topLevelItemCount(), 0);
}

TEST_F(Launching, TheModesStartButtonStopsALongAnalysis) {
    // A few gigabytes without any table (a sparse file: no disk is used).
    const std::string path = (dir_ / "long.ts").string();
    tscard::test::WriteFileBytes(path, PacketsWithoutPsi(100));
    ASSERT_EQ(::truncate(path.c_str(), 4LL << 30), 0);
    std::vector<AnalysisEnding> endings;
    Launcher().SetEnding(AnalysisMode::ModePrepare, [&](const AnalysisResult& result) { endings.push_back(result.Ending); });
    ASSERT_TRUE(Launcher().StartAnalysis({AnalysisMode::ModePrepare, path}));
    auto* bar = Find<Gauge>("CGauge3");
    ASSERT_TRUE(WaitUntil([&] { return bar->Progress() > 0 || !Launcher().Analysing(); }));
    EXPECT_TRUE(bar->isVisible());
    Find<StartButton>("SpeedButton4")->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(endings, std::vector<AnalysisEnding>{AnalysisEnding::Stopped});
    EXPECT_TRUE(dialogs_.Questions().empty());
    EXPECT_EQ(Window().FrontPanel(), Find<QWidget>("MainPanel"));
    EXPECT_EQ(Find<StartButton>("SpeedButton4")->State(), StartState::Unavailable);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
    EXPECT_FALSE(State().StopRequested.IsSet());
}

TEST_F(Launching, JobsAsideRunOffTheGuiThreadAndAnswerOnIt) {
    std::atomic<bool> release{false};
    bool off_gui = false;
    int answered = 0;
    ASSERT_TRUE(Launcher().RunAside<int>(
        [&] {
            off_gui = QThread::currentThread() != qApp->thread();
            while (!release.load()) QThread::msleep(1);
            return 7;
        },
        [&](int value) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            answered = value;
        }));
    // One at a time, and no analysis meanwhile; the window stays responsive.
    EXPECT_FALSE(Launcher().RunAside<int>([] { return 0; }, [](int) {}));
    EXPECT_FALSE(Launcher().StartAnalysis({AnalysisMode::ModePrepare, FixturePath("single_muxrate.ts")}));
    EXPECT_FALSE(Window().Menu().Open1->isEnabled());
    QTest::qWait(20);
    EXPECT_EQ(answered, 0);
    release = true;
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(off_gui);
    EXPECT_EQ(answered, 7);
    EXPECT_TRUE(Window().Menu().Open1->isEnabled());
}

TEST_F(Launching, ClosingTheWindowStopsAJobAsideWaitsForItAndDropsItsAnswer) {
    bool answered = false;
    ASSERT_TRUE(Launcher().RunAside<bool>(
        [&] {
            while (!State().StopRequested.IsSet()) QThread::msleep(1);
            return true;
        },
        [&](bool) { answered = true; }));
    Window().close();
    EXPECT_FALSE(Launcher().AsideBusy());
    QCoreApplication::processEvents();
    EXPECT_FALSE(answered);
}

}  // namespace
}  // namespace tscard::app::test
