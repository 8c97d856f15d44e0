#pragma once
// Where the system's device information lives. The defaults are the real
// places; tests point them at a fake tree (the command line reads
// TSCARD_SYSFS_ROOT, TSCARD_DEV_ROOT and TSCARD_PROC_ROOT).

#include <string>
#include <vector>

namespace tscard {

struct SystemRoots {
    std::string Sysfs = "/sys";
    std::string Dev = "/dev";
    std::string Proc = "/proc";

    // The home folder of whoever runs the program ($HOME); empty when
    // there is none, and under a stand-in /proc, whose machine has none.
    std::string Home;

    std::string MountInfo() const { return Proc + "/self/mountinfo"; }
    std::string Swaps() const { return Proc + "/swaps"; }

    // Files on the file systems the running system lives on, each with what
    // it is: its root, the running program and the home folder. The disks
    // that hold them are system disks whatever mountinfo says (in a chroot
    // or a container it lists only the mounts in there).
    struct SystemFile {
        std::string Path;
        std::string What;  // "/", "the running program", "the home folder"
    };
    std::vector<SystemFile> SystemFiles() const;

    // The defaults, with any of the three environment variables applied.
    static SystemRoots FromEnvironment();
};

}  // namespace tscard
