// The window run by an ordinary user whom polkit allows the udisks2
// actions: a loop device given as the card (as --card-image names one) is
// formatted, written and read through UDisks2, and holds the bytes a root
// run of the command line leaves on a copy. A user without that permission
// is told so and changes nothing. The root side runs under
// tests/udisks_harness.sh (ctest does so) and starts this same program as
// the user for the window's part; skipped elsewhere.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "app/read_panel.h"
#include "app/start_button.h"
#include "app/write_panel.h"
#include "card_test_util.h"
#include "card_window.h"
#include "udisks_harness.h"

namespace tscard::app::test {
namespace {

using tscard::test::ReadFileBytes;

constexpr std::uint64_t kCardBytes = 16 << 20;
constexpr const char* kDiscovery[] = {"TSCARD_SYSFS_ROOT", "TSCARD_DEV_ROOT", "TSCARD_PROC_ROOT"};

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// The user's side: the window, on the card the root side names.
class UDisksWindowAsUser : public CardWindowTest {
protected:
    void SetUp() override {
        card_ = Env("TSCARD_UDISKS_CARD");
        if (card_.empty()) GTEST_SKIP() << "started by UDisksWindow only";
        // The machine's own disks: the device is judged as it is.
        for (const char* name : kDiscovery) ::unsetenv(name);
        CardWindowTest::SetUp();
    }
    std::string card_;
};

TEST_F(UDisksWindowAsUser, FormatsWritesAndReads) {
    ASSERT_NE(::geteuid(), 0u);
    // As `tscard --card-image NODE` attaches it at start.
    const Status attached = Window().Poll().Attach(card_);
    ASSERT_TRUE(attached.ok()) << attached.message();
    Window().Poll().ShowAttached(Window().State().Cards.Attached.front());
    ASSERT_EQ(SelectedCard(), card_) << (dialogs_.Unexpected().empty() ? "" : dialogs_.Unexpected().front());
    EXPECT_EQ(Shown(Panel()->StaticText4), "Unknow v0.0");

    dialogs_.AnswerMessage(DialogButton::Yes);
    Panel()->SpeedButton13->click();
    Poll();
    EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.0");

    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {Env("TSCARD_UDISKS_STREAM")});
    Panel()->SpeedButton23->click();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(Window().Write()->SpeedButton1->State(), StartState::Ready);
    Window().Write()->SpeedButton1->click();
    ASSERT_TRUE(WaitUntilIdle());
    dialogs_.AnswerMessage(DialogButton::Ok);
    Poll();
    ASSERT_EQ(TreeTexts().mid(1), QStringList({"single_muxrate.ts"}));

    Panel()->TreeView1->topLevelItem(0)->child(0)->setSelected(true);
    dialogs_.AnswerFile(ScriptedDialogs::Kind::SaveFile, {Env("TSCARD_UDISKS_COPY")}, 4);
    Panel()->SpeedButton22->click();
    Window().Read()->SpeedButton24->click();
    ASSERT_TRUE(WaitUntil([&] { return !Window().Read()->Reading(); }));
}

// Without permission the card is not listed, the window says why once,
// and the next polls do not ask again.
TEST_F(UDisksWindowAsUser, IsRefusedAndToldOnce) {
    ASSERT_NE(::geteuid(), 0u);
    const auto messages = [&] {
        return std::count_if(dialogs_.Questions().begin(), dialogs_.Questions().end(),
                             [](const auto& q) { return q.What == ScriptedDialogs::Kind::Message; });
    };
    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {card_});
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Menu().Attachcardimage1->trigger();
    ASSERT_EQ(messages(), 1);
    const std::string told = LastQuestion();
    EXPECT_NE(told.find(card_ + ": not authorized to open the card (polkit said: "), std::string::npos) << told;
    EXPECT_NE(told.find("The card refresh button asks for permission again."), std::string::npos) << told;
    EXPECT_EQ(told.find("group"), std::string::npos) << told;
    EXPECT_TRUE(Items().isEmpty());
    EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
    Poll();
    Poll();
    EXPECT_EQ(messages(), 1);
}

// The root side: the cards, the users' windows, and the root run to compare.
TEST(UDisksWindow, AnAllowedUserFormatsWritesAndReadsWithTheBytesOfARootRun) {
    const tscard::test::UDisksHarness harness;
    if (!harness.Present()) GTEST_SKIP() << "runs under tests/udisks_harness.sh (ctest runs it so)";
    const std::string stream = (harness.Shared / "single_muxrate.ts").string();
    const std::filesystem::path user_image = harness.Work / "user.img";
    const std::filesystem::path root_image = harness.Work / "root.img";
    tscard::test::MakeImage(user_image, kCardBytes, 0x5A);
    tscard::test::MakeImage(root_image, kCardBytes, 0x5A);
    const tscard::test::HarnessLoop user_card(harness, user_image);
    const tscard::test::HarnessLoop root_card(harness, root_image);
    ASSERT_FALSE(user_card.node.empty() || root_card.node.empty());

    const std::string user_copy = (harness.Work / "user-copy.ts").string();
    ::setenv("TSCARD_UDISKS_CARD", user_card.node.c_str(), 1);
    ::setenv("TSCARD_UDISKS_STREAM", stream.c_str(), 1);
    ::setenv("TSCARD_UDISKS_COPY", user_copy.c_str(), 1);
    const auto user = harness.RunAs(harness.Allowed, (harness.Shared / "tscard_gui_tests").string(),
                                    {"--gtest_filter=UDisksWindowAsUser.FormatsWritesAndReads"}, 240);
    for (const char* name : {"TSCARD_UDISKS_CARD", "TSCARD_UDISKS_STREAM", "TSCARD_UDISKS_COPY"}) ::unsetenv(name);
    ASSERT_EQ(user.exit_code, 0) << user.out << user.err;
    ASSERT_NE(user.out.find("[  PASSED  ] 1 test"), std::string::npos) << user.out;

    // The user without permission changes nothing.
    const std::vector<std::uint8_t> written = ReadFileBytes(user_image);
    ::setenv("TSCARD_UDISKS_CARD", user_card.node.c_str(), 1);
    const auto denied = harness.RunAs(harness.Denied, (harness.Shared / "tscard_gui_tests").string(),
                                      {"--gtest_filter=UDisksWindowAsUser.IsRefusedAndToldOnce"}, 120);
    ::unsetenv("TSCARD_UDISKS_CARD");
    EXPECT_EQ(denied.exit_code, 0) << denied.out << denied.err;
    EXPECT_NE(denied.out.find("[  PASSED  ] 1 test"), std::string::npos) << denied.out;
    EXPECT_EQ(ReadFileBytes(user_image), written);

    const std::string root_copy = (harness.Work / "root-copy.ts").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"card", "format", root_card.node, "--yes"},
          std::vector<std::string>{"card", "write", root_card.node, stream, "--yes"},
          std::vector<std::string>{"card", "read", root_card.node, "0", root_copy}}) {
        std::vector<std::string> all = args;
        all.push_back("--allow-non-removable");
        const auto r = tscard::test::UDisksHarness::CliAsRoot(all);
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    EXPECT_EQ(ReadFileBytes(user_image), ReadFileBytes(root_image));
    EXPECT_EQ(ReadFileBytes(user_copy), ReadFileBytes(root_copy));
    EXPECT_FALSE(ReadFileBytes(user_copy).empty());
}

}  // namespace
}  // namespace tscard::app::test
