#include "cli/qt_app.h"

#include <clocale>
#include <string>
#include <string_view>

#ifdef TSCARD_CHARTS
#include <QApplication>
#endif

namespace tscard::cli {

bool DrawsCharts(int argc, char** argv) {
    bool check = false;
    bool plot = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--") break;
        check = check || a == "check";
        plot = plot || a == "--plot" || a.starts_with("--plot=");
    }
    return check && plot;
}

QtApp::QtApp(int argc, char** argv) {
    const std::string locale = std::setlocale(LC_ALL, nullptr);
#ifdef TSCARD_CHARTS
    if (DrawsCharts(argc, argv)) {
        argc_ = 3;
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
#else
    static_cast<void>(argc);
    static_cast<void>(argv);
#endif
    if (!app_) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    std::setlocale(LC_ALL, locale.c_str());
}

QtApp::~QtApp() = default;

}  // namespace tscard::cli
