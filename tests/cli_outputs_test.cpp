// The output rules end to end, for every command that writes a file
// (prepare, demux, splice, card read): links followed, devices and FIFOs
// written in place and left what they are, block devices refused, file
// permissions kept, the standard output for splice and card read, and a
// failure that leaves the old output as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>

#include "card_test_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

mode_t ModeOf(const std::filesystem::path& path, bool follow = true) {
    struct stat st {};
    EXPECT_EQ(follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the command while `cat` reads the FIFO into `into`.
test::CommandResult RunReadingFifo(const std::filesystem::path& fifo, const std::filesystem::path& into,
                                   std::vector<std::string> args) {
    std::vector<std::string> sh = {"-c", "f=$1; g=$2; shift 2; cat \"$f\" > \"$g\" & \"$@\"; rc=$?; wait; exit $rc",
                                   "sh", fifo.string(), into.string(), TSCARD_CLI_PATH};
    sh.insert(sh.end(), args.begin(), args.end());
    return test::RunProgram("/bin/sh", sh);
}

class CliOutputs : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(test::Fixture("single_vbr.ts"), source_);
        test::MakeImage(card_, 8 << 20, 0x00);
        ASSERT_EQ(test::RunCli({"card", "format", card_.string()}).exit_code, 0);
        ASSERT_EQ(test::RunCli({"card", "write", card_.string(), source_.string(), "--bitrate", "3000"}).exit_code, 0);
    }

    struct Command {
        const char* name;
        std::function<std::vector<std::string>(const std::string&)> args;  // writing to the given output
        bool in_place_same;  // a device or FIFO gets the same bytes as a file
    };
    std::vector<Command> Commands() const {
        const std::string source = source_.string(), card = card_.string();
        return {
            {"prepare", [=](const std::string& out) { return std::vector<std::string>{"prepare", source, out, "--force"}; },
             false},  // in place, the tail is not cut
            {"splice", [=](const std::string& out) { return std::vector<std::string>{"splice", out, source, source}; }, true},
            {"card read", [=](const std::string& out) { return std::vector<std::string>{"card", "read", card, "0", out}; },
             true},
            {"card read --original",
             [=](const std::string& out) { return std::vector<std::string>{"card", "read", card, "0", out, "--original"}; },
             true},
        };
    }

    test::TempDir dir_;
    std::filesystem::path source_ = dir_ / "clip.ts";
    std::filesystem::path card_ = dir_ / "card.img";
};

TEST_F(CliOutputs, EveryCommandFollowsTheOutputRules) {
    for (const Command& c : Commands()) {
        SCOPED_TRACE(c.name);
        test::TempDir out;
        const auto reference = out / "reference.ts";
        auto r = test::RunCli(c.args(reference.string()));
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const auto expected = test::ReadFileBytes(reference);

        // An existing file keeps its permissions; a link leads to the file replaced.
        test::WriteFileBytes(out / "kept.ts", {1, 2, 3});
        ASSERT_EQ(::chmod((out / "kept.ts").c_str(), 0600), 0);
        std::filesystem::create_symlink("kept.ts", out / "link.ts");
        r = test::RunCli(c.args((out / "link.ts").string()));
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(S_ISLNK(ModeOf(out / "link.ts", false)));
        EXPECT_EQ(ModeOf(out / "kept.ts") & 07777, 0600u);
        EXPECT_EQ(test::ReadFileBytes(out / "kept.ts"), expected);

        // A FIFO is written in place for its reader, and stays a FIFO.
        ASSERT_TRUE(test::MakeFifo(out / "fifo"));
        r = RunReadingFifo(out / "fifo", out / "received.ts", c.args((out / "fifo").string()));
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(S_ISFIFO(ModeOf(out / "fifo")));
        if (c.in_place_same) {
            EXPECT_EQ(test::ReadFileBytes(out / "received.ts"), expected);
        }

        // A character device takes the output and stays a device.
        if (test::MakeMemoryDevice(out / "null", test::MemoryDevice::Null)) {
            r = test::RunCli(c.args((out / "null").string()));
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_TRUE(S_ISCHR(ModeOf(out / "null")));
        }
        // A block device and a folder are refused and left alone.
        std::filesystem::create_directory(out / "folder.ts");
        std::vector<std::pair<std::string, std::string>> refused = {{"folder.ts", "is a folder"}};
        if (::mknod((out / "block").c_str(), S_IFBLK | 0600, makedev(7, 200)) == 0)
            refused.emplace_back("block", "is a block device; a file is written, not a device (use card write for cards)");
        const auto names = FolderNames(out.path());
        for (const auto& [name, message] : refused) {
            r = test::RunCli(c.args((out / name).string()));
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_TRUE(Contains(r.err, (out / name).string() + ": " + message)) << r.err;
            EXPECT_EQ(FolderNames(out.path()), names);
        }
        if (refused.size() > 1) {
            EXPECT_TRUE(S_ISBLK(ModeOf(out / "block")));
        }
    }
}

TEST_F(CliOutputs, PreparedIntoAPipeTheTailIsNotCut) {
    ASSERT_TRUE(test::MakeFifo(dir_ / "fifo"));
    const auto r = RunReadingFifo(dir_ / "fifo", dir_ / "received.ts", {"prepare", source_.string(), (dir_ / "fifo").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::HasField(r.out, "Tail repair", "none (the output is written in place; its tail cannot be cut)"))
        << r.out;
    EXPECT_GT(std::filesystem::file_size(dir_ / "received.ts"), 0u);
}

TEST_F(CliOutputs, SpliceAndCardReadWriteTheStandardOutput) {
    for (const Command& c : Commands()) {
        if (!c.in_place_same) continue;
        SCOPED_TRACE(c.name);
        ASSERT_EQ(test::RunCli(c.args((dir_ / "reference.ts").string())).exit_code, 0);
        std::string line = "\"$0\"";
        for (const std::string& a : c.args("-")) line += " '" + a + "'";
        const auto r = test::RunProgram("/bin/sh", {"-c", line + " | cat > '" + (dir_ / "piped.ts").string() + "'",
                                                    TSCARD_CLI_PATH});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(test::ReadFileBytes(dir_ / "piped.ts"), test::ReadFileBytes(dir_ / "reference.ts"));
        EXPECT_TRUE(Contains(r.err, ": ")) << "the summary goes to stderr";
    }
    const auto r = test::RunCli({"prepare", source_.string(), "-"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "-: this output cannot go to the standard output; name a file")) << r.err;
}

TEST_F(CliOutputs, AFailureLeavesTheOldOutputAsItWas) {
    const std::vector<std::uint8_t> old(5000, 0x77);
    std::filesystem::create_directory(dir_ / "split");
    std::filesystem::copy_file(test::Fixture("multi3.ts"), dir_ / "multi3.ts");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::filesystem::path output;
    };
    const Case cases[] = {
        {"prepare", {"prepare", source_.string(), (dir_ / "out.ts").string(), "--force"}, dir_ / "out.ts"},
        {"splice", {"splice", (dir_ / "out.ts").string(), source_.string(), source_.string()}, dir_ / "out.ts"},
        {"splice --append", {"splice", (dir_ / "out.ts").string(), source_.string(), "--append"}, dir_ / "out.ts"},
        {"card read", {"card", "read", card_.string(), "0", (dir_ / "out.ts").string(), "--original"}, dir_ / "out.ts"},
        {"demux", {"demux", (dir_ / "multi3.ts").string(), (dir_ / "split").string()}, dir_ / "split" / "prg_0x0002.ts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFileBytes(c.output, old);
        const auto names = FolderNames(c.output.parent_path());
        // The file size limit stands in for a full disk: writes fail with EFBIG.
        std::vector<std::string> sh = {"-c", "ulimit -f 200; trap '' XFSZ; exec \"$@\"", "sh", TSCARD_CLI_PATH};
        sh.insert(sh.end(), c.args.begin(), c.args.end());
        const auto r = test::RunProgram("/bin/sh", sh);
        EXPECT_EQ(r.exit_code, 1) << r.err;
        EXPECT_TRUE(Contains(r.err, "cannot write")) << r.err;
        EXPECT_FALSE(Contains(r.err, "holds")) << "nothing is said to hold what it does not: " << r.err;
        EXPECT_EQ(test::ReadFileBytes(c.output), old);
        EXPECT_EQ(FolderNames(c.output.parent_path()), names) << "no partial file left";
    }
}

TEST_F(CliOutputs, AFifoWithoutAReaderHoldsNothingUpOnInterrupt) {
    ASSERT_TRUE(test::MakeFifo(dir_ / "fifo"));
    const auto r = test::RunProgram("timeout", {"--preserve-status", "-s", "INT", "0.5", TSCARD_CLI_PATH, "card", "read",
                                                card_.string(), "0", (dir_ / "fifo").string()});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "the read was stopped")) << r.err;
    EXPECT_TRUE(S_ISFIFO(ModeOf(dir_ / "fifo")));
}

}  // namespace
}  // namespace tscard
