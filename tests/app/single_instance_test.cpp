// One window per user: a second start shows the first window and exits 0;
// a socket left behind by a dead first instance is taken over.

#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <QFile>

#include "app/single_instance.h"
#include "support/test_support.h"
#include "window_test.h"

namespace tscard::app::test {
namespace {

using SingleInstanceTest = WindowTest;

QProcessEnvironment ProgramEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

TEST_F(SingleInstanceTest, ASecondStartShowsTheFirstWindowAndExitsWithZero) {
    SingleInstance first;
    ASSERT_EQ(first.AskToShow(1000), OtherInstance::None);
    ASSERT_TRUE(first.Listen());
    QObject::connect(&first, &SingleInstance::ShowRequested, &Window(), &TTorvaneService::ShowFromOtherInstance);
    Window().showMinimized();
    Window().hide();
    ASSERT_FALSE(Window().isVisible());

    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment());
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(TSCARD_APP_PATH, {});
    // The first instance answers from this event loop while we wait.
    ASSERT_TRUE(finished.wait(int(tscard::test::kProgramLimit.count()))) << second.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(Window().isVisible());
    EXPECT_FALSE(Window().isMinimized());
}

TEST_F(SingleInstanceTest, ASocketLeftBehindIsTakenOver) {
    SingleInstance instance;
    // A socket file nobody listens on, as a killed first instance leaves it.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = instance.Path().toLocal8Bit();
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(fd);
    ASSERT_TRUE(QFile::exists(instance.Path()));

    EXPECT_EQ(instance.AskToShow(1000), OtherInstance::None);
    EXPECT_TRUE(instance.Listen());
    // And a later start finds it.
    SingleInstance later;
    QSignalSpy asked(&instance, &SingleInstance::ShowRequested);
    std::atomic<int> answer{-1};
    std::thread ask([&] { answer = static_cast<int>(later.AskToShow(5000)); });
    QTRY_VERIFY(answer.load() != -1);
    ask.join();
    EXPECT_EQ(answer.load(), static_cast<int>(OtherInstance::Shown));
    EXPECT_EQ(asked.count(), 1);
}

TEST_F(SingleInstanceTest, HelpSaysWhatTheWindowIsForAndNamesItsCommandLineTwin) {
    QProcess program;
    program.setProcessEnvironment(ProgramEnvironment());
    program.start(TSCARD_APP_PATH, {"--help"});
    ASSERT_TRUE(program.waitForFinished(int(tscard::test::kProgramLimit.count())));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(help.contains("Usage: tscard"));
    EXPECT_TRUE(help.contains("tscard-cli"));
    EXPECT_TRUE(help.contains("cards"));
}

}  // namespace
}  // namespace tscard::app::test
