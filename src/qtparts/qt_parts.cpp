// The module's side: Qt's application object, UDisks2 and the charts.

#include "qtparts/qt_parts.h"

#include <QCoreApplication>
#include <clocale>
#include <cstdlib>

#include "platform/log.h"
#include "udisks/udisks_opener.h"
#ifdef TSCARD_CHARTS
#include "charts/chart_file.h"
#endif

namespace tscard::qtparts {
namespace {

// Qt's own notes (a missing XDG_RUNTIME_DIR on the offscreen platform, a
// font it substitutes) are for tracing, not for the operator's stderr.
void ToDiagnosticLog(QtMsgType type, const QMessageLogContext&, const QString& message) {
    DebugLog("Qt: " + message.toStdString());
    if (type == QtFatalMsg) std::abort();
}

// Qt's application object sets the C library's locale from the
// environment; the command line prints numbers with '.' whatever it says.
class KeptLocale {
public:
    KeptLocale() : locale_(std::setlocale(LC_ALL, nullptr)) {}
    ~KeptLocale() { std::setlocale(LC_ALL, locale_.c_str()); }
    KeptLocale(const KeptLocale&) = delete;
    KeptLocale& operator=(const KeptLocale&) = delete;

private:
    const std::string locale_;
};

class ModuleParts final : public QtParts {
public:
    std::shared_ptr<DeviceOpener> ChooseCardOpener() override {
        const KeptLocale kept;
        return udisks::ChooseOpener(udisks::Front::CommandLine);
    }

    bool CanDrawCharts() const override {
#ifdef TSCARD_CHARTS
        return true;
#else
        return false;
#endif
    }

    Status WriteCheckCharts(const CheckResult& result, const std::string& path) override {
#ifdef TSCARD_CHARTS
        const KeptLocale kept;
        return charts::WriteCheckCharts(result, path);
#else
        static_cast<void>(result);
        return Status::Fail(path + ": this build cannot draw charts");
#endif
    }
};

}  // namespace
}  // namespace tscard::qtparts

extern "C" __attribute__((visibility("default"))) tscard::qtparts::QtParts* tscard_make_qt_parts(bool log) {
    tscard::SetDebugLogEnabled(log);
    qInstallMessageHandler(tscard::qtparts::ToDiagnosticLog);
    return new tscard::qtparts::ModuleParts;
}
