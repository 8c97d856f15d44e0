// The card selector, the poll, attached card images, the selection
// handler's figures and commands, reselection by identity, the removal
// watch and the word about cards that could not be looked at.

#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "app/removal_watch.h"
#include "card_window.h"

namespace tscard::app::test {
namespace {

using CardManager = CardWindowTest;
using tscard::test::RunProgram;

constexpr std::uint64_t kMiB = 1 << 20;

TEST_F(CardManager, WithNoCardThePollSaysSoAndLooksAgainEverySecond) {
    Poll();
    EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
    EXPECT_EQ(Selector()->count(), 0);
    EXPECT_TRUE(Window().Timer1()->isActive());
    EXPECT_EQ(Window().Timer1()->interval(), 1000);
    // In Russian too.
    Window().Language1Click();
    Poll();
    EXPECT_EQ(Selector()->currentText(), QString::fromUtf8("Flash картa не определена"));
}

TEST_F(CardManager, SelectingACardShowsItsFiguresContentAndCommands) {
    // A stream entry as a write leaves it: version 0.1, one record.
    std::vector<std::uint8_t> written(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(true, 4000, written.data());
    written[1] = 1;  // FileCount
    DirEntry entry;
    entry.StartSector = 61;
    entry.Length = 2;
    entry.LastSlot = 13;
    entry.SetName("clip_pre.ts");
    entry.Encode(written.data() + kDirectoryOffset);

    struct Row {
        const char* Name;
        std::uint64_t Bytes;
        std::vector<std::uint8_t> Head;
        const char* FileSystem;
        const char* Capacity;
        const char* Free;
        QStringList Tree;
        bool Write, Clear;
    };
    std::vector<std::uint8_t> formatted(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(false, 0, formatted.data());
    const Row rows[] = {
        // Zeros are not the card layout.
        {"fat.img", 8 * kMiB, {}, "Unknow v0.0", "7.9688", "Mast be formated", {}, false, false},
        // A freshly formatted card of 1977614336 bytes.
        {"fresh.img", 1977614336, formatted, "DORO  v0.0", "1885.9688", "1885.9688", {"card"}, true, false},
        {"written.img", 16 * kMiB, written, "DORO  v0.1", "15.9688", "15.9531", {"card", "clip_pre.ts"}, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::string path = MakeImage(row.Name, row.Bytes, 0, row.Head);
        Attach(path);
        EXPECT_EQ(SelectedCard(), path);
        EXPECT_EQ(Window().FrontPanel(), Panel());
        EXPECT_EQ(Shown(Panel()->StaticText4), row.FileSystem);
        EXPECT_EQ(Shown(Panel()->StaticText2), row.Capacity);
        EXPECT_EQ(Shown(Panel()->StaticText3), row.Free);
        QStringList tree = TreeTexts();
        if (!tree.isEmpty()) {
            EXPECT_TRUE(tree.front().endsWith(QString::fromStdString(",Drive letter -" + path))) << tree.front().toStdString();
            tree.front() = "card";
        }
        EXPECT_EQ(tree, row.Tree);
        EXPECT_TRUE(Panel()->SpeedButton13->isEnabled());
        EXPECT_EQ(Panel()->SpeedButton23->isEnabled(), row.Write);
        EXPECT_EQ(Panel()->SpeedButton19->isEnabled(), row.Clear);
        EXPECT_FALSE(Panel()->SpeedButton22->isEnabled());
        EXPECT_TRUE(Panel()->RadioButton1->isChecked());
    }
    // Every image is listed, in the order attached, after a prompt.
    EXPECT_EQ(Items(), QStringList({QString::fromStdString("Card 0[8 MB],Drive letter -" + (dir_ / "fat.img").string()),
                                    QString::fromStdString("Card 1[1886 MB],Drive letter -" + (dir_ / "fresh.img").string()),
                                    QString::fromStdString("Card 2[16 MB],Drive letter -" + (dir_ / "written.img").string())}));
    EXPECT_FALSE(Window().Timer1()->isActive());

    // Picking the stream lets it be read; picking the card node does not.
    QTreeWidgetItem* card = Panel()->TreeView1->topLevelItem(0);
    card->child(0)->setSelected(true);
    EXPECT_TRUE(Panel()->SpeedButton22->isEnabled());
    EXPECT_EQ(State().Cards.ReadEntryIndex, 0);
    EXPECT_EQ(State().Cards.ReadEntryName, "clip_pre.ts");
    card->child(0)->setSelected(false);
    card->setSelected(true);
    EXPECT_FALSE(Panel()->SpeedButton22->isEnabled());
}

TEST_F(CardManager, TheCardManagerItemAndTheCloseButtonsFollowThePanel) {
    Window().Menu().SDcardmanadger1->trigger();
    EXPECT_EQ(Window().FrontPanel(), Panel());
    // No card shown: nothing to write or clear.
    EXPECT_FALSE(Panel()->SpeedButton23->isEnabled());
    EXPECT_FALSE(Panel()->SpeedButton19->isEnabled());
    Panel()->SpeedButton14->click();
    EXPECT_EQ(Window().FrontPanel(), Window().Main());

    Attach(MakeFormattedImage("card.img", 8 * kMiB));
    Panel()->SpeedButton21->click();
    EXPECT_EQ(Window().FrontPanel(), Window().Main());
    Window().Menu().SDcardmanadger1->trigger();
    EXPECT_EQ(Window().FrontPanel(), Panel());
    EXPECT_TRUE(Panel()->SpeedButton23->isEnabled());
    EXPECT_FALSE(Panel()->SpeedButton22->isEnabled());
}

TEST_F(CardManager, AfterARescanTheCardInUseIsFoundByItsPathNotItsPlace) {
    const std::string first = MakeFormattedImage("first.img", 8 * kMiB);
    const std::string second = MakeFormattedImage("second.img", 16 * kMiB);
    Attach(first);
    Attach(second);
    ASSERT_EQ(SelectedCard(), second);
    std::filesystem::remove(first);

    // A format rewrites the header; the poll that follows lists one card.
    dialogs_.AnswerMessage(DialogButton::Yes);
    Panel()->SpeedButton13->click();
    Poll();
    EXPECT_EQ(Selector()->count(), 1);
    EXPECT_EQ(SelectedCard(), second);
    EXPECT_EQ(Shown(Panel()->StaticText2), "15.9688");
    EXPECT_EQ(State().Cards.InUse, second);
    EXPECT_EQ(State().Cards.Attached, std::vector<std::string>{second});
}

TEST_F(CardManager, ADeletedImageIsAPulledCard) {
    const std::string path = MakeFormattedImage("card.img", 8 * kMiB);
    Attach(path);
    ASSERT_EQ(Window().FrontPanel(), Panel());
    std::filesystem::remove(path);

    // Within about a second.
    QTRY_VERIFY_WITH_TIMEOUT(Selector()->currentText().toStdString() == "No connect memory card", 1500);
    EXPECT_EQ(Selector()->count(), 0);
    EXPECT_FALSE(Window().Menu().SDcardmanadger1->isEnabled());
    EXPECT_NE(Window().FrontPanel(), Panel());
    EXPECT_TRUE(Window().Timer1()->isActive());
    EXPECT_EQ(Shown(Panel()->StaticText2), "...");
    EXPECT_FALSE(Panel()->SpeedButton13->isEnabled());
    EXPECT_TRUE(State().Cards.InUse.empty());
    Poll();
    EXPECT_TRUE(State().Cards.Attached.empty());
    EXPECT_EQ(Selector()->count(), 0);

    // Another card: the card manager item comes back with it.
    Attach(MakeFormattedImage("other.img", 8 * kMiB));
    EXPECT_EQ(Window().FrontPanel(), Panel());
    EXPECT_TRUE(Window().Menu().SDcardmanadger1->isEnabled());
}

TEST_F(CardManager, AnImageRenamedOrReplacedIsAPulledCardToo) {
    for (bool rename : {true, false}) {
        SCOPED_TRACE(rename ? "renamed" : "replaced");
        const std::string path = MakeFormattedImage("card.img", 8 * kMiB);
        Attach(path);
        ASSERT_EQ(State().Cards.InUse, path);
        if (rename) {
            std::filesystem::rename(path, dir_ / "moved.img");
        } else {
            std::filesystem::remove(path);
            MakeFormattedImage("card.img", 8 * kMiB);
        }
        Window().Watch().Look();
        EXPECT_TRUE(State().Cards.InUse.empty());
        EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
        std::filesystem::remove(dir_ / "moved.img");
        std::filesystem::remove(path);
    }
}

TEST_F(CardManager, AttachRefusesWhatIsNoCard) {
    const std::filesystem::path folder = dir_ / "folder";
    std::filesystem::create_directory(folder);
    for (const std::string& path : {std::string("/dev/null"), folder.string(), (dir_ / "missing.img").string()}) {
        SCOPED_TRACE(path);
        dialogs_.AnswerFile(ScriptedDialogs::Kind::OpenFile, {path});
        dialogs_.AnswerMessage(DialogButton::Ok);
        Window().Menu().Attachcardimage1->trigger();
        EXPECT_NE(LastQuestion().find(path), std::string::npos) << LastQuestion();
        EXPECT_TRUE(State().Cards.Attached.empty());
    }
}

// The disk the running system lives on, as its whole-disk node; empty when
// the root file system is not on a block device (a container, say).
std::string SystemDisk() {
    struct stat st {};
    if (::stat("/", &st) != 0) return {};
    const std::string base = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    std::error_code error;
    std::filesystem::path device = std::filesystem::canonical(base, error);
    if (error) return {};
    if (std::filesystem::exists(device / "partition")) device = device.parent_path();
    const std::string node = "/dev/" + device.filename().string();
    struct stat node_st {};
    return ::stat(node.c_str(), &node_st) == 0 && S_ISBLK(node_st.st_mode) ? node : std::string();
}

TEST(CardImageOption, TheSystemDiskAndWhatIsNoCardAreRefusedBeforeTheWindowOpens) {
    // The real machine's disks, not the tests' empty one.
    std::vector<std::string> args;
    for (const char* name : {"TSCARD_SYSFS_ROOT", "TSCARD_DEV_ROOT", "TSCARD_PROC_ROOT"}) args.push_back(std::string("--unset=") + name);
    args.push_back(TSCARD_APP_PATH);
    struct Row {
        std::string Path;
        std::string Says;
    };
    std::vector<Row> rows = {{"/dev/null", "neither a block device nor a card image file"}};
    if (const std::string disk = SystemDisk(); !disk.empty()) rows.push_back({disk, "it is never used as a card"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Path);
        std::vector<std::string> run = args;
        run.push_back("--card-image");
        run.push_back(row.Path);
        const auto r = RunProgram("env", run);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find(row.Path + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(row.Says), std::string::npos) << r.err;
    }
}

TEST_F(CardManager, CardsThatCannotBeLookedAtAreToldOnce) {
    // A reader's disk whose node cannot be opened.
    const std::filesystem::path machine = std::getenv("TSCARD_SYSFS_ROOT");
    const std::filesystem::path disk = machine / "block" / "sdz";
    std::filesystem::create_directories(disk / "holders");
    for (auto [file, text] : {std::pair{"dev", "8:240\n"}, {"removable", "1\n"}, {"size", "16384\n"}})
        std::ofstream(disk / file) << text;
    std::filesystem::create_directories(disk / "device");
    std::ofstream(disk / "device" / "type") << "0\n";

    dialogs_.AnswerMessage(DialogButton::Ok);
    Poll();
    Poll();
    std::filesystem::remove_all(disk);
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_NE(LastQuestion().find("/sdz: cannot open"), std::string::npos) << LastQuestion();
    EXPECT_EQ(Selector()->currentText().toStdString(), "No connect memory card");
}

}  // namespace
}  // namespace tscard::app::test
