// The window's tests: one QApplication per process on the offscreen
// platform, with a runtime folder of its own (the single-instance socket
// lives there) and English unless a test asks for Russian.

#include <QApplication>
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
    qInstallMessageHandler(Messages);
    // The workers' trace (every picture of a prepared stream) is not news here.
    tscard::SetDebugLogEnabled(false);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
