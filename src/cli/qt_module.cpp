#include "cli/qt_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/log.h"

#ifndef TSCARD_MODULE_DIR
#define TSCARD_MODULE_DIR "/usr/lib/tscard"
#endif

namespace tscard::cli {
namespace {

std::vector<std::string> ModuleCandidates() {
    std::vector<std::string> paths;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) paths.push_back((self.parent_path() / qtparts::kModuleFile).string());
    paths.push_back(std::string(TSCARD_MODULE_DIR) + "/" + qtparts::kModuleFile);
    return paths;
}

}  // namespace

// The module stays loaded to the end of the process: Qt's libraries do not
// take being unloaded.
QtModule::~QtModule() { parts_.reset(); }

qtparts::QtParts* QtModule::Parts(std::string& error) {
    if (parts_ || !error_.empty()) {
        error = error_;
        return parts_.get();
    }
    std::string tried;
    for (const std::string& path : ModuleCandidates()) {
        std::error_code missing;
        if (!std::filesystem::exists(path, missing)) {
            tried += (tried.empty() ? "" : ", ") + path;
            continue;
        }
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* why = ::dlerror();
            error_ = path + ": cannot load (" + (why != nullptr ? why : "unknown reason") + ")";
            break;
        }
        const auto entry = reinterpret_cast<qtparts::Entry>(::dlsym(handle_, qtparts::kEntryName));
        if (entry == nullptr) {
            error_ = path + ": not a tscard-cli module (no " + qtparts::kEntryName + ")";
            break;
        }
        parts_.reset(entry(DebugLogEnabled()));
        break;
    }
    if (!parts_ && error_.empty()) error_ = "the Qt module is missing (looked for " + tried + ")";
    error = error_;
    return parts_.get();
}

std::shared_ptr<DeviceOpener> QtModule::ChooseCardOpener() {
    if (::geteuid() == 0) return nullptr;
    std::string error;
    qtparts::QtParts* parts = Parts(error);
    if (parts == nullptr) {
        DebugLog("card access through UDisks2: " + error);
        return nullptr;
    }
    return parts->ChooseCardOpener();
}

Status QtModule::ChartsReady() {
    std::string error;
    qtparts::QtParts* parts = Parts(error);
    if (parts == nullptr) return Status::Fail("--plot: " + error);
    if (!parts->CanDrawCharts()) return Status::Fail("--plot: the Qt module was built without Qt Charts");
    return Status::Ok();
}

Status QtModule::WriteCheckCharts(const CheckResult& result, const std::string& path) {
    std::string error;
    qtparts::QtParts* parts = Parts(error);
    if (parts == nullptr) return Status::Fail("--plot: " + error);
    return parts->WriteCheckCharts(result, path);
}

}  // namespace tscard::cli
