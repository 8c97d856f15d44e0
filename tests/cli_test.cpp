// The command line front end's conventions.

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace tscard {
namespace {

TEST(Cli, HelpAndVersionSucceed) {
    const auto help = test::RunCli({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("tscard-cli"), std::string::npos);
    const auto version = test::RunCli({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_NE(version.out.find(TSCARD_VERSION), std::string::npos);
}

TEST(Cli, EveryCommandSaysTheSameOfAStreamThatDoesNotOpen) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "other.ts", std::vector<std::uint8_t>(188, 0x47));
    const std::string missing = (dir / "clip.ts").string();
    const std::vector<std::vector<std::string>> commands = {
        {"analyze", missing},
        {"analyze", "--mode", "card", "--json", missing},
        {"bitrate", missing},
        {"bitrate", "--stream", missing},
        {"prepare", missing},
        {"demux", missing, dir.path().string()},
        {"splice", (dir / "out.ts").string(), (dir / "other.ts").string(), missing},
    };
    for (const auto& args : commands) {
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.exit_code, 1) << args[0];
        EXPECT_EQ(r.err, "tscard-cli: " + missing + ": File in use from other application (No such file or directory)\n")
            << args[0];
    }
}

TEST(Cli, BadCommandLineExitsWithTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--no-such-option"}, {"no-such-command"}, {"--codepage", "koi8"}}) {
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.exit_code, 2) << args[0];
        EXPECT_TRUE(r.out.empty()) << "errors go to stderr";
        EXPECT_FALSE(r.err.empty());
    }
}

}  // namespace
}  // namespace tscard
