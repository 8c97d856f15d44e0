// "Format" (rapid and full) and "Clear All" on attached card images: the
// question first, the bytes the command line writes, the card as the poll
// then shows it, and a full format stopped by the Format button.

#include <QAction>
#include <QCoreApplication>

#include "app/gauge.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using CardFormat = CardWindowTest;
using tscard::test::ReadFileBytes;
using tscard::test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;

// A card of `bytes` bytes filled with 0x5A that holds one stream entry.
std::vector<std::uint8_t> WrittenHeader() {
    std::vector<std::uint8_t> region(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(true, 3000, region.data());
    region[1] = 1;
    DirEntry entry;
    entry.StartSector = 61;
    entry.Length = 2;
    entry.LastSlot = 13;
    entry.SetName("clip.ts");
    entry.Encode(region.data() + kDirectoryOffset);
    return region;
}

TEST_F(CardFormat, FormatAndClearAskFirstAndWriteWhatTheCommandLineWrites) {
    struct Row {
        const char* Name;
        bool Clear;
        bool Full;
        std::vector<std::string> Cli;
        const char* Verb;
    };
    const Row rows[] = {
        {"rapid", false, false, {"card", "format"}, "Format"},
        {"full", false, true, {"card", "format", "--full"}, "Format"},
        {"clear", true, false, {"card", "clear"}, "Clear"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string path = MakeImage(std::string(row.Name) + ".img", 8 * kMiB, 0x5A, WrittenHeader());
        const std::string reference = MakeImage(std::string(row.Name) + "-cli.img", 8 * kMiB, 0x5A, WrittenHeader());
        std::vector<std::string> cli = row.Cli;
        cli.insert(cli.begin() + 2, reference);
        const auto r = RunCli(cli);
        ASSERT_EQ(r.exit_code, 0) << r.err;

        Attach(path);
        const std::vector<std::uint8_t> before = ReadFileBytes(path);
        QAbstractButton* command = row.Clear ? Panel()->SpeedButton19 : Panel()->SpeedButton13;
        ASSERT_TRUE(command->isEnabled());
        if (row.Full) Panel()->RadioButton2->click();

        // No (the default) leaves the card alone.
        dialogs_.AnswerMessage(DialogButton::No);
        command->click();
        const MessageRequest& question = dialogs_.Questions().back().Message;
        EXPECT_EQ(question.Text, std::string(row.Verb) + " Card " + std::to_string(Selector()->currentIndex()) +
                                     "[8 MB],Drive letter -" + path + " (DORO  v0.1)? Everything on the card will be lost.");
        EXPECT_EQ(question.Default, DialogButton::No);
        EXPECT_EQ(ReadFileBytes(path), before);

        dialogs_.AnswerMessage(DialogButton::Yes);
        command->click();
        QTRY_VERIFY_WITH_TIMEOUT(!Panel()->Formatting(), 10000);
        EXPECT_TRUE(Panel()->CGauge2->isHidden());
        EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(reference));

        // The poll finds the card again and shows it empty.
        Poll();
        EXPECT_EQ(SelectedCard(), path);
        EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.0");
        EXPECT_EQ(Shown(Panel()->StaticText3), "7.9688");
        EXPECT_EQ(Shown(Panel()->StaticText2), "7.9688");
        EXPECT_EQ(TreeTexts().size(), 1);
        EXPECT_TRUE(Panel()->SpeedButton23->isEnabled());
        EXPECT_FALSE(Panel()->SpeedButton19->isEnabled());
        EXPECT_TRUE(Panel()->SpeedButton14->isEnabled());
        EXPECT_TRUE(Window().Menu().Open1->isEnabled());
        EXPECT_TRUE(Panel()->RadioButton1->isChecked());
    }
}

TEST_F(CardFormat, TheFormatButtonStopsAFullFormatAndTheCardKeepsItsNewHeader) {
    const std::string path = MakeImage("big.img", 1024 * kMiB);
    Attach(path);
    Panel()->RadioButton2->click();
    dialogs_.AnswerMessage(DialogButton::Yes);
    Panel()->SpeedButton13->click();
    ASSERT_TRUE(Panel()->Formatting());
    // While it runs: its gauge, and only the Format button to stop it.
    EXPECT_FALSE(Panel()->CGauge2->isHidden());
    EXPECT_TRUE(Panel()->SpeedButton13->isEnabled());
    for (QWidget* other : std::initializer_list<QWidget*>{Panel()->SpeedButton19, Panel()->SpeedButton21,
                                                          Panel()->SpeedButton22, Panel()->SpeedButton23,
                                                          Panel()->RadioButton1, Panel()->RadioButton2})
        EXPECT_FALSE(other->isEnabled()) << other->objectName().toStdString();
    EXPECT_FALSE(Window().Menu().Open1->isEnabled());
    Panel()->SpeedButton13->click();
    QTRY_VERIFY_WITH_TIMEOUT(!Panel()->Formatting(), 30000);

    // Stopped before its end: the empty header is there, the last MiB was
    // never filled, and nothing needs saying.
    std::vector<std::uint8_t> header(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(false, 0, header.data());
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> head(kHeaderRegionBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, header);
    in.seekg(static_cast<std::streamoff>(1023 * kMiB));
    std::vector<char> tail(kMiB);
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](char c) { return c == 0; }));
    EXPECT_TRUE(dialogs_.Unexpected().empty());
    Poll();
    EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.0");
    EXPECT_TRUE(Panel()->SpeedButton23->isEnabled());
}

TEST_F(CardFormat, FormatWithNoCardSelectedSaysSo) {
    Window().Menu().SDcardmanadger1->trigger();
    dialogs_.AnswerMessage(DialogButton::Ok);
    Panel()->SpeedButton13->click();
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_EQ(LastQuestion(), "Select card drive first");
}

}  // namespace
}  // namespace tscard::app::test
