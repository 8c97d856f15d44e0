// Cards for an ordinary user: the command line run as a user whom polkit
// allows the udisks2 actions opens, unmounts and writes a loop device
// through UDisks2 and leaves the bytes a root run leaves; a user without
// that permission is refused at every command and the card stays as it
// was. Runs under tests/udisks_harness.sh (ctest does so), skipped
// elsewhere.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "card/card_layout.h"
#include "card_fake_system.h"
#include "card_test_util.h"
#include "udisks_harness.h"

namespace tscard {
namespace {

using test::ReadFileBytes;

constexpr std::uint64_t kCardBytes = 16 << 20;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Number(const std::string& node) {
    struct stat st {};
    ::stat(node.c_str(), &st);
    return std::to_string(::major(st.st_rdev)) + ":" + std::to_string(::minor(st.st_rdev));
}

bool IsMounted(const std::string& mount_point) {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return Contains(text.str(), " " + mount_point + " ");
}

class UDisksCard : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness_.Present()) GTEST_SKIP() << "runs under tests/udisks_harness.sh (ctest runs it so)";
        stream_ = (harness_.Shared / "single_muxrate.ts").string();
        if (!std::filesystem::exists(stream_)) GTEST_SKIP() << "fixture missing";
    }

    // A card image in the harness's card folder, with a loop device over it.
    std::unique_ptr<test::HarnessLoop> Card(const std::string& name, std::uint8_t fill = 0x5A) {
        const std::filesystem::path image = harness_.Work / name;
        test::MakeImage(image, kCardBytes, fill);
        auto loop = std::make_unique<test::HarnessLoop>(harness_, image);
        EXPECT_FALSE(loop->node.empty()) << "no loop device over " << image;
        return loop;
    }
    std::vector<std::uint8_t> Bytes(const std::string& name) const { return ReadFileBytes(harness_.Work / name); }

    test::UDisksHarness harness_;
    std::string stream_;
};

TEST_F(UDisksCard, AnAllowedUserFormatsWritesAndReadsWithTheBytesOfARootRun) {
    const auto user_card = Card("user.img");
    const auto root_card = Card("root.img");
    ASSERT_FALSE(user_card->node.empty() || root_card->node.empty());
    const std::string& node = user_card->node;
    const std::string& allowed = harness_.Allowed;

    // The user may not open the device itself: what works goes through UDisks2.
    EXPECT_NE(harness_.RunAs(allowed, "dd", {"if=" + node, "of=/dev/null", "count=1"}).exit_code, 0);

    struct Step {
        std::vector<std::string> args;  // after "card VERB CARD"
        const char* verb;
    };
    const std::vector<Step> steps = {
        {{"--yes", "--full"}, "format"},
        {{stream_, "--yes", "--verify"}, "write"},
    };
    for (const Step& step : steps) {
        std::vector<std::string> user_args{"card", step.verb, node, "--allow-non-removable"};
        std::vector<std::string> root_args{"card", step.verb, root_card->node, "--allow-non-removable"};
        user_args.insert(user_args.end(), step.args.begin(), step.args.end());
        root_args.insert(root_args.end(), step.args.begin(), step.args.end());
        const auto user = harness_.CliAs(allowed, user_args);
        ASSERT_EQ(user.exit_code, 0) << step.verb << ": " << user.err;
        const auto root = harness_.CliAsRoot(root_args);
        ASSERT_EQ(root.exit_code, 0) << step.verb << ": " << root.err;
        EXPECT_EQ(Bytes("user.img"), Bytes("root.img")) << "after card " << step.verb;
    }
    EXPECT_EQ(Bytes("user.img")[0], 0x48);

    const auto user_info = harness_.CliAs(allowed, {"card", "info", node, "--allow-non-removable", "--json"});
    const auto root_info = harness_.CliAsRoot({"card", "info", root_card->node, "--allow-non-removable", "--json"});
    ASSERT_EQ(user_info.exit_code, 0) << user_info.err;
    const nlohmann::json user_json = nlohmann::json::parse(user_info.out);
    EXPECT_EQ(user_json["streams"], nlohmann::json::parse(root_info.out)["streams"]);
    EXPECT_EQ(user_json["streams"][0]["name"], "single_muxrate.ts");

    for (const char* kind : {"--original", "--compressed"}) {
        const std::string user_out = (harness_.Work / (std::string("user") + kind + ".ts")).string();
        const std::string root_out = (harness_.Work / (std::string("root") + kind + ".ts")).string();
        const auto user = harness_.CliAs(allowed, {"card", "read", node, "0", user_out, kind, "--allow-non-removable"});
        ASSERT_EQ(user.exit_code, 0) << user.err;
        ASSERT_EQ(harness_.CliAsRoot({"card", "read", root_card->node, "0", root_out, kind, "--allow-non-removable"})
                      .exit_code,
                  0);
        EXPECT_EQ(ReadFileBytes(user_out), ReadFileBytes(root_out)) << kind;
    }

    // Discovery shows the card to the user when the system counts the
    // device as a card reader's disk.
    test::FakeSystem sys;
    sys.Add({"sdz", Number(node), "1", "0", kCardBytes / 512});
    sys.LinkNode("sdz", node);
    sys.OpenToAll();
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto list = harness_.CliAs(allowed, {"card", "list"});
    EXPECT_EQ(list.exit_code, 0) << list.err;
    EXPECT_TRUE(Contains(list.out, sys.Node("sdz")) && Contains(list.out, "DORO  v0.1")) << list.out;
}

TEST_F(UDisksCard, AUserWithoutPermissionIsRefusedAndTheCardStaysAsItWas) {
    const auto card = Card("card.img");
    ASSERT_FALSE(card->node.empty());
    const std::string& node = card->node;
    ASSERT_EQ(harness_.CliAsRoot({"card", "format", node, "--allow-non-removable", "--yes"}).exit_code, 0);
    ASSERT_EQ(harness_.CliAsRoot({"card", "write", node, stream_, "--allow-non-removable", "--yes"}).exit_code, 0);
    const std::vector<std::uint8_t> before = Bytes("card.img");
    const std::string out = (harness_.Work / "out.ts").string();

    const std::vector<std::vector<std::string>> commands = {
        {"card", "info", node},
        {"card", "format", node, "--yes"},
        {"card", "format", node, "--yes", "--full"},
        {"card", "clear", node, "--yes"},
        {"card", "write", node, stream_, "--yes"},
        {"card", "read", node, "0", out},
    };
    for (std::vector<std::string> command : commands) {
        command.push_back("--allow-non-removable");
        const auto r = harness_.CliAs(harness_.Denied, command);
        EXPECT_EQ(r.exit_code, 1) << command[1];
        EXPECT_TRUE(Contains(r.err, node + ": not authorized to open the card (polkit said: ") &&
                    Contains(r.err, "); run it from a desktop session, where polkit can ask"))
            << command[1] << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << command[1];
    }
    EXPECT_EQ(Bytes("card.img"), before);

    // Listing says the same of the card it may not look at.
    test::FakeSystem sys;
    sys.Add({"sdz", Number(node), "1", "0", kCardBytes / 512});
    sys.LinkNode("sdz", node);
    sys.OpenToAll();
    const test::DiscoveryEnvironment env(sys.Roots());
    const auto list = harness_.CliAs(harness_.Denied, {"card", "list"});
    EXPECT_EQ(list.exit_code, 1);
    EXPECT_TRUE(Contains(list.err, sys.Node("sdz") + ": not authorized to open the card (polkit said: ")) << list.err;
}

TEST_F(UDisksCard, ADiskUDisks2CountsAmongTheSystemsIsNeverOpened) {
    // Outside the card folder the harness leaves the loop device as UDisks2
    // sees loop devices: one of the system's.
    const std::filesystem::path image = harness_.Work.parent_path() / "system.img";
    test::MakeImage(image, kCardBytes, 0x5A);
    const test::HarnessLoop loop(harness_, image);
    ASSERT_FALSE(loop.node.empty());
    for (const char* verb : {"info", "format"}) {
        std::vector<std::string> args{"card", verb, loop.node, "--allow-non-removable"};
        if (std::string(verb) == "format") args.push_back("--yes");
        const auto r = harness_.CliAs(harness_.Allowed, args);
        EXPECT_EQ(r.exit_code, 1) << verb;
        EXPECT_TRUE(Contains(r.err, loop.node + ": the system counts it among its own disks (UDisks2 HintSystem)"))
            << r.err;
    }
    EXPECT_EQ(ReadFileBytes(image), std::vector<std::uint8_t>(kCardBytes, 0x5A));
    std::filesystem::remove(image);
}

TEST_F(UDisksCard, AMountedCardIsUnmountedThroughUDisks2BeforeItIsFormatted) {
    const auto card = Card("card.img", 0);
    ASSERT_FALSE(card->node.empty());
    if (test::RunProgram("timeout", {"30", "mkfs.ext2", "-q", "-F", card->node}).exit_code != 0)
        GTEST_SKIP() << "mkfs.ext2 missing";
    test::RunProgram("timeout", {"20", "udevadm", "settle", "--timeout=10"});
    char folder[] = "/media/tscard-test-XXXXXX";
    std::filesystem::create_directories("/media");
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string mount_point = folder;
    ASSERT_EQ(::mount(card->node.c_str(), folder, "ext2", 0, nullptr), 0);

    const auto r = harness_.CliAs(harness_.Allowed, {"card", "format", card->node, "--allow-non-removable", "--yes"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(IsMounted(mount_point));
    EXPECT_EQ(Bytes("card.img")[0], 0x48);
    ::umount2(folder, MNT_DETACH);
    ::rmdir(folder);
}

}  // namespace
}  // namespace tscard
