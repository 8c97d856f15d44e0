// The splice panel on ffmpeg fixtures, with the dialogs answered by the
// test: the output chosen (extension rule, overwrite question), the list
// edited, the splice run to its end, stopped, or failing; every output
// compared byte for byte with tscard-cli splice.

#include <QAbstractButton>
#include <QAction>
#include <QListWidget>
#include <QToolButton>
#include <QLocale>
#include <QTest>

#include <gmock/gmock.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/splice_panel.h"
#include "app/value_box.h"
#include "support/test_support.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;
using tscard::test::Fixture;
using tscard::test::ReadFileBytes;
using tscard::test::RunCli;
using tscard::test::TempDir;
using tscard::test::WriteFileBytes;

constexpr int kSpliceTimeoutMs = 60000;

class SplicePanelTest : public WindowTest {
protected:
    SplicePanel& Panel() { return *Window().Splice(); }

    // "To stick together" with the save dialog answered; `answer` is the
    // reply to the overwrite question, when one is expected.
    void SetUpOutput(const std::string& chosen, int filter_index = 1,
                     std::optional<DialogButton> answer = std::nullopt) {
        dialogs_.AnswerFile(Kind::SaveFile, {chosen}, filter_index);
        if (answer) dialogs_.AnswerMessage(*answer);
        Window().Menu().Tosticktogether1->trigger();
    }
    void Add(const std::vector<std::string>& paths) {
        dialogs_.AnswerFile(Kind::OpenFiles, paths);
        Panel().Button2->click();
    }
    void Focus(int row) { Panel().ListBox2->setCurrentRow(row); }
    std::vector<std::string> Shown() {
        std::vector<std::string> lines;
        for (int i = 0; i < Panel().ListBox2->count(); ++i)
            lines.push_back(Panel().ListBox2->item(i)->text().toStdString());
        return lines;
    }
    bool Splicing() { return State().Stick.Splicing; }
    void RunToEnd() {
        Panel().Button3->click();
        QTRY_VERIFY_WITH_TIMEOUT(!Splicing(), kSpliceTimeoutMs);
    }
    // What tscard-cli splice makes of the same files.
    std::vector<std::uint8_t> CliSplice(const std::string& output, const std::vector<std::string>& inputs,
                                        bool append = false) {
        std::vector<std::string> args{"splice", output};
        args.insert(args.end(), inputs.begin(), inputs.end());
        if (append) args.push_back("--append");
        const auto r = RunCli(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return ReadFileBytes(output);
    }

    TempDir dir_;
    const std::string a_ = Fixture("single_vbr.ts").string();
    const std::string b_ = Fixture("cyrillic.ts").string();
    const std::string c_ = Fixture("single_muxrate.ts").string();
};

TEST_F(SplicePanelTest, JoinsAReorderedListAsTheCommandLineDoes) {
    // No extension typed: the chosen file type's is added.
    SetUpOutput((dir_ / "joined").string(), 4);
    const std::string output = (dir_ / "joined.ts").string();
    EXPECT_TRUE(Panel().isVisible());
    EXPECT_EQ(Panel().StaticText11->text().toStdString(), output);
    EXPECT_FALSE(Panel().Button3->isEnabled());

    Add({a_, b_});
    Add({c_});
    EXPECT_EQ(Shown(), (std::vector<std::string>{a_, b_, c_}));
    EXPECT_TRUE(Panel().Button3->isEnabled());
    Focus(2);
    Panel().SpeedButton6->click();  // a c b
    Focus(0);
    Panel().SpeedButton6->click();  // the first goes last, in exchange with it: b c a
    const std::vector<std::string> order{b_, c_, a_};
    EXPECT_EQ(Shown(), order);
    EXPECT_EQ(Panel().ListBox2->currentRow(), 2);

    RunToEnd();
    EXPECT_TRUE(Panel().isHidden());
    EXPECT_FALSE(State().Stick.Output.IsOpen());
    std::uint64_t blocks = 0;
    for (const std::string& path : order) blocks += std::filesystem::file_size(path) / 65536;
    EXPECT_EQ(Panel().CGauge10->Maximum(), 1 + blocks);
    EXPECT_EQ(ReadFileBytes(output), CliSplice((dir_ / "cli.ts").string(), order));
    EXPECT_TRUE(Window().Menu().Tosticktogether1->isEnabled());
}

TEST_F(SplicePanelTest, AnExistingOutputIsReplacedOrAppendedToAsAnswered) {
    const std::vector<std::uint8_t> old(1000, 0x5A);
    struct Row {
        DialogButton Answer;
        bool Append;
    };
    for (const Row& row : {Row{DialogButton::Yes, false}, Row{DialogButton::No, true}}) {
        SCOPED_TRACE(row.Append ? "No: append" : "Yes: replace");
        const std::string output = (dir_ / "out.ts").string();
        const std::string reference = (dir_ / "reference.ts").string();
        WriteFileBytes(output, old);
        WriteFileBytes(reference, old);
        SetUpOutput(output, 1, row.Answer);
        ASSERT_TRUE(Panel().isVisible());
        const MessageRequest& asked = dialogs_.Questions().back().Message;
        EXPECT_EQ(asked.Text, "File allready exist.Overwrite?");
        EXPECT_EQ(asked.Caption, "Stick files");
        EXPECT_EQ(asked.Buttons, (std::vector<DialogButton>{DialogButton::Yes, DialogButton::No, DialogButton::Cancel}));
        EXPECT_EQ(asked.Icon, DialogIcon::Warning);

        Add({a_, b_});
        RunToEnd();
        EXPECT_EQ(ReadFileBytes(output), CliSplice(reference, {a_, b_}, row.Append));
    }
}

TEST_F(SplicePanelTest, CancellingTheOverwriteQuestionAsksForTheNameAgain) {
    const std::string taken = (dir_ / "taken.ts").string();
    WriteFileBytes(taken, std::vector<std::uint8_t>(500, 1));
    dialogs_.AnswerFile(Kind::SaveFile, {taken});
    dialogs_.AnswerMessage(DialogButton::Cancel);
    SetUpOutput((dir_ / "fresh").string(), 2);
    EXPECT_TRUE(Panel().isVisible());
    EXPECT_EQ(Panel().StaticText11->text().toStdString(), (dir_ / "fresh.m4ts").string());
    // Nothing is made before the start.
    EXPECT_FALSE(std::filesystem::exists(dir_ / "fresh.m4ts"));
    EXPECT_EQ(ReadFileBytes(taken).size(), 500u);
}

TEST_F(SplicePanelTest, CancellingTheSaveDialogKeepsTheSpliceSetUpBefore) {
    SetUpOutput((dir_ / "first.ts").string());
    Add({a_});
    dialogs_.Cancel(Kind::SaveFile);
    Window().Menu().Tosticktogether1->trigger();
    EXPECT_TRUE(Panel().isVisible());
    EXPECT_EQ(Shown(), std::vector<std::string>{a_});
    EXPECT_EQ(State().Stick.OutputPath, (dir_ / "first.ts").string());
}

TEST_F(SplicePanelTest, ListEditsMoveRowsWithTheirFiles) {
    const std::string d = Fixture("h264.ts").string();
    SetUpOutput((dir_ / "out.ts").string());
    struct Row {
        const char* What;
        int Focus;
        QToolButton* SplicePanel::*Button;
        std::vector<std::string> After;
        int Focused;
    };
    const std::vector<std::string> start{a_, b_, c_, d};
    const Row rows[] = {
        {"down", 1, &SplicePanel::SpeedButton5, {a_, c_, b_, d}, 2},
        {"up", 1, &SplicePanel::SpeedButton6, {b_, a_, c_, d}, 0},
        {"last down: exchanged with the first", 3, &SplicePanel::SpeedButton5, {d, b_, c_, a_}, 0},
        {"first up: exchanged with the last", 0, &SplicePanel::SpeedButton6, {d, b_, c_, a_}, 3},
        {"nothing focused", -1, &SplicePanel::SpeedButton5, start, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        Panel().SpeedButton7->click();
        Add(start);
        Focus(row.Focus);
        (Panel().*row.Button)->click();
        EXPECT_EQ(Shown(), row.After);
        EXPECT_EQ(SpliceEntryPaths(State().Stick), row.After);
        EXPECT_EQ(Panel().ListBox2->currentRow(), row.Focused);
    }

    // Two adjacent entries removed: both rows go, the others keep their order.
    Panel().ListBox2->clearSelection();
    Panel().ListBox2->item(1)->setSelected(true);
    Panel().ListBox2->item(2)->setSelected(true);
    Panel().SpeedButton8->click();
    EXPECT_EQ(Shown(), (std::vector<std::string>{a_, d}));
    EXPECT_EQ(SpliceEntryPaths(State().Stick), Shown());

    // Removing the rest leaves nothing to start.
    Panel().ListBox2->selectAll();
    Panel().SpeedButton8->click();
    EXPECT_TRUE(Shown().empty());
    for (QWidget* control : {static_cast<QWidget*>(Panel().Button3), static_cast<QWidget*>(Panel().SpeedButton5),
                             static_cast<QWidget*>(Panel().SpeedButton7)})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(SplicePanelTest, RefusedFilesLeaveTheListAsItWas) {
    // An output that exists already, appended to, can be chosen as an input.
    const std::string output = (dir_ / "out.ts").string();
    WriteFileBytes(output, std::vector<std::uint8_t>(188, 0x47));
    SetUpOutput(output, 1, DialogButton::No);
    Add({a_});
    struct Row {
        const char* What;
        std::vector<std::string> Chosen;
        std::string InMessage;
    };
    const Row rows[] = {
        {"the output itself", {b_, output}, "is the output of the splice"},
        {"a missing file", {b_, (dir_ / "missing.ts").string()}, "missing.ts"},
        {"more than 128 files", std::vector<std::string>(128, b_), "at most 128"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.What);
        dialogs_.AnswerFile(Kind::OpenFiles, row.Chosen);
        dialogs_.AnswerMessage(DialogButton::Ok);
        Panel().Button2->click();
        EXPECT_THAT(dialogs_.Questions().back().Message.Text, ::testing::HasSubstr(row.InMessage));
        EXPECT_EQ(Shown(), std::vector<std::string>{a_});
        EXPECT_EQ(State().Stick.FileCount, 1);
    }
}

TEST_F(SplicePanelTest, CloseDuringASpliceStopsItAndKeepsWhatWasCopied) {
    const std::string big = Fixture("long_4m.ts").string();
    const std::string output = (dir_ / "out.ts").string();
    SetUpOutput(output);
    Add({a_, big, b_});
    Panel().Button3->click();
    EXPECT_TRUE(Splicing());
    // The list cannot change under the copies.
    for (QWidget* control : {static_cast<QWidget*>(Panel().Button2), static_cast<QWidget*>(Panel().Button3),
                             static_cast<QWidget*>(Panel().SpeedButton5), static_cast<QWidget*>(Panel().SpeedButton6),
                             static_cast<QWidget*>(Panel().SpeedButton7), static_cast<QWidget*>(Panel().SpeedButton8)})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(Window().Menu().Tosticktogether1->isEnabled());

    // Close pressed as the second file's copy reports its first step.
    bool clicked = false;
    bool shown_after_click = false;
    Window().Events().SetHandler(EventId::evStickRefreshGauge, [&] {
        if (clicked || State().StickChain.Progress().CurrentIndex != 1) return;
        Panel().Button1->click();
        clicked = true;
        shown_after_click = Panel().isVisible();  // Close only stops while a splice runs
    });
    QTRY_VERIFY_WITH_TIMEOUT(!Splicing(), kSpliceTimeoutMs);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(shown_after_click);
    EXPECT_TRUE(Panel().isHidden());
    EXPECT_FALSE(State().Stick.Output.IsOpen());

    const auto full = CliSplice((dir_ / "full.ts").string(), {a_, big, b_});
    const auto kept = ReadFileBytes(output);
    const std::size_t first = std::filesystem::file_size(a_) + 188;
    ASSERT_GE(kept.size(), first);
    ASSERT_LT(kept.size(), full.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), full.begin()));
}

TEST_F(SplicePanelTest, CloseWithoutStartingClosesTheOutputAndTheList) {
    const std::string output = (dir_ / "out.ts").string();
    SetUpOutput(output);
    Add({a_, b_});
    Panel().Button1->click();
    EXPECT_TRUE(Panel().isHidden());
    EXPECT_FALSE(State().Stick.Output.IsOpen());
    EXPECT_EQ(State().Stick.FileCount, 0);
    EXPECT_EQ(Panel().ListBox2->count(), 0);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Main()));
}

TEST_F(SplicePanelTest, AFailedWriteShowsTheCoresMessage) {
    // Files may not grow past 400 KB here: the write of the second file fails.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    const std::string output = (dir_ / "out.ts").string();
    SetUpOutput(output);
    Add({a_, b_});
    struct rlimit small = saved;
    small.rlim_cur = 400000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs_.AnswerMessage(DialogButton::Ok);
    RunToEnd();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_TRUE(Panel().isHidden());
    const MessageRequest& told = dialogs_.Questions().back().Message;
    EXPECT_THAT(told.Text, ::testing::HasSubstr("out.ts"));
    EXPECT_EQ(told.Buttons, std::vector<DialogButton>{DialogButton::Ok});
}

TEST_F(SplicePanelTest, SizesAreWholeMebibytesWithTheLocalesSeparator) {
    const std::string file = (dir_ / "sized.ts").string();
    WriteFileBytes(file, std::vector<std::uint8_t>(1572863, 0x47));  // 1.5 MiB less one byte
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    SetUpOutput((dir_ / "out.ts").string());
    Add({file});
    RunToEnd();
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(Panel().StaticText12->text(), "1,000");
    EXPECT_EQ(Panel().StaticText13->text(), "1,000");
}

}  // namespace
}  // namespace tscard::app::test
