// The rules every output follows: files staged and renamed with their
// permissions kept, links followed, devices and FIFOs written in place,
// block devices and folders refused, appending cut back on failure and
// locked against a second run.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/output_file.h"
#include "support/test_support.h"

namespace tscard {
namespace {

const std::vector<std::uint8_t> kOld = {1, 2, 3};
const std::vector<std::uint8_t> kNew = {9, 8, 7, 6, 5};

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::filesystem::path& path, bool follow = true) {
    struct stat st {};
    EXPECT_EQ(follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

Status WriteNew(OutputFile& out) { return out.Output().WriteAt(out.StartOffset(), kNew.data(), kNew.size()); }

TEST(OutputFile, AFileIsReplacedOnlyWhenCommittedAndKeepsItsPermissions) {
    test::TempDir dir;
    const auto path = dir / "out.ts";
    test::WriteFileBytes(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit ? "committed" : "discarded");
        OutputFile out;
        ASSERT_TRUE(out.Open(path.string()));
        EXPECT_FALSE(out.InPlace());
        ASSERT_TRUE(WriteNew(out));
        EXPECT_EQ(test::ReadFileBytes(path), kOld) << "the old file stays until the end";
        if (commit) {
            ASSERT_TRUE(out.Commit());
        } else {
            out.Discard();
        }
        EXPECT_EQ(test::ReadFileBytes(path), commit ? kNew : kOld);
        EXPECT_EQ(ModeOf(path) & 07777, 0640u);
        EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"out.ts"}) << "no temporary file left";
    }
}

TEST(OutputFile, LinksAreFollowedAndDevicesAndFifosWrittenInPlace) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "elsewhere");
    test::WriteFileBytes(dir / "elsewhere" / "target.ts", kOld);
    std::filesystem::create_symlink("elsewhere/target.ts", dir / "link.ts");
    std::filesystem::create_symlink(dir / "elsewhere" / "later.ts", dir / "dangling.ts");

    // Through links: the file they lead to is replaced, the link stays.
    for (const char* name : {"link.ts", "dangling.ts"}) {
        SCOPED_TRACE(name);
        OutputFile out;
        ASSERT_TRUE(out.Open((dir / name).string()));
        ASSERT_TRUE(WriteNew(out));
        ASSERT_TRUE(out.Commit());
        EXPECT_TRUE(S_ISLNK(ModeOf(dir / name, false)));
        EXPECT_EQ(test::ReadFileBytes(dir / name), kNew);
    }
    EXPECT_EQ(FolderNames(dir / "elsewhere"), (std::vector<std::string>{"later.ts", "target.ts"}));

    // A character device takes the bytes where it is.
    if (test::MakeMemoryDevice(dir / "null", test::MemoryDevice::Null)) {
        OutputFile out;
        ASSERT_TRUE(out.Open((dir / "null").string()));
        EXPECT_TRUE(out.InPlace());
        ASSERT_TRUE(WriteNew(out));
        ASSERT_TRUE(WriteNew(out));
        ASSERT_TRUE(out.Commit());
        EXPECT_TRUE(S_ISCHR(ModeOf(dir / "null")));
    }

    // A FIFO gets them in order, front to back, whatever offsets are given.
    ASSERT_TRUE(test::MakeFifo(dir / "fifo"));
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = test::ReadFileBytes(dir / "fifo"); });
    {
        OutputFile out;
        ASSERT_TRUE(out.Open((dir / "fifo").string()));
        EXPECT_TRUE(out.InPlace());
        ASSERT_TRUE(out.Output().WriteAt(1000, kOld.data(), kOld.size()));
        ASSERT_TRUE(out.Output().WriteAt(0, kNew.data(), kNew.size()));
        ASSERT_TRUE(out.Commit());
    }
    reader.join();
    std::vector<std::uint8_t> both = kOld;
    both.insert(both.end(), kNew.begin(), kNew.end());
    EXPECT_EQ(received, both);
    EXPECT_TRUE(S_ISFIFO(ModeOf(dir / "fifo")));
}

TEST(OutputFile, WhatCannotTakeAFileIsRefusedUntouched) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = (dir / "socket").string();
    std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A block device node of our own (loop device numbers); it is never opened.
    const bool block = ::mknod((dir / "block").c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0;

    struct Case {
        std::string path;
        OutputRules rules;
        std::string message;
    };
    std::vector<Case> cases = {
        {(dir / "folder").string(), {}, "folder: is a folder; the output must be a file"},
        {socket_path, {}, "socket: is a socket; the output must be a file"},
        {(dir / "none" / "out.ts").string(), {}, "out.ts: cannot create the output file: No such file or directory"},
        {"-", {}, "-: this output cannot go to the standard output"},
        {"", {}, "no output file named"},
    };
    if (block) cases.push_back({(dir / "block").string(), {}, "block: is a block device; a file is written, not a device (use card write for cards)"});
    const auto before = FolderNames(dir.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Status checked = CheckOutputPath(c.path, c.rules);
        EXPECT_FALSE(checked);
        EXPECT_NE(checked.message().find(c.message), std::string::npos) << checked.message();
        OutputFile out;
        const Status opened = out.Open(c.path, c.rules);
        EXPECT_FALSE(opened);
        EXPECT_EQ(opened.message(), checked.message());
        EXPECT_EQ(FolderNames(dir.path()), before);
    }
    if (block) {
        EXPECT_TRUE(S_ISBLK(ModeOf(dir / "block")));
    }
    ::close(sock);
}

TEST(OutputFile, AppendingIsCutBackOnFailureAndASecondRunWaitsItsTurn) {
    test::TempDir dir;
    const auto path = dir / "out.ts";
    test::WriteFileBytes(path, kOld);
    OutputRules append;
    append.Mode = OutputMode::Append;

    OutputFile first;
    ASSERT_TRUE(first.Open(path.string(), append));
    EXPECT_EQ(first.StartOffset(), kOld.size());
    ASSERT_TRUE(WriteNew(first));
    OutputFile second;
    const Status refused = second.Open(path.string(), append);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.message().find("another run is adding to this file"), std::string::npos) << refused.message();
    first.Discard();
    EXPECT_EQ(test::ReadFileBytes(path), kOld) << "cut back to its old length";

    ASSERT_TRUE(second.Open(path.string(), append));
    ASSERT_TRUE(WriteNew(second));
    ASSERT_TRUE(second.Commit());
    std::vector<std::uint8_t> both = kOld;
    both.insert(both.end(), kNew.begin(), kNew.end());
    EXPECT_EQ(test::ReadFileBytes(path), both);

    // Two runs replacing one file: each writes its own, the last rename wins.
    OutputFile a, b;
    ASSERT_TRUE(a.Open(path.string()));
    ASSERT_TRUE(b.Open(path.string()));
    ASSERT_TRUE(a.Output().WriteAt(0, kOld.data(), kOld.size()));
    ASSERT_TRUE(b.Output().WriteAt(0, kNew.data(), kNew.size()));
    ASSERT_TRUE(b.Commit());
    ASSERT_TRUE(a.Commit());
    EXPECT_EQ(test::ReadFileBytes(path), kOld);
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"out.ts"});
}

TEST(OutputFile, WaitingForAFifosReaderEndsOnTheStopRequest) {
    test::TempDir dir;
    ASSERT_TRUE(test::MakeFifo(dir / "fifo"));
    StopFlag stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.Request();
    });
    OutputFile out;
    const Status opened = out.Open((dir / "fifo").string(), {}, &stop);
    stopper.join();
    EXPECT_FALSE(opened);
    EXPECT_NE(opened.message().find("fifo: stopped while waiting for a reader"), std::string::npos) << opened.message();
}

// Any name the file system takes can be written: the hidden temporary
// name is cut to fit, never inside a UTF-8 character.
TEST(OutputFile, NamesAsLongAsTheFileSystemTakesAreStaged) {
    const std::string e_acute = "\xC3\xA9";
    std::string wide;
    while (wide.size() + e_acute.size() <= 254) wide += e_acute;
    const std::string names[] = {std::string(236, 'a') + ".ts", std::string(247, 'b') + ".ts",
                                 std::string(252, 'c') + ".ts", wide + "d"};
    for (const std::string& name : names) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes");
        test::TempDir dir;
        const auto path = dir / name;
        test::WriteFileBytes(path, kOld);
        OutputFile out;
        ASSERT_TRUE(out.Open(path.string()));
        ASSERT_TRUE(WriteNew(out));
        for (const std::string& staged : FolderNames(dir.path())) {
            if (staged == name) continue;
            EXPECT_LE(staged.size(), 255u);
            EXPECT_EQ(staged.front(), '.');
            EXPECT_EQ(staged.find("\xC3."), std::string::npos) << "a character cut in two";
        }
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(test::ReadFileBytes(path), kNew);
        EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{name});
    }
}

// A run killed outright leaves its part behind: the next run that stages
// the same output removes the parts whose process is gone, and only those.
TEST(OutputFile, PartsLeftByADeadRunOfTheSameOutputAreRemoved) {
    // A process number that is free: a child's, once it has been reaped.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(::getpid());
    const std::string long_name = std::string(250, 'x') + ".ts";

    struct Case {
        std::string output;
        std::vector<std::string> removed;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"out.ts",
         {".out.ts." + dead + "-0.part", ".out.ts." + dead + "-17.part"},
         {".out.ts." + alive + "-9.part",  // its run goes on
          ".other.ts." + dead + "-0.part",  // another output's
          ".out.ts." + dead + "-0.part.keep", ".out.ts.x" + dead + "-0.part", "out.ts." + dead + "-0.part"}},
        // A long name's parts carry it cut.
        {long_name, {"." + long_name.substr(0, 255 - 2 - dead.size() - 2 - 5) + "." + dead + "-0.part"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        test::TempDir dir;
        for (const auto& name : c.removed) test::WriteFileBytes(dir / name, kOld);
        for (const auto& name : c.kept) test::WriteFileBytes(dir / name, kOld);
        OutputFile out;
        ASSERT_TRUE(out.Open((dir / c.output).string()));
        for (const auto& name : c.removed) EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
        for (const auto& name : c.kept) EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
        ASSERT_TRUE(WriteNew(out));
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(test::ReadFileBytes(dir / c.output), kNew);
    }
}

}  // namespace
}  // namespace tscard
