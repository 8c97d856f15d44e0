#include "cli/qt_app.h"

#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

#ifdef TSCARD_CHARTS
#include <QApplication>
#endif

#include "platform/log.h"

namespace tscard::cli {
namespace {

// Qt's own notes (a missing XDG_RUNTIME_DIR on the offscreen platform, a
// font it substitutes) are for tracing, not for the operator's stderr:
// they go to the diagnostic log, which --log shows.
void ToDiagnosticLog(QtMsgType type, const QMessageLogContext&, const QString& message) {
    DebugLog("Qt: " + message.toStdString());
    if (type == QtFatalMsg) std::abort();
}

}  // namespace

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
        qInstallMessageHandler(ToDiagnosticLog);
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
