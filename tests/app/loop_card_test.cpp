// The card manager on a real block device: a loop device over a file,
// named with "Attach card image…" as an operator names a device that is no
// removable card, formatted, written, read back and cleared through the
// block-device backend. Each step leaves the bytes the command line leaves
// on a card image. Needs root and loop devices; skipped otherwise.

#include <QLineEdit>

#include <unistd.h>

#include <cstdlib>

#include "app/read_panel.h"
#include "app/start_button.h"
#include "app/write_panel.h"
#include "card_test_util.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using tscard::test::ReadFileBytes;
using tscard::test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr const char* kDiscovery[] = {"TSCARD_SYSFS_ROOT", "TSCARD_DEV_ROOT", "TSCARD_PROC_ROOT"};

class LoopCardWindow : public CardWindowTest {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root";
        if (!tscard::test::HasFixture("single_muxrate.ts")) GTEST_SKIP() << "fixture missing";
        backing_ = (dir_ / "backing.img").string();
        MakeImage("backing.img", 16 * kMiB, 0x5A);
        reference_ = MakeImage("reference.img", 16 * kMiB, 0x5A);
        loop_ = std::make_unique<tscard::test::AttachedLoop>(backing_);
        if (loop_->node.empty()) GTEST_SKIP() << "no loop device";
        // The machine's own disks: the device must be judged as it is.
        for (const char* name : kDiscovery) {
            saved_.emplace_back(name, std::getenv(name) ? std::getenv(name) : "");
            ::unsetenv(name);
        }
        CardWindowTest::SetUp();
    }
    void TearDown() override {
        if (window_) CardWindowTest::TearDown();
        loop_.reset();
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }

    void Cli(std::vector<std::string> args) {
        const auto r = RunCli(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }

    std::string backing_;
    std::string reference_;
    std::unique_ptr<tscard::test::AttachedLoop> loop_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(LoopCardWindow, FormatWriteReadAndClearLeaveWhatTheCommandLineLeaves) {
    const std::string node = loop_->node;
    const std::string stream = FixturePath("single_muxrate.ts");
    Attach(node);
    ASSERT_EQ(SelectedCard(), node);
    EXPECT_EQ(Shown(Panel()->StaticText4), "Unknow v0.0");

    dialogs_.AnswerMessage(DialogButton::Yes);
    Panel()->SpeedButton13->click();
    Poll();
    Cli({"card", "format", reference_});
    EXPECT_EQ(ReadFileBytes(backing_), ReadFileBytes(reference_));
    EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.0");

    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {stream});
    Panel()->SpeedButton23->click();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(Window().Write()->SpeedButton1->State(), StartState::Ready);
    Window().Write()->SpeedButton1->click();
    ASSERT_TRUE(WaitUntilIdle());
    dialogs_.AnswerMessage(DialogButton::Ok);
    Poll();
    Cli({"card", "write", reference_, stream});
    EXPECT_EQ(ReadFileBytes(backing_), ReadFileBytes(reference_));
    ASSERT_EQ(TreeTexts().mid(1), QStringList({"single_muxrate.ts"}));

    const std::string copy = (dir_ / "copy.ts").string();
    Panel()->TreeView1->topLevelItem(0)->child(0)->setSelected(true);
    dialogs_.AnswerFile(ScriptedDialogs::Kind::SaveFile, {copy}, 4);
    Panel()->SpeedButton22->click();
    Window().Read()->SpeedButton24->click();
    ASSERT_TRUE(WaitUntil([&] { return !Window().Read()->Reading(); }));
    Cli({"card", "read", reference_, "0", (dir_ / "cli-copy.ts").string()});
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(dir_ / "cli-copy.ts"));

    dialogs_.AnswerMessage(DialogButton::Yes);
    Panel()->SpeedButton19->click();
    Poll();
    Cli({"card", "clear", reference_});
    EXPECT_EQ(ReadFileBytes(backing_), ReadFileBytes(reference_));
    EXPECT_FALSE(Panel()->SpeedButton19->isEnabled());
}

}  // namespace
}  // namespace tscard::app::test
