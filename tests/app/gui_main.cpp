// The window's tests: one QApplication per process on the offscreen
// platform, with a runtime folder of its own (the single-instance socket
// lives there) and a settings folder of its own (the recent streams are
// kept there), and English unless a test asks for Russian. The card poll
// looks at an empty machine (no disks, nothing mounted) unless a test
// points it elsewhere: tests attach card images.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/log.h"

namespace {

// The offscreen platform says so for every window shown; nothing to learn.
void Messages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("propagateSizeHints")) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (type == QtFatalMsg) std::abort();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    setenv("LC_ALL", "C", 1);
    QTemporaryDir runtime;  // created with mode 0700, as a runtime folder must be
    if (!runtime.isValid()) return 1;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (runtime.path() + "/config").toLocal8Bit());
    const QDir machine(runtime.path());
    if (!machine.mkpath("sys/block") || !machine.mkpath("dev") || !machine.mkpath("proc/self")) return 1;
    QFile mounts(machine.filePath("proc/self/mountinfo"));
    if (!mounts.open(QIODevice::WriteOnly)) return 1;
    mounts.close();
    qputenv("TSCARD_SYSFS_ROOT", machine.filePath("sys").toLocal8Bit());
    qputenv("TSCARD_DEV_ROOT", machine.filePath("dev").toLocal8Bit());
    qputenv("TSCARD_PROC_ROOT", machine.filePath("proc").toLocal8Bit());
    qInstallMessageHandler(Messages);
    // The workers' trace (every picture of a prepared stream) is not news here.
    tscard::SetDebugLogEnabled(false);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("tscard");
    QApplication::setApplicationName("tscard");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
