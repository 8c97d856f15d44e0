// The command line front end's conventions.

#include <gtest/gtest.h>

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
