#include "card/system_roots.h"

#include <cstdlib>

namespace tscard {

SystemRoots SystemRoots::FromEnvironment() {
    SystemRoots roots;
    if (const char* value = std::getenv("TSCARD_SYSFS_ROOT"); value != nullptr && *value != '\0') roots.Sysfs = value;
    if (const char* value = std::getenv("TSCARD_DEV_ROOT"); value != nullptr && *value != '\0') roots.Dev = value;
    if (const char* value = std::getenv("TSCARD_PROC_ROOT"); value != nullptr && *value != '\0') roots.Proc = value;
    if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0' && roots.Proc == "/proc")
        roots.Home = value;
    return roots;
}

std::vector<SystemRoots::SystemFile> SystemRoots::SystemFiles() const {
    // Through /proc: the root as the process sees it, even in a chroot.
    std::vector<SystemFile> files = {{Proc + "/self/root", "/"}, {Proc + "/self/exe", "the running program"}};
    if (!Home.empty()) files.push_back({Home, "the home folder"});
    return files;
}

}  // namespace tscard
