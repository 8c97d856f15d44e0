// One window per user: a second start shows the first window and exits 0,
// at once, even while the first shows an alert for it; it gives up with a
// word, and without a window, only when the first does not answer. A
// socket left behind by a dead first instance is taken over, a live one
// never.

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <QFile>

#include "app/event_bridge.h"
#include "app/prepare_panel.h"
#include "app/qt_dialogs.h"
#include "app/single_instance.h"
#include "app/start_button.h"
#include "app/stream_launcher.h"
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

// How long a second start may take before the test ends it.
constexpr int kSecondStartLimitMs = 15000;

// The window's messages come up as real modal boxes, for the test to click
// as the operator would; file choices are answered from a script.
class RealMessageBoxes final : public Dialogs {
public:
    explicit RealMessageBoxes(ScriptedDialogs& files) : files_(files) {}
    void SetOwner(QWidget* owner) { boxes_.SetOwner(owner); }

    DialogButton Message(const MessageRequest& request) override { return boxes_.Message(request); }
    std::optional<FileChoice> OpenFile(const FileRequest& request) override { return files_.OpenFile(request); }
    std::optional<FileChoice> OpenFiles(const FileRequest& request) override { return files_.OpenFiles(request); }
    std::optional<FileChoice> SaveFile(const FileRequest& request) override { return files_.SaveFile(request); }
    std::optional<std::string> ChooseFolder(const FolderRequest& request) override {
        return files_.ChooseFolder(request);
    }
    void ShowFolder(const std::string& folder) override { files_.ShowFolder(folder); }

private:
    ScriptedDialogs& files_;
    QtDialogs boxes_;
};

TEST(SecondStart, DuringARunItIsAnsweredAtOnceAndItsAlertIsClickedAwayWithoutHarm) {
    if (!tscard::test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    tscard::test::TempDir dir;
    // A run that lasts: a real stream, then gigabytes of nothing.
    const std::string source = (dir / "long.ts").string();
    std::filesystem::copy_file(tscard::test::Fixture("long_4m.ts"), source);
    std::filesystem::resize_file(source, 8ULL << 30);
    const std::string other = (dir / "other.ts").string();

    ScriptedDialogs files;
    RealMessageBoxes dialogs(files);
    TTorvaneService window(dialogs);
    dialogs.SetOwner(&window);
    window.show();
    SingleInstance first;
    ASSERT_EQ(first.AskToShow(1000), OtherInstance::None);
    ASSERT_TRUE(first.Listen());
    QObject::connect(&first, &SingleInstance::ShowRequested, &window, &TTorvaneService::ShowFromOtherInstance);
    QObject::connect(&first, &SingleInstance::OpenRequested, &window, &TTorvaneService::OpenFromOutside);

    files.AnswerFile(ScriptedDialogs::Kind::SaveFile, {(dir / "out.ts").string()});
    window.Prepare()->OpenForPreparing(source);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Prepare()->SpeedButton4->State() == StartState::Ready; }, 60000));
    window.Prepare()->SpeedButton4->click();
    ASSERT_TRUE(window.Events().RunActive());

    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment());
    QElapsedTimer clock;
    clock.start();
    second.start(TSCARD_APP_PATH, {QString::fromStdString(other)});
    // The operator clicks the alert only once the second start has gone.
    QString alert;
    bool clicked = false;
    QTimer operator_hand;
    operator_hand.setInterval(50);
    QObject::connect(&operator_hand, &QTimer::timeout, &operator_hand, [&] {
        if (second.state() != QProcess::NotRunning) {
            if (clock.elapsed() > kSecondStartLimitMs) second.kill();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box->buttons().isEmpty()) return;
        alert = box->text();
        QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
        clicked = true;
        operator_hand.stop();
    });
    operator_hand.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clicked; }, 2 * kSecondStartLimitMs));

    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(alert.toStdString(), other + ": not opened; the work under way must end first");
    // The first window lives on, and so does its run.
    EXPECT_TRUE(window.Events().RunActive());
    window.Prepare()->SpeedButton4->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Events().Busy(); }, 60000));
}

TEST(SecondStart, GivesUpWithAWordAndNoWindowWhenTheFirstDoesNotAnswer) {
    // Something holds the name and takes connections, but never answers.
    SingleInstance probe;
    QLocalServer mute;
    ASSERT_TRUE(mute.listen(probe.Path()));

    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment());
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(TSCARD_APP_PATH, {});
    const bool ended = finished.wait(kSecondStartLimitMs);
    if (!ended) second.kill();
    ASSERT_TRUE(ended) << "the second start opened a window of its own";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(second.exitCode(), 0);
    const std::string said = second.readAllStandardError().toStdString();
    EXPECT_NE(said.find("did not answer"), std::string::npos) << said;
    EXPECT_NE(said.find("not opening a second window"), std::string::npos) << said;
}

TEST(SecondStart, NeverTakesTheNameFromAFirstThatListens) {
    SingleInstance first;
    ASSERT_EQ(first.AskToShow(1000), OtherInstance::None);
    ASSERT_TRUE(first.Listen());
    // A start that found nobody a moment ago, and listens now.
    SingleInstance late;
    EXPECT_FALSE(late.Listen());
    QSignalSpy asked(&first, &SingleInstance::ShowRequested);
    std::atomic<int> answer{-1};
    SingleInstance third;
    std::thread ask([&] { answer = static_cast<int>(third.AskToShow(5000)); });
    const bool answered = QTest::qWaitFor([&] { return answer.load() != -1; }, 10000);
    ask.join();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answer.load(), static_cast<int>(OtherInstance::Shown));
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.count() == 1; }, 5000));
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked.count() == 1; }, 5000));
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
