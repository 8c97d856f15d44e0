// Finding cards: which disks count as cards, what the list shows, and the
// mount information that keeps system disks out.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <map>

#include "card/card_discovery.h"
#include "card/card_list.h"
#include "card/card_open.h"
#include "card/card_panel.h"
#include "card_fake_system.h"

namespace tscard {
namespace {

using test::FakeDisk;
using test::FakePartition;
using test::FakeSystem;

constexpr std::uint64_t kMiB = 1 << 20;

// Real-looking cards beside every kind of disk that must never be listed.
class CardDiscovery : public ::testing::Test {
protected:
    CardDiscovery() {
        const std::vector<std::uint8_t> blank(kMiB, 0x00);
        sys_.Add({"sda", "8:0", "0", "0", 1 << 20, {{"sda1", "8:1"}}}, blank);               // fixed disk
        sys_.Add({"sdb", "8:16", "1", "0"}, test::FormattedCardImage(2 * kMiB, "clip.ts"));  // card reader
        sys_.Add({"sdc", "8:32", "1", "0", 4096, {{"sdc1", "8:33"}}}, blank);                // removable, holds /
        sys_.Add({"sdd", "8:48", "1", "0"}, blank);                                          // FAT-like card
        sys_.Add({"sde", "8:64", "1", "0", 0});                                              // empty slot
        sys_.Add({"sdf", "8:80", "1", "0", 4096, {{"sdf1", "8:81"}}}, blank);                // automounted card
        sys_.Add({"sdg", "8:96", "1", "0", 4096, {{"sdg1", "8:97", true}}}, blank);          // under dm-crypt
        sys_.Add({"sdh", "8:112", "1", "0"}, std::vector<std::uint8_t>(10000, 0x00));        // header unreadable
        sys_.Add({"sr0", "11:0", "1", "5"}, blank);                                          // optical drive
        sys_.Add({"loop0", "7:0", "0"}, blank);
        sys_.Add({"ram0", "1:0", "0"}, blank);
        sys_.Add({"zram0", "253:0", "0"}, blank);
        sys_.Add({"vda", "254:0", "0"}, blank);
        sys_.Add({"nvme0n1", "259:0", "0"}, blank);
        sys_.Add({"mmcblk0", "179:0", "0", "MMC"}, blank);                                   // eMMC
        sys_.Add({"mmcblk0boot0", "179:8", "0", "MMC"}, blank);
        sys_.Add({"mmcblk1", "179:16", "0", "SD"}, test::FormattedCardImage(3 * kMiB));      // SD slot
        sys_.SetReader("sdb", "Generic-", "SD/MMC Reader   ");
        sys_.SetDeviceAttribute("mmcblk1", "name", "SD16G");
        sys_.SetMounts(FakeSystem::MountLine(21, "8:33", "/", "ext4", "/dev/sdc1") +
                       FakeSystem::MountLine(22, "0:30", "/proc", "proc", "proc") +
                       FakeSystem::MountLine(23, "8:81", "/media/op/MY\\040CARD", "vfat", "/dev/sdf1"));
    }

    FakeSystem sys_;
};

TEST_F(CardDiscovery, OnlyCardReadersAndSdSlotsAreCards) {
    const SystemRoots roots = sys_.Roots();
    SystemUse use;
    ASSERT_TRUE(ReadSystemUse(roots, use).ok());
    std::vector<DiskInfo> disks;
    ASSERT_TRUE(ReadDisks(roots, disks).ok());
    std::map<std::string, DiskKind> kinds;
    for (const DiskInfo& disk : disks) kinds[disk.Name] = ClassifyDisk(disk, use, roots).Kind;
    const std::map<std::string, DiskKind> expected = {
        {"sda", DiskKind::NotACard},     {"sdb", DiskKind::Card},         {"sdc", DiskKind::SystemDisk},
        {"sdd", DiskKind::Card},         {"sde", DiskKind::EmptySlot},    {"sdf", DiskKind::Card},
        {"sdg", DiskKind::SystemDisk},   {"sdh", DiskKind::Card},         {"sr0", DiskKind::NotACard},
        {"loop0", DiskKind::NotACard},   {"ram0", DiskKind::NotACard},    {"zram0", DiskKind::NotACard},
        {"vda", DiskKind::NotACard},     {"nvme0n1", DiskKind::NotACard}, {"mmcblk0", DiskKind::NotACard},
        {"mmcblk0boot0", DiskKind::NotACard}, {"mmcblk1", DiskKind::Card},
    };
    EXPECT_EQ(kinds, expected);
}

TEST_F(CardDiscovery, ListShowsEachCardAsTheChooserDoes) {
    CardList list;
    ASSERT_TRUE(ScanCards(sys_.Roots(), list).ok());
    ASSERT_EQ(list.Records.size(), 4u);
    const std::string dev = sys_.Roots().Dev;
    EXPECT_EQ(list.Records[0].ItemText, "Card 0[2 MB],Drive letter -" + dev + "/sdb");
    EXPECT_EQ(list.Records[1].ItemText, "Card 1[1 MB],Drive letter -" + dev + "/sdd");
    EXPECT_EQ(list.Records[2].ItemText, "Card 2[1 MB],Drive letter -" + dev + "/sdf");
    EXPECT_EQ(list.Records[3].ItemText, "Card 3[3 MB],Drive letter -" + dev + "/mmcblk1");
    EXPECT_EQ(list.Records[0].ReaderModel, "Generic- SD/MMC Reader");
    EXPECT_EQ(list.Records[1].ReaderModel, "") << "sysfs names no vendor or model";
    EXPECT_EQ(list.Records[3].ReaderModel, "SD slot (card SD16G)");

    const CardPanelView written = DescribeCard(list.Records[0]);
    EXPECT_EQ(written.FileSystemText, "DORO  v0.1");
    EXPECT_TRUE(written.Formatted);
    EXPECT_EQ(written.CapacityText, UnitsAsMegabytes(list.Records[0].DataUnits));
    EXPECT_EQ(list.Records[0].FreeUnits, list.Records[0].DataUnits - 2);
    EXPECT_EQ(written.StreamNames, std::vector<std::string>{"clip.ts"});

    const CardPanelView fat = DescribeCard(list.Records[1]);
    EXPECT_EQ(fat.FileSystemText, "Unknow v0.0");
    EXPECT_FALSE(fat.Formatted);
    EXPECT_EQ(fat.FreeText, "Mast be formated");
    EXPECT_EQ(list.Records[1].HeaderValid, 0);

    const CardPanelView fresh = DescribeCard(list.Records[3]);
    EXPECT_EQ(fresh.FileSystemText, "DORO  v0.0");
    EXPECT_EQ(fresh.FreeText, fresh.CapacityText);
    EXPECT_TRUE(fresh.StreamNames.empty());

    // The card whose header cannot be read and that has no file system is
    // left out, with the reason.
    ASSERT_EQ(list.Problems.size(), 1u);
    EXPECT_NE(list.Problems[0].English().find(dev + "/sdh"), std::string::npos) << list.Problems[0];
}

TEST_F(CardDiscovery, ResolvingACardArgument) {
    const SystemRoots roots = sys_.Roots();
    CardTarget target;
    // The fake nodes are regular files: card images, accepted as cards.
    ASSERT_TRUE(ResolveCard(sys_.Node("sda"), roots, target).ok());
    EXPECT_FALSE(target.IsBlockDevice);
    EXPECT_EQ(target.Verdict.Kind, DiskKind::Card);

    Status status = ResolveCard(sys_.Node("sde"), roots, target);  // no node at all
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("sde"), std::string::npos);
    status = ResolveCard(roots.Dev, roots, target);  // a folder
    EXPECT_NE(status.message().find("not a card"), std::string::npos) << status.message();
}

TEST(CardMounts, MountInfoLines) {
    const std::string text =
        "21 1 8:33 / / rw,relatime shared:1 - ext4 /dev/sdc1 rw\n"
        "22 21 8:81 / /media/op/MY\\040CARD rw,nosuid master:3 shared:7 - vfat /dev/sdf1 rw,uid=1000\n"
        "23 21 0:40 /@home /home rw - btrfs /dev/sda2 rw\n"
        "garbage line\n"
        "24 21 8:1 / /boot rw - ext2\n";  // no source: malformed
    const std::vector<MountEntry> mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].Number, (DeviceNumber{8, 33}));
    EXPECT_EQ(mounts[0].MountPoint, "/");
    EXPECT_EQ(mounts[1].MountPoint, "/media/op/MY CARD");
    EXPECT_EQ(mounts[1].FileSystem, "vfat");
    EXPECT_EQ(mounts[1].Source, "/dev/sdf1");
    EXPECT_EQ(mounts[2].Number, (DeviceNumber{0, 40}));
    EXPECT_EQ(mounts[2].Source, "/dev/sda2");

    EXPECT_EQ(ParseSwaps("Filename\tType\tSize\tUsed\tPriority\n/dev/sda3  partition 1 0 -2\n/swapfile file 1 0 -3\n"),
              (std::vector<std::string>{"/dev/sda3", "/swapfile"}));
}

TEST(CardMounts, WhereRemovableMediaAreMounted) {
    const std::pair<const char*, bool> cases[] = {
        {"/media/op/CARD", true}, {"/media", true},  {"/run/media/op/CARD", true}, {"/mnt/card", true},
        {"/", false},             {"/home", false},  {"/mediafiles", false},       {"/tmp/card", false},
        {"/boot/efi", false},     {"/mntx", false},
    };
    for (const auto& [mount_point, removable] : cases)
        EXPECT_EQ(IsRemovableMediaMountPoint(mount_point), removable) << mount_point;
}

// "major:minor" of the file system a real file lives on.
std::string DeviceOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
}

TEST(SystemDisks, TheDisksOfTheRootTheProgramAndTheHomeFolderAreSystemDisksWhateverMountinfoSays) {
    // Three real files on three file systems stand for the root, the
    // program and the home folder; mountinfo, as in a chroot, lists none.
    const std::string root = DeviceOf("/"), program = DeviceOf("/dev/null"), home = DeviceOf("/proc");
    if (root.empty() || program.empty() || home.empty() || root == program || root == home || program == home)
        GTEST_SKIP() << "/, /dev and /proc are not three file systems here";
    FakeSystem sys;
    sys.Add({"vda", root, "0"});
    sys.Add({"sdb", "8:16", "1", "0", 4096, {{"sdb1", program}}});  // a card reader's disk
    sys.Add({"mmcblk1", home, "0", "SD"});
    sys.Add({"sdc", "8:32", "1", "0"});
    sys.LinkProc("root", "/");
    sys.LinkProc("exe", "/dev/null");
    SystemRoots roots = sys.Roots();
    roots.Home = "/proc";
    SystemUse use;
    ASSERT_TRUE(ReadSystemUse(roots, use).ok());
    std::vector<DiskInfo> disks;
    ASSERT_TRUE(ReadDisks(roots, disks).ok());
    std::map<std::string, std::string> reasons;
    for (const DiskInfo& disk : disks) {
        const DiskVerdict verdict = ClassifyDisk(disk, use, roots);
        reasons[disk.Name] = verdict.Kind == DiskKind::SystemDisk ? verdict.Reason : "";
    }
    const std::map<std::string, std::string> expected = {
        {"vda", "holds the system (the file system of /)"},
        {"sdb", "holds the system (the file system of the running program)"},
        {"mmcblk1", "holds the system (the file system of the home folder)"},
        {"sdc", ""},
    };
    EXPECT_EQ(reasons, expected);
}

TEST(SystemDisks, CardInfoOnTheRootDiskInAChrootSaysItHoldsTheSystem) {
    struct stat st {};
    ASSERT_EQ(::stat("/", &st), 0);
    const std::string number = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    std::error_code error;
    std::filesystem::path device = std::filesystem::canonical("/sys/dev/block/" + number, error);
    if (error) GTEST_SKIP() << "the root file system is not on a block device";
    FakeSystem sys;
    const bool partition = std::filesystem::exists(device / "partition");
    const std::filesystem::path disk = partition ? device.parent_path() : device;
    std::ifstream dev_file(disk / "dev");
    std::string disk_number;
    dev_file >> disk_number;
    const std::string node = "/dev/" + disk.filename().string();
    if (!std::filesystem::is_block_file(node)) GTEST_SKIP() << node << " is not here";
    std::vector<FakePartition> parts;
    if (partition) parts.emplace_back(device.filename().string(), number);
    sys.Add({disk.filename().string(), disk_number, "0", "", 4096, parts});
    sys.LinkProc("root", "/");
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto r = test::RunCli({"card", "info", node, "--allow-non-removable"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(node + ": holds the system (the file system of /); it is never used as a card"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace tscard
