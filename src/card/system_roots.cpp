#include "card/system_roots.h"

#include <cstdlib>

namespace tscard {

SystemRoots SystemRoots::FromEnvironment() {
    SystemRoots roots;
    if (const char* value = std::getenv("TSCARD_SYSFS_ROOT"); value != nullptr && *value != '\0') roots.Sysfs = value;
    if (const char* value = std::getenv("TSCARD_DEV_ROOT"); value != nullptr && *value != '\0') roots.Dev = value;
    if (const char* value = std::getenv("TSCARD_PROC_ROOT"); value != nullptr && *value != '\0') roots.Proc = value;
    return roots;
}

}  // namespace tscard
