// Cards on a real block device: a loop device over a file, written through
// the block-device backend (O_DIRECT, exclusive open). Needs root and loop
// devices; skipped otherwise. Every loop device is detached at the end.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <poll.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "card/card_format.h"
#include "card/card_open.h"
#include "card_fake_system.h"
#include "card_test_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::RunCli;
using test::AttachedLoop;
using test::RunProgram;

constexpr std::uint64_t kMiB = 1 << 20;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool IsMounted(const std::string& mount_point) {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return Contains(text.str(), " " + mount_point + " ");
}

// A file system mounted where removable media are (/mnt); unmounted and
// its folder removed when it goes.
struct MediaMount {
    MediaMount(const std::string& node, const std::string& type) {
        char folder[] = "/mnt/tscard-test-XXXXXX";
        if (::mkdtemp(folder) == nullptr) return;
        path = folder;
        mounted = ::mount(node.c_str(), folder, type.c_str(), 0, nullptr) == 0;
    }
    ~MediaMount() {
        if (path.empty()) return;
        ::umount2(path.c_str(), MNT_DETACH);
        ::rmdir(path.c_str());
    }
    MediaMount(const MediaMount&) = delete;
    MediaMount& operator=(const MediaMount&) = delete;
    std::string path;
    bool mounted = false;
};

// Runs the command line on a pseudo-terminal, answers its question, and
// returns what it printed (stdout and stderr together) and its exit code.
test::CommandResult RunOnTerminal(const std::vector<std::string>& args, const std::string& answer) {
    test::CommandResult result;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return result;
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(TSCARD_CLI_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TSCARD_CLI_PATH, argv.data());
        ::_exit(127);
    }
    bool answered = false;
    const auto deadline = std::chrono::steady_clock::now() + test::kProgramLimit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{master, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the program has ended
        result.out.append(buffer, static_cast<std::size_t>(n));
        if (!answered && result.out.find("[y/N]") != std::string::npos) {
            const std::string line = answer + "\n";
            answered = ::write(master, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        }
    }
    int status = 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    result.timed_out = !test::WaitForExit(pid, std::max(left, std::chrono::milliseconds(0)), status);
    ::close(master);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

class LoopDevice : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root";
        test::MakeImage(backing_, 8 * kMiB + 3 * 512, 0x5A);  // not a whole number of MiB
        loop_ = std::make_unique<AttachedLoop>(backing_);
        if (loop_->node.empty()) GTEST_SKIP() << "no loop device";
        node_ = loop_->node;
    }
    void TearDown() override {
        if (!mount_point_.empty()) {
            ::umount2(mount_point_.c_str(), MNT_DETACH);
            ::rmdir(mount_point_.c_str());
        }
        loop_.reset();
    }
    std::vector<std::uint8_t> Bytes() const { return test::ReadFileBytes(backing_); }
    // "major:minor" of the loop device, as sysfs writes it.
    std::string Number() const {
        struct stat st {};
        ::stat(node_.c_str(), &st);
        return std::to_string(::major(st.st_rdev)) + ":" + std::to_string(::minor(st.st_rdev));
    }

    test::TempDir dir_;
    std::filesystem::path backing_ = dir_ / "backing.img";
    std::unique_ptr<AttachedLoop> loop_;
    std::string node_;
    std::string mount_point_;  // a mount the test made outside the media places
};

TEST_F(LoopDevice, FormatInfoAndClearThroughTheBlockDevice) {
    auto r = RunCli({"card", "format", node_, "--allow-non-removable", "--yes", "--full"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Formatted Card 0[8 MB],Drive letter -" + node_ + "\tDORO  v0.0")) << r.out;
    std::vector<std::uint8_t> bytes = Bytes();
    const std::vector<std::uint8_t> empty = test::EmptyRegion();
    EXPECT_TRUE(std::equal(empty.begin(), empty.end(), bytes.begin()));
    for (std::size_t i = kHeaderRegionBytes; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;

    r = RunCli({"card", "info", node_, "--allow-non-removable", "--details"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "File system", "DORO  v0.0")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Formatted", "yes")) << r.out;
    EXPECT_TRUE(test::HasField(r.out, "Total sectors", "16387")) << r.out;

    // A stream on the card, then Clear All: only the header region changes.
    std::vector<std::uint8_t> region = test::EmptyRegion(true, 9000);
    region[1] = 1;
    test::PutEntry(region, 0, 61, 0, 4, "x.ts");
    {
        std::fstream out(backing_, std::ios::in | std::ios::out | std::ios::binary);
        out.write(reinterpret_cast<const char*>(region.data()), static_cast<std::streamsize>(region.size()));
        out.seekp(static_cast<std::streamoff>(UnitOffset(0)));
        out.write("stream", 6);
    }
    r = RunCli({"card", "info", node_, "--allow-non-removable", "--json"});
    const nlohmann::json info = nlohmann::json::parse(r.out);
    EXPECT_EQ(info["streams"][0]["name"], "x.ts");
    EXPECT_EQ(info["streams"][0]["start_sector"], 61);
    EXPECT_TRUE(Contains(r.err, "warning: stream 0: " + node_ + ": block 0 (unit 0, sector 61) holds no stream data"))
        << r.err;
    r = RunCli({"card", "clear", node_, "--allow-non-removable", "--yes"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    bytes = Bytes();
    EXPECT_TRUE(std::equal(empty.begin(), empty.end(), bytes.begin()));
    EXPECT_EQ(std::string(bytes.begin() + UnitOffset(0), bytes.begin() + UnitOffset(0) + 6), "stream");
}

TEST_F(LoopDevice, RefusedWithoutTheOptionsAndNothingIsWritten) {
    auto r = RunCli({"card", "format", node_, "--yes"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "a loop device, not a card")) << r.err;
    EXPECT_TRUE(Contains(r.err, "--allow-non-removable")) << r.err;
    r = RunCli({"card", "info", node_});
    EXPECT_EQ(r.exit_code, 1);

    // Not on a terminal and no --yes: no question can be asked.
    r = RunCli({"card", "format", node_, "--allow-non-removable"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "--yes")) << r.err;
    EXPECT_EQ(Bytes(), std::vector<std::uint8_t>(8 * kMiB + 3 * 512, 0x5A));
}

TEST_F(LoopDevice, WritingHoldsTheDeviceExclusivelyWithDirectIo) {
    const SystemRoots roots;
    CardTarget target;
    ASSERT_TRUE(ResolveCard(node_, roots, target).ok());
    EXPECT_TRUE(target.IsBlockDevice);
    EXPECT_EQ(target.Verdict.Kind, DiskKind::NotACard);

    CardDevice device;
    ASSERT_TRUE(OpenCard(target, true, roots, device).ok());
    EXPECT_TRUE(device.Backend().DirectIo());
    EXPECT_EQ(device.TotalSectors, 16387u);
    const int other = ::open(node_.c_str(), O_RDWR | O_EXCL | O_CLOEXEC);
    EXPECT_LT(other, 0);
    EXPECT_EQ(errno, EBUSY);
    if (other >= 0) ::close(other);
    const auto r = RunCli({"card", "format", node_, "--allow-non-removable", "--yes"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "in use")) << r.err;

    // Units from an unaligned buffer go through an aligned copy.
    std::vector<std::uint8_t> data(2 * kUnitSize + 1, 0x11);
    ASSERT_TRUE(FormatCard(device, false).ok());
    ASSERT_TRUE(device.WriteUnits(3, 2, data.data() + 1).ok());
    ASSERT_TRUE(device.Flush().ok());
    std::size_t done = 0;
    EXPECT_FALSE(device.WriteUnits(static_cast<std::uint64_t>(device.DataUnits), 2, data.data(), &done).ok());
    device = CardDevice();

    const std::vector<std::uint8_t> bytes = Bytes();
    EXPECT_EQ(bytes[UnitOffset(3)], 0x11);
    EXPECT_EQ(bytes[UnitOffset(5) - 1], 0x11);
    EXPECT_EQ(bytes[UnitOffset(5)], 0x5A);
    EXPECT_EQ(bytes.size(), 8 * kMiB + 3 * 512);
}

TEST_F(LoopDevice, OnlyTheFileSystemsOfTheCardBeingWrittenAreUnmounted) {
    if (RunProgram("mkfs.ext2", {"-q", "-F", node_}).exit_code != 0) GTEST_SKIP() << "mkfs.ext2 missing";

    // Mounted in a place removable media never are: treated as part of the
    // system, never touched.
    const std::string system_place = (dir_ / "mounted").string();
    std::filesystem::create_directory(system_place);
    if (::mount(node_.c_str(), system_place.c_str(), "ext2", 0, nullptr) != 0) GTEST_SKIP() << "cannot mount";
    mount_point_ = system_place;
    auto r = RunCli({"card", "format", node_, "--allow-non-removable", "--yes"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "holds a mounted system file system (" + system_place + ")")) << r.err;
    EXPECT_TRUE(IsMounted(system_place));
    ASSERT_EQ(::umount2(system_place.c_str(), 0), 0);
    mount_point_.clear();

    // Two cards, both mounted where removable media are. Formatting the
    // first unmounts its file system only.
    const std::filesystem::path other_backing = dir_ / "other.img";
    test::MakeImage(other_backing, 4 * kMiB, 0x00);
    AttachedLoop other(other_backing);
    ASSERT_FALSE(other.node.empty());
    ASSERT_EQ(RunProgram("mkfs.ext2", {"-q", "-F", other.node}).exit_code, 0);
    MediaMount card_mount(node_, "ext2");
    MediaMount other_mount(other.node, "ext2");
    ASSERT_TRUE(card_mount.mounted && other_mount.mounted);

    r = RunCli({"card", "info", node_, "--allow-non-removable"});
    EXPECT_TRUE(Contains(r.out, "File system: Unknow v0.0")) << r.out;
    EXPECT_TRUE(IsMounted(card_mount.path));  // looking never unmounts
    r = RunCli({"card", "format", node_, "--allow-non-removable", "--yes"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(IsMounted(card_mount.path));
    EXPECT_TRUE(IsMounted(other_mount.path));
    const std::vector<std::uint8_t> bytes = Bytes();
    EXPECT_EQ(bytes[0], 0x48);
    EXPECT_EQ(bytes[2], 0x01);
}

TEST_F(LoopDevice, AskedOnATerminalOnlyYesWrites) {
    auto r = RunOnTerminal({"card", "format", node_, "--allow-non-removable"}, "n");
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "Format Card 0[8 MB],Drive letter -" + node_ +
                                    " (Unknow v0.0)? Everything on the card will be lost. [y/N]"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "not confirmed; nothing was written")) << r.out;
    EXPECT_EQ(Bytes()[0], 0x5A);

    r = RunOnTerminal({"card", "format", node_, "--allow-non-removable"}, "y");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Formatted Card 0[8 MB]")) << r.out;
    EXPECT_EQ(Bytes()[0], 0x48);
    // Clear asks the same of a formatted card.
    r = RunOnTerminal({"card", "clear", node_, "--allow-non-removable"}, "y");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "Clear Card 0[8 MB],Drive letter -" + node_ + " (DORO  v0.0)?")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Cleared Card 0[8 MB]")) << r.out;
}

TEST_F(LoopDevice, RemovalWatchNoticesTheCardChanging) {
    const SystemRoots roots;
    CardTarget target;
    ASSERT_TRUE(ResolveCard(node_, roots, target).ok());
    CardDevice device;
    ASSERT_TRUE(OpenCard(target, false, roots, device).ok());
    EXPECT_FALSE(device.Backend().Writable());
    EXPECT_TRUE(device.CheckPresent().ok());
    // The medium shrinks under the open device, as when another card is put in.
    std::filesystem::resize_file(backing_, 4 * kMiB);
    ASSERT_EQ(RunProgram("losetup", {"--set-capacity", node_}).exit_code, 0);
    const Status status = device.CheckPresent();
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(Contains(status.message(), node_)) << status.message();
}

TEST_F(LoopDevice, ACardThatDiscoveryListsNeedsNoExtraOption) {
    // The system's view: the loop device is the disk of a USB card reader.
    test::FakeSystem sys;
    sys.Add({"sdz", Number(), "1", "0", 16387});
    const test::DiscoveryEnvironment env(sys.Roots());
    auto r = RunCli({"card", "format", node_, "--yes"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Formatted Card 0[8 MB],Drive letter -" + node_)) << r.out;
    EXPECT_EQ(Bytes()[0], 0x48);
}

TEST_F(LoopDevice, APartitionIsRefusedWhateverTheOptions) {
    test::FakeSystem sys;
    sys.Add({"sdz", "8:240", "1", "0", 32768, {{"sdz1", Number()}}});
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto r = RunCli({"card", "format", node_, "--yes", "--allow-non-removable"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "is partition sdz1 of " + sys.Node("sdz") + "; the card layout takes the whole card"))
        << r.err;
    EXPECT_EQ(Bytes()[0], 0x5A);
}

TEST_F(LoopDevice, WithoutPermissionTheListSaysHowAnOrdinaryUserOpensCards) {
    if (RunProgram("setpriv", {"--version"}).exit_code != 0) GTEST_SKIP() << "setpriv missing";
    test::FakeSystem sys;
    sys.Add({"sdb", "8:16", "1", "0", 16387});
    sys.LinkNode("sdb", node_);
    sys.OpenToAll();
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto r = RunProgram("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", TSCARD_CLI_PATH, "card",
                                          "list"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    // Without UDisks2 the open is refused; the message points to it, never
    // to root or to membership of a group with raw access to every disk.
    EXPECT_TRUE(Contains(r.err, sys.Node("sdb") + ": cannot open: Permission denied; without root, card readers are "
                                                  "opened through the UDisks2 service"))
        << r.err;
    EXPECT_FALSE(Contains(r.err, "group")) << r.err;
}

}  // namespace
}  // namespace tscard
