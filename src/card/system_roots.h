#pragma once
// Where the system's device information lives. The defaults are the real
// places; tests point them at a fake tree (the command line reads
// TSCARD_SYSFS_ROOT, TSCARD_DEV_ROOT and TSCARD_PROC_ROOT).

#include <string>

namespace tscard {

struct SystemRoots {
    std::string Sysfs = "/sys";
    std::string Dev = "/dev";
    std::string Proc = "/proc";

    std::string MountInfo() const { return Proc + "/self/mountinfo"; }
    std::string Swaps() const { return Proc + "/swaps"; }

    // The defaults, with any of the three environment variables applied.
    static SystemRoots FromEnvironment();
};

}  // namespace tscard
