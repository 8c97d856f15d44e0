// The card selector, the poll, attached card images, the selection
// handler's figures and commands, reselection by identity, the removal
// watch and the word about cards that could not be looked at.

#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

// The disk the running system lives on: its whole-disk node and, as sysfs
// names them, the disk and the partition that holds / (empty when / is on
// the whole disk). Empty when the root file system is not on a block
// device (a container, say).
struct RootDisk {
    std::string Node;
    std::filesystem::path Disk;       // /sys/devices/.../vda
    std::filesystem::path Partition;  // /sys/devices/.../vda/vda1, or empty
};
RootDisk FindRootDisk() {
    struct stat st {};
    if (::stat("/", &st) != 0) return {};
    const std::string base = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    std::error_code error;
    RootDisk root;
    root.Disk = std::filesystem::canonical(base, error);
    if (error) return {};
    if (std::filesystem::exists(root.Disk / "partition")) {
        root.Partition = root.Disk;
        root.Disk = root.Disk.parent_path();
    }
    const std::string node = "/dev/" + root.Disk.filename().string();
    struct stat node_st {};
    if (::stat(node.c_str(), &node_st) != 0 || !S_ISBLK(node_st.st_mode)) return {};
    root.Node = node;
    return root;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

// The machine as a chroot or a container shows it: sysfs knows the root
// disk, but mountinfo lists only the mounts in there, not the one of /.
// The environment that points the programs at it.
std::vector<std::string> ChrootLikeMachine(const std::filesystem::path& folder, const RootDisk& root) {
    const std::filesystem::path disk = folder / "sys" / "block" / root.Disk.filename();
    std::filesystem::create_directories(disk);
    std::ofstream(disk / "dev") << ReadText(root.Disk / "dev") << "\n";
    std::ofstream(disk / "removable") << "0\n";
    std::ofstream(disk / "size") << ReadText(root.Disk / "size") << "\n";
    if (!root.Partition.empty()) {
        const std::filesystem::path part = disk / root.Partition.filename();
        std::filesystem::create_directories(part);
        std::ofstream(part / "dev") << ReadText(root.Partition / "dev") << "\n";
        std::ofstream(part / "partition") << "1\n";
    }
    std::filesystem::create_directories(folder / "dev");
    std::filesystem::create_directories(folder / "proc" / "self");
    std::ofstream(folder / "proc" / "self" / "mountinfo")
        << "21 1 0:20 / /proc rw,relatime - proc proc rw\n";
    std::filesystem::create_symlink("/", folder / "proc" / "self" / "root");
    return {"TSCARD_SYSFS_ROOT=" + (folder / "sys").string(), "TSCARD_DEV_ROOT=" + (folder / "dev").string(),
            "TSCARD_PROC_ROOT=" + (folder / "proc").string()};
}

TEST(CardImageOption, ADiskOfTheSystemIsRefusedBeforeTheWindowOpensInAChrootToo) {
    const RootDisk root = FindRootDisk();
    if (root.Node.empty()) GTEST_SKIP() << "the root file system is not on a block device";
    tscard::test::TempDir dir;
    struct Row {
        const char* Name;
        std::vector<std::string> Environment;  // for env(1)
        std::string Says;
    };
    std::vector<std::string> real;  // the real machine's disks, not the tests' empty one
    for (const char* name : {"TSCARD_SYSFS_ROOT", "TSCARD_DEV_ROOT", "TSCARD_PROC_ROOT"}) real.push_back(std::string("--unset=") + name);
    const Row rows[] = {
        {"this machine", real, "it is never used as a card"},
        {"in a chroot", ChrootLikeMachine(dir.path(), root), "holds the system (the file system of /); it is never used as a card"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        std::vector<std::string> run = row.Environment;
        run.insert(run.end(), {TSCARD_APP_PATH, "--card-image", root.Node});
        const auto r = RunProgram("env", run);
        EXPECT_FALSE(r.timed_out) << "a window opened";
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find(root.Node + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(row.Says), std::string::npos) << r.err;
    }
}

TEST(CardImageOption, WhatIsNoCardOpensTheWindowAndIsToldThere) {
    // The window waits for the operator to read the message: still there
    // when its time is up.
    tscard::test::RunOptions options;
    options.Limit = std::chrono::milliseconds(3000);
    const auto r = RunProgram(TSCARD_APP_PATH, {"--card-image", "/dev/zero"}, options);
    EXPECT_TRUE(r.timed_out) << "ended with " << r.exit_code << ": " << r.err;
    EXPECT_EQ(r.err.find("tscard: /dev/zero"), std::string::npos) << r.err;
}

// What a running program's descriptor leads to, or "" when it is closed.
std::string FdTarget(pid_t pid, int fd) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), error);
    return error ? std::string() : target.string();
}

TEST(CardImageOption, AClosedStandardStreamIsNeverTakenByACardFileOrSocket) {
    tscard::test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    std::ofstream(card).close();
    std::filesystem::resize_file(card, 4 * kMiB);
    ASSERT_EQ(tscard::test::RunCli({"card", "format", card}).exit_code, 0);
    for (int closed : {0, 1, 2}) {
        SCOPED_TRACE("fd " + std::to_string(closed) + " closed");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(closed);
            ::execl(TSCARD_APP_PATH, TSCARD_APP_PATH, "--card-image", card.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The window is up once the removal watch holds the card open.
        EXPECT_TRUE(tscard::test::WaitUntilOpen(pid, card, tscard::test::kProgramLimit));
        EXPECT_EQ(FdTarget(pid, closed), "/dev/null");
        ::kill(pid, SIGKILL);
        int status = 0;
        tscard::test::WaitForExit(pid, tscard::test::kProgramLimit, status);
    }
}

TEST_F(CardManager, ImagesTheCommandLineNamesAreAttachedOrToldOnceTheWindowShows) {
    const std::string card = MakeFormattedImage("named.img", 4 * kMiB);
    const std::string missing = (dir_ / "missing.img").string();
    const std::string folder = dir_.path().string();
    ASSERT_TRUE(Window().Poll().AttachNamed({"/dev/zero", card, folder, missing}).ok());
    EXPECT_TRUE(dialogs_.Questions().empty()) << "nothing is told before the window shows";
    const std::string told[] = {
        "/dev/zero: not a card: neither a block device nor a card image file",
        folder + ": not a card: neither a block device nor a card image file",
        missing + ": cannot open",
    };
    for (int i = 0; i < 3; ++i) dialogs_.AnswerMessage(DialogButton::Ok);
    ASSERT_TRUE(WaitUntil([&] { return dialogs_.Questions().size() == 3; }));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(Asked(i).find(told[i]), std::string::npos) << Asked(i);
        EXPECT_EQ(dialogs_.Questions()[i].Message.Caption.rfind("Attach card image", 0), 0u)
            << dialogs_.Questions()[i].Message.Caption;
    }
    // The card named among them is listed and selected.
    EXPECT_EQ(SelectedCard(), card);
    EXPECT_EQ(Shown(Panel()->StaticText4), "DORO  v0.0");
}

TEST_F(CardManager, ADamagedDirectoryIsSaidToBeSoBesideTheNamesAndTheFreeSpace) {
    // A header in the layout over a directory of garbage: a name of stray
    // bytes and an entry longer than the card.
    std::vector<std::uint8_t> region(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(true, 4000, region.data());
    region[1] = 1;
    DirEntry entry;
    entry.StartSector = 61;
    entry.Length = 0x7FFFFFFF;
    entry.LastSlot = 0;
    entry.SetName("\x01\xFE\x9Cx");
    entry.Encode(region.data() + kDirectoryOffset);
    const std::string card = MakeImage("damaged.img", 4 * kMiB, 0, region);
    Attach(card);
    EXPECT_EQ(Shown(Panel()->StaticText3), "0.0000");
    const QStringList tree = TreeTexts();
    ASSERT_EQ(tree.size(), 3) << tree.join(" | ").toStdString();
    EXPECT_TRUE(tree[2].startsWith("the directory is damaged: stream 0 does not fit the card: its 2147483648 blocks "
                                   "from block 0 run past the card's data area of 508 blocks"))
        << tree[2].toStdString();
    // The command line says the same.
    const auto r = tscard::test::RunCli({"card", "info", card, "--quick"});
    EXPECT_NE(r.err.find("warning: the directory is damaged: stream 0 does not fit the card"), std::string::npos)
        << r.err;
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
