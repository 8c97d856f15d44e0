// Writing a stream to an attached card image through the write panel: the
// card gets the bytes the command line gives it, the questions come before
// anything is written, and a write that is stopped, cut short by closing
// the window, by the card's image going or by the stream shrinking leaves an
// entry for exactly the blocks on the card.

#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

#include "app/main_menu.h"
#include "app/prepare_panel.h"
#include "app/removal_watch.h"
#include "app/start_button.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "card/card_layout.h"
#include "card_window.h"
#include "card_write_util.h"
#include "ts/stream_open.h"

namespace tscard::app::test {
namespace {

using WritePanelTest = CardWindowTest;
using tscard::test::ReadFileBytes;
using tscard::test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;
constexpr const char* kFinished = "The operation of write stream on flash card finished succesfuly.";

class CardWrite : public WritePanelTest {
protected:
    // A formatted card image, as the command line formats it.
    std::string FormattedCard(const std::string& name, std::uint64_t bytes) {
        const std::string path = MakeImage(name, bytes);
        const auto r = RunCli({"card", "format", path, "--yes"});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return path;
    }

    // "Write file" with the stream, up to the armed write panel.
    void OpenForWrite(const std::string& stream) {
        dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {stream});
        Panel()->SpeedButton23->click();
        ASSERT_TRUE(WaitUntilIdle());
        ASSERT_EQ(Window().FrontPanel(), Write());
        ASSERT_EQ(Write()->SpeedButton1->State(), StartState::Ready);
    }

    // "Begin write", until the write has ended.
    void BeginWrite() {
        Write()->SpeedButton1->click();
        ASSERT_TRUE(WaitUntilIdle());
    }

    WritePanel* Write() { return Window().Write(); }

    // A write that ended badly: the panel in front tells what happened,
    // keeps no stale stream and offers "Write file" again.
    void ExpectEndedBadly(const std::string& told) {
        EXPECT_EQ(Window().FrontPanel(), Write());
        EXPECT_TRUE(Write()->WriteNote->isVisible());
        EXPECT_EQ(Write()->WriteNote->text().toStdString(), told);
        EXPECT_EQ(Write()->StaticText1->text(), "...");
        EXPECT_TRUE(Write()->StaticText5->text().isEmpty());
        EXPECT_EQ(Write()->TreeView2->topLevelItemCount(), 0);
        EXPECT_TRUE(Write()->WriteAgain->isVisible());
        EXPECT_TRUE(Write()->WriteAgain->isEnabled());
        EXPECT_EQ(Write()->WriteAgain->text(), Panel()->SpeedButton23->text());
    }

    // The header region of a card image, read through an open descriptor
    // (the image may have been deleted meanwhile).
    static std::vector<std::uint8_t> Region(int fd, std::uint64_t offset, std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        EXPECT_EQ(::pread(fd, bytes.data(), size, static_cast<off_t>(offset)), static_cast<ssize_t>(size));
        return bytes;
    }
};

TEST_F(CardWrite, TheCardGetsWhatTheCommandLineWritesAndThePollAnnouncesIt) {
    struct Row {
        const char* Fixture;
        std::uint64_t CardBytes;
        const char* Rate;  // Edit4 after the measurement
    };
    const Row rows[] = {
        // Shorter than a 10 s interval: the default rate.
        {"single_muxrate.ts", 16 * kMiB, "120000"},
        {"long_4m.ts", 32 * kMiB, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Fixture);
        if (!tscard::test::HasFixture(row.Fixture)) GTEST_SKIP() << "fixture missing";
        const std::string stream = FixturePath(row.Fixture);
        const std::string card = FormattedCard(std::string("gui-") + row.Fixture + ".img", row.CardBytes);
        const std::string reference = FormattedCard(std::string("cli-") + row.Fixture + ".img", row.CardBytes);
        const auto r = RunCli({"card", "write", reference, stream});
        ASSERT_EQ(r.exit_code, 0) << r.err;

        Attach(card);
        OpenForWrite(stream);
        EXPECT_EQ(Write()->StaticText1->text().toStdString(), stream);
        EXPECT_EQ(Write()->TreeView2->topLevelItem(0)->text(0).toStdString(), row.Fixture);
        if (row.Rate != nullptr) {
            EXPECT_EQ(Write()->Edit4->text().toStdString(), row.Rate);
        }
        // The size on the card in either unit.
        const std::int64_t card_bytes = CardBytesOf(std::filesystem::file_size(stream));
        Write()->RadioButton4->click();
        EXPECT_EQ(Write()->StaticText5->text().toStdString(), std::to_string(card_bytes));
        Write()->RadioButton3->click();
        EXPECT_EQ(Write()->StaticText5->text().toStdString(), CardWriteSizeText(card_bytes, SizeUnit::MBytes, 1.0));
        EXPECT_NE(r.err.find("Bit rate: " + Write()->Edit4->text().toStdString() + " kbit/s"), std::string::npos)
            << r.err;

        BeginWrite();
        EXPECT_EQ(ReadFileBytes(card), ReadFileBytes(reference));
        // The poll finds the card again and says the write is done, once.
        dialogs_.AnswerMessage(DialogButton::Ok);
        Poll();
        EXPECT_EQ(LastQuestion(), kFinished);
        EXPECT_EQ(dialogs_.Questions().back().Message.Caption, "End of operation");
        EXPECT_EQ(SelectedCard(), card);
        EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.1");
        EXPECT_EQ(TreeTexts().mid(1), QStringList({row.Fixture}));
        // The free space the command line sees.
        const auto info = RunCli({"card", "info", card});
        EXPECT_TRUE(tscard::test::HasField(info.out, "Free", Shown(Panel()->StaticText3).toStdString() + " MiB"))
            << info.out;
        EXPECT_TRUE(Panel()->SpeedButton19->isEnabled());
        EXPECT_NE(Window().FrontPanel(), Write());
        EXPECT_EQ(Write()->SpeedButton1->State(), StartState::Unavailable);
        Poll();
        EXPECT_EQ(LastQuestion(), kFinished);
        EXPECT_EQ(dialogs_.AnswersLeft(), 0u);
    }
}

TEST_F(CardWrite, TheSameWriteAgainGivesTheCardTheSameBytes) {
    const std::string stream = FixturePath("single_muxrate.ts");
    const std::string card = FormattedCard("card.img", 16 * kMiB);
    const std::string reference = FormattedCard("cli.img", 16 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", reference, stream}).exit_code, 0);
    Attach(card);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        OpenForWrite(stream);
        // The card holds the first write's stream: asked before it goes.
        if (run > 0) dialogs_.AnswerMessage(DialogButton::Yes);
        BeginWrite();
        EXPECT_EQ(ReadFileBytes(card), ReadFileBytes(reference));
        dialogs_.AnswerMessage(DialogButton::Ok);
        Poll();
        EXPECT_EQ(LastQuestion(), kFinished);
    }
}

TEST_F(CardWrite, TheSelectorShowsTheCardFromItsStartDuringAndAfterTheWrite) {
    if (!tscard::test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    // A path longer than the selector is wide.
    const std::filesystem::path folder = dir_ / "cards of the evening news, studio two, second floor";
    std::filesystem::create_directory(folder);
    const std::string card = FormattedCard("cards of the evening news, studio two, second floor/card.img", 32 * kMiB);
    Attach(card);
    const QString shown = Selector()->currentText();
    ASSERT_TRUE(shown.endsWith(QString::fromStdString(card)));
    // The whole text does not fit: the selector shows its start, the card's number and size.
    auto shows_its_start = [&] {
        QLineEdit* edit = Selector()->lineEdit();
        Selector()->grab();
        const QRect cursor = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        return edit->cursorPosition() == 0 && cursor.left() <= edit->contentsRect().left() + 4;
    };
    ASSERT_GT(Selector()->fontMetrics().horizontalAdvance(shown), Selector()->lineEdit()->width());
    EXPECT_TRUE(shows_its_start());

    OpenForWrite(FixturePath("long_4m.ts"));
    Write()->SpeedButton1->click();
    ASSERT_TRUE(Write()->Writing());
    EXPECT_EQ(Selector()->currentText(), shown);
    EXPECT_TRUE(shows_its_start());
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Selector()->currentText(), shown);
    EXPECT_TRUE(shows_its_start());
    dialogs_.AnswerMessage(DialogButton::Ok);
    Poll();
    EXPECT_EQ(LastQuestion(), kFinished);
    EXPECT_EQ(Selector()->currentText(), shown);
    EXPECT_TRUE(shows_its_start());

    // The card tree shows a long path cut in its middle, whole in its tip.
    QTreeWidgetItem* node = Panel()->TreeView1->topLevelItem(0);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Panel()->TreeView1->textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(node->toolTip(0), shown);
}

TEST_F(CardWrite, APrepareRunEndingWhileACardIsReadyGoesOnToTheWritePanel) {
    const std::string source = FixturePath("single_vbr.ts");
    const std::string prepared = (dir_ / "news_pre.ts").string();
    const std::string card = FormattedCard("gui-prepared.img", 16 * kMiB);
    Attach(card);
    ASSERT_TRUE(State().Cards.CardReady);

    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {source});
    dialogs_.AnswerFile(ScriptedDialogs::Kind::SaveFile, {prepared});
    Window().Menu().SimpleprogramMPEG2TS1->trigger();
    ASSERT_TRUE(WaitUntilIdle());
    Window().Prepare()->SpeedButton4->click();
    ASSERT_TRUE(WaitUntilIdle());

    // The prepared file, measured and analysed for the card.
    ASSERT_EQ(Window().FrontPanel(), Write());
    EXPECT_TRUE(Window().Prepare()->isHidden() || Window().FrontPanel() != Window().Prepare());
    EXPECT_EQ(Write()->StaticText1->text().toStdString(), prepared);
    EXPECT_EQ(Write()->TreeView2->topLevelItem(0)->text(0).toStdString(), "news_pre.ts");
    ASSERT_EQ(Write()->SpeedButton1->State(), StartState::Ready);

    const std::string reference = FormattedCard("cli-prepared.img", 16 * kMiB);
    const auto r = RunCli({"card", "write", reference, prepared, "--bitrate", Write()->Edit4->text().toStdString()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    BeginWrite();
    EXPECT_EQ(ReadFileBytes(card), ReadFileBytes(reference));
}

TEST_F(CardWrite, BeginWriteAsksFirstAndABadBitRateOrANoWritesNothing) {
    if (!tscard::test::HasFixture("single_muxrate.ts")) GTEST_SKIP() << "fixture missing";
    const std::string stream = FixturePath("single_muxrate.ts");
    // One card that already holds the stream, one too small for it: the
    // stream stores 44 blocks, its null packets kept as counts.
    const std::string holding = FormattedCard("holding.img", 16 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", holding, stream}).exit_code, 0);
    const std::string small = FormattedCard("small.img", kHeaderRegionBytes + 43 * kUnitSize + 1024);

    struct Row {
        const char* Name;
        std::string Card;
        const char* Rate;
        std::string Question;
    };
    const Row rows[] = {
        {"not a number", holding, "12x00", "The bit rate '12x00' is not a whole number of kbit/s from 1 to 213000"},
        {"none", holding, "0", "The bit rate '0' is not a whole number of kbit/s from 1 to 213000"},
        {"more than the link carries", holding, "213001", "is not a whole number of kbit/s from 1 to 213000"},
        {"too large", holding, "4294967296", "is not a whole number of kbit/s"},
        {"overwrite", holding, "3000",
         "Write single_muxrate.ts to Card 0[16 MB],Drive letter -" + holding +
             " (DORO  v0.1)? Everything on the card will be lost."},
        {"no room", small, "3000",
         "Len of file,that will be write on card,\nis  more than free space on this card.\n         Write it's all the "
         "same?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        Attach(row.Card);
        OpenForWrite(stream);
        const std::vector<std::uint8_t> before = ReadFileBytes(row.Card);
        Write()->Edit4->setText(row.Rate);
        dialogs_.AnswerMessage(DialogButton::No);
        Write()->SpeedButton1->click();
        EXPECT_NE(LastQuestion().find(row.Question), std::string::npos) << LastQuestion();
        EXPECT_EQ(dialogs_.Questions().back().Message.Caption, "Write TS file into SD card");
        EXPECT_EQ(ReadFileBytes(row.Card), before);
        EXPECT_EQ(Write()->SpeedButton1->State(), StartState::Ready);
        EXPECT_FALSE(Window().Events().Busy());
    }
}

TEST_F(CardWrite, TheRoomQuestionWeighsWhatTheStreamStoresAndANullOnlyStreamIsRefused) {
    if (!tscard::test::HasFixture("single_muxrate.ts")) GTEST_SKIP() << "fixture missing";
    // 1.4 MB as a file, 44 blocks (0.34 MB) on the card: a card of 1 MB
    // takes it without a question, and gets what the command line writes.
    const std::string stream = FixturePath("single_muxrate.ts");
    const std::string card = FormattedCard("one.img", kMiB);
    const std::string reference = FormattedCard("one-cli.img", kMiB);
    ASSERT_EQ(RunCli({"card", "write", reference, stream, "--bitrate", "3000"}).exit_code, 0);
    Attach(card);
    OpenForWrite(stream);
    Write()->Edit4->setText("3000");
    const std::size_t asked = dialogs_.Questions().size();
    BeginWrite();
    EXPECT_EQ(dialogs_.Questions().size(), asked) << LastQuestion();
    EXPECT_EQ(ReadFileBytes(card), ReadFileBytes(reference));
    dialogs_.AnswerMessage(DialogButton::Ok);
    Poll();
    EXPECT_EQ(LastQuestion(), kFinished);

    // Null packets only: refused at "Begin write", the card keeps its stream.
    const std::string nulls = (dir_ / "nulls.ts").string();
    tscard::test::WriteFileBytes(nulls, tscard::test::SourceStream{}.Nulls(3000).Bytes);
    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {nulls});
    dialogs_.AnswerMessage(DialogButton::Ok);  // no PAT: written as it is
    Panel()->SpeedButton23->click();
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(Write()->SpeedButton1->State(), StartState::Ready);
    const std::vector<std::uint8_t> before = ReadFileBytes(card);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Write()->SpeedButton1->click();
    EXPECT_EQ(LastQuestion(), "nulls.ts: the stream holds no packet to store (only null packets); nothing was written.");
    EXPECT_EQ(ReadFileBytes(card), before);
    EXPECT_FALSE(Window().Events().Busy());
}

TEST_F(CardWrite, AStoppedOrClosedWriteLeavesAnEntryForTheBlocksOnTheCard) {
    if (!tscard::test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    const std::string stream = FixturePath("long_4m.ts");
    const std::string reference = FormattedCard("cli.img", 32 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", reference, stream}).exit_code, 0);
    const std::vector<std::uint8_t> whole = ReadFileBytes(reference);

    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "closed" : "stopped");
        const std::string card = FormattedCard(close ? "closed.img" : "stopped.img", 32 * kMiB);
        Attach(card);
        OpenForWrite(stream);
        Write()->SpeedButton1->click();
        ASSERT_TRUE(Write()->Writing());
        if (close) {
            Window().close();
        } else {
            Write()->SpeedButton1->click();
            ASSERT_TRUE(WaitUntilIdle());
        }
        const std::vector<std::uint8_t> bytes = ReadFileBytes(card);
        const CardHeader header = CardHeader::Decode(bytes.data());
        ASSERT_EQ(header.FileCount, 1);
        const DirEntry entry = DirEntry::Decode(bytes.data() + kDirectoryOffset);
        EXPECT_EQ(entry.StartSector, 61u);
        EXPECT_EQ(entry.LastSlot, 0);
        EXPECT_LT(entry.Length, DirEntry::Decode(whole.data() + kDirectoryOffset).Length);
        // The blocks it counts are the stream's first blocks, as packed.
        const std::size_t stored = kHeaderRegionBytes + (std::size_t(entry.Length) + 1) * kUnitSize;
        EXPECT_TRUE(std::equal(bytes.begin() + kHeaderRegionBytes, bytes.begin() + stored,
                               whole.begin() + kHeaderRegionBytes));
        if (close) break;
        // A stop by the operator is announced as the end of the write.
        dialogs_.AnswerMessage(DialogButton::Ok);
        Poll();
        EXPECT_EQ(LastQuestion(), kFinished);
    }
}

// A stream cut short after it was analysed (and so while it is written)
// ends the write as a stop does, with the file's message: the card keeps an
// entry for the blocks on it.
TEST_F(CardWrite, AStreamThatShrinksUnderTheWriteIsToldAndTheBlocksOnTheCardAreRecorded) {
    if (!tscard::test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    const std::string stream = (dir_ / "shrinking.ts").string();
    std::filesystem::copy_file(FixturePath("long_4m.ts"), stream);
    const std::string reference = FormattedCard("cli.img", 32 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", reference, stream}).exit_code, 0);
    const std::string card = FormattedCard("card.img", 32 * kMiB);
    Attach(card);
    OpenForWrite(stream);
    const std::uintmax_t size = std::filesystem::file_size(stream);
    std::filesystem::resize_file(stream, size / 2);
    dialogs_.AnswerMessage(DialogButton::Ok);
    BeginWrite();

    EXPECT_NE(LastQuestion().find(stream + ": the file shrank while it was read (was " + std::to_string(size) +
                                  " bytes, now " + std::to_string(size / 2) + "); the write stopped: "),
              std::string::npos)
        << LastQuestion();
    const std::vector<std::uint8_t> bytes = ReadFileBytes(card);
    ASSERT_EQ(CardHeader::Decode(bytes.data()).FileCount, 1);
    const DirEntry entry = DirEntry::Decode(bytes.data() + kDirectoryOffset);
    const std::vector<std::uint8_t> whole = ReadFileBytes(reference);
    EXPECT_GT(entry.Length, 0u);
    EXPECT_LT(entry.Length, DirEntry::Decode(whole.data() + kDirectoryOffset).Length);
    const std::size_t stored = kHeaderRegionBytes + (std::size_t(entry.Length) + 1) * kUnitSize;
    EXPECT_TRUE(std::equal(bytes.begin() + kHeaderRegionBytes, bytes.begin() + stored, whole.begin() + kHeaderRegionBytes));
}

TEST_F(CardWrite, DeletingTheImageDuringAWriteIsAPulledCardAndTheBlocksOnItAreRecorded) {
    if (!tscard::test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    const std::string stream = FixturePath("long_4m.ts");
    const std::string reference = FormattedCard("cli.img", 32 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", reference, stream}).exit_code, 0);
    const std::string card = FormattedCard("card.img", 32 * kMiB);
    Attach(card);
    OpenForWrite(stream);

    // What the card holds stays readable through this descriptor.
    const int fd = ::open(card.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    Write()->SpeedButton1->click();
    ASSERT_TRUE(Write()->Writing());
    std::filesystem::remove(card);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().Watch().Look();
    EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
    ASSERT_TRUE(WaitUntilIdle());

    EXPECT_NE(LastQuestion().find(card + ": the card was removed during the write; the write was stopped: "),
              std::string::npos)
        << LastQuestion();
    // The write looks for the card before every batch of blocks: it may
    // stop before the first one got there, and then records nothing.
    const std::vector<std::uint8_t> region = Region(fd, 0, kHeaderRegionBytes);
    if (CardHeader::Decode(region.data()).FileCount == 0) {
        EXPECT_NE(LastQuestion().find("no block reached the card"), std::string::npos) << LastQuestion();
        ::close(fd);
        return;
    }
    ASSERT_EQ(CardHeader::Decode(region.data()).FileCount, 1);
    const DirEntry entry = DirEntry::Decode(region.data() + kDirectoryOffset);
    const std::uint32_t blocks = entry.Length + 1;
    EXPECT_NE(LastQuestion().find(std::to_string(blocks) + (blocks == 1 ? " block" : " blocks") + " reached the card"),
              std::string::npos)
        << LastQuestion();
    const std::vector<std::uint8_t> whole = ReadFileBytes(reference);
    const std::size_t stored = (std::size_t(entry.Length) + 1) * kUnitSize;
    EXPECT_EQ(Region(fd, kHeaderRegionBytes, stored),
              std::vector<std::uint8_t>(whole.begin() + kHeaderRegionBytes, whole.begin() + kHeaderRegionBytes + stored));
    ::close(fd);

    // No word of success follows, and the card is gone from the list.
    const std::string told = LastQuestion();
    Poll();
    for (const auto& asked : dialogs_.Questions()) EXPECT_NE(asked.Message.Text, kFinished);
    EXPECT_EQ(Selector()->count(), 0);

    // The panel says what happened, shows no stream any more and offers
    // the next write.
    ExpectEndedBadly(told);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Write()->WriteAgain->click();
    EXPECT_EQ(LastQuestion(), "Drive of SD card no selected");
    // With the card back, the next stream arms the panel afresh.
    FormattedCard("card.img", 32 * kMiB);
    Attach(card);
    OpenForWrite(stream);
    EXPECT_TRUE(Write()->WriteNote->isHidden());
    EXPECT_TRUE(Write()->WriteAgain->isHidden());
    EXPECT_FALSE(Write()->StaticText5->text().isEmpty());
}

TEST_F(CardWrite, AWriteThatFillsTheCardLeavesThePanelSayingSoAndOfferingTheNextWrite) {
    // More than the card holds, even with its null packets folded.
    const std::string card = FormattedCard("small.img", kMiB);
    Attach(card);
    OpenForWrite(FixturePath("multi3.ts"));
    dialogs_.AnswerMessage(DialogButton::Yes);  // larger than the card: written all the same
    dialogs_.AnswerMessage(DialogButton::Ok);
    BeginWrite();
    EXPECT_NE(LastQuestion().find(card + ": the card is full: "), std::string::npos) << LastQuestion();
    ExpectEndedBadly(LastQuestion());
    // "Write file" from the panel takes the next stream to it.
    const std::string next = FixturePath("single_vbr.ts");
    dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {next});
    Poll();
    Write()->WriteAgain->click();
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Window().FrontPanel(), Write());
    EXPECT_EQ(Write()->StaticText1->text().toStdString(), next);
    EXPECT_EQ(Write()->SpeedButton1->State(), StartState::Ready);
    EXPECT_TRUE(Write()->WriteNote->isHidden());
}

}  // namespace
}  // namespace tscard::app::test
