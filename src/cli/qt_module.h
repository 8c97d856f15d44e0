#pragma once
// Loads the command line's Qt parts (qtparts/qt_parts.h) the first time a
// command needs them. The module is looked for beside the program (the
// build folder, a copy of both) and then where the package installs it.

#include <memory>
#include <string>

#include "qtparts/qt_parts.h"

namespace tscard::cli {

class QtModule {
public:
    QtModule() = default;
    ~QtModule();
    QtModule(const QtModule&) = delete;
    QtModule& operator=(const QtModule&) = delete;

    // The opener of cards the user may not open: null for root (who opens
    // every card itself, without loading Qt), and where neither the module
    // nor the service is there (the reason goes to the diagnostic log).
    std::shared_ptr<DeviceOpener> ChooseCardOpener();
    // Loads the module: refused, naming it and why, when it cannot be
    // loaded or was built without charts.
    Status ChartsReady();
    // Refused, naming the module and why, when it cannot be loaded.
    Status WriteCheckCharts(const CheckResult& result, const std::string& path);

private:
    // The parts, loaded now if they are not yet; null and the reason in
    // `error` when they cannot be.
    qtparts::QtParts* Parts(std::string& error);

    void* handle_ = nullptr;
    std::unique_ptr<qtparts::QtParts> parts_;
    std::string error_;
};

}  // namespace tscard::cli
