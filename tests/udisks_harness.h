#pragma once
// What the tests of card access for an ordinary user get from
// tests/udisks_harness.sh (ctest runs them under it): the users, a folder
// for card images, the shared copies of the programs, loop devices made
// through the harness. Outside the harness every such test is skipped.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tscard::test {

struct UDisksHarness {
    std::string Script = Env("TSCARD_UDISKS_HARNESS");
    std::filesystem::path Work = Env("TSCARD_UDISKS_WORK");
    std::filesystem::path Shared = Env("TSCARD_UDISKS_SHARED");
    std::string Allowed = Env("TSCARD_UDISKS_ALLOWED");
    std::string Denied = Env("TSCARD_UDISKS_DENIED");

    bool Present() const { return !Script.empty() && !Allowed.empty() && !Denied.empty(); }

    // Runs a program as the user (no groups but the user's own), with a
    // time limit of its own.
    CommandResult RunAs(const std::string& user, const std::string& program, const std::vector<std::string>& args,
                        int seconds = 60) const {
        std::vector<std::string> all{"-k", "5", std::to_string(seconds), "setpriv", "--reuid=" + user,
                                     "--regid=" + user, "--init-groups", program};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram("timeout", all);
    }
    // The command line as the user, and as root (the process itself opens
    // the card then).
    CommandResult CliAs(const std::string& user, const std::vector<std::string>& args) const {
        return RunAs(user, (Shared / "tscard-cli").string(), args);
    }
    static CommandResult CliAsRoot(const std::vector<std::string>& args) {
        std::vector<std::string> all{"-k", "5", "60", TSCARD_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram("timeout", all);
    }

private:
    static std::string Env(const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr ? std::string() : std::string(value);
    }
};

// A loop device made by the harness over an image (udev has probed it and
// UDisks2 shows it); detached when it goes.
class HarnessLoop {
public:
    HarnessLoop(const UDisksHarness& harness, const std::filesystem::path& image) : script_(harness.Script) {
        const CommandResult r = RunProgram("timeout", {"60", "sh", script_, "attach", image.string()});
        if (r.exit_code == 0) node = r.out.substr(0, r.out.find('\n'));
    }
    ~HarnessLoop() {
        if (!node.empty()) RunProgram("timeout", {"60", "sh", script_, "detach", node});
    }
    HarnessLoop(const HarnessLoop&) = delete;
    HarnessLoop& operator=(const HarnessLoop&) = delete;
    std::string node;  // empty when none could be made

private:
    std::string script_;
};

}  // namespace tscard::test
