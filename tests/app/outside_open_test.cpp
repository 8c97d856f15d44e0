// Streams given from outside the window: dropped on it, or passed to a
// second start of the program. Their programs are counted first: one opens
// for preparing as the menu command does once its file is chosen, more than
// one open for splitting.

#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QUrl>

#include "app/dropped_file.h"
#include "app/main_panel.h"
#include "app/parse_panel.h"
#include "app/prepare_panel.h"
#include "app/single_instance.h"
#include "app/start_button.h"
#include "stream_test.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;
using OutsideOpen = StreamWindowTest;

QMimeData* FilesData(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << (path.startsWith("http") ? QUrl(path) : QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

// Drags onto the window and drops there; whether the window took it.
bool Drop(TTorvaneService& window, const QStringList& paths) {
    std::unique_ptr<QMimeData> data(FilesData(paths));
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    return drop.isAccepted();
}

TEST_F(OutsideOpen, AStreamDroppedOnTheWindowOpensForPreparing) {
    const std::string source = FixturePath("single_vbr.ts");
    dialogs_.Cancel(Kind::SaveFile);
    ASSERT_TRUE(Drop(Window(), {QString::fromStdString(source)}));
    ASSERT_TRUE(WaitUntilIdle());
    // No open dialog: the file is chosen; the output name is proposed.
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_EQ(dialogs_.Questions()[0].What, Kind::SaveFile);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Prepare()));
    EXPECT_EQ(Window().Prepare()->SpeedButton4->State(), StartState::Ready);
    EXPECT_EQ(State().OpenDialogFile, source);
}

TEST_F(OutsideOpen, AMultiProgramStreamDroppedOnTheWindowOpensForSplitting) {
    const std::string source = FixturePath("multi3.ts");
    const std::string folder = (dir_ / "out").string();
    std::filesystem::create_directory(folder);
    dialogs_.AnswerFolder(folder);
    ASSERT_TRUE(Drop(Window(), {QString::fromStdString(source)}));
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_EQ(dialogs_.Questions()[0].What, Kind::Folder);
    EXPECT_EQ(Window().FrontPanel(), static_cast<QWidget*>(Window().Parse()));
    EXPECT_EQ(Window().Parse()->SpeedButton3->State(), StartState::Ready);
    EXPECT_EQ(State().OpenDialogFile, source);
}

TEST_F(OutsideOpen, OnlyOneLocalFileIsTaken) {
    const QString file = QString::fromStdString(FixturePath("single_vbr.ts"));
    EXPECT_FALSE(Drop(Window(), {file, QString::fromStdString(FixturePath("multi3.ts"))}));
    EXPECT_FALSE(Drop(Window(), {QString::fromStdString(dir_.path().string())}));
    EXPECT_FALSE(Drop(Window(), {"https://example.org/clip.ts"}));
    // Nor while other work goes on.
    Window().SetCommandsEnabled(false);
    EXPECT_FALSE(Drop(Window(), {file}));
    Window().SetCommandsEnabled(true);
    EXPECT_TRUE(dialogs_.Questions().empty());
    std::unique_ptr<QMimeData> text(new QMimeData);
    text->setText("clip.ts");
    EXPECT_EQ(DroppedFile(text.get()), std::nullopt);
}

TEST_F(OutsideOpen, ASecondStartWithAFileOpensItInTheFirstWindow) {
    SingleInstance first;
    ASSERT_EQ(first.AskToShow(1000), OtherInstance::None);
    ASSERT_TRUE(first.Listen());
    QObject::connect(&first, &SingleInstance::OpenRequested, &Window(), &TTorvaneService::OpenFromOutside);
    // A name with a blank and a newline still arrives whole.
    const std::string source = (dir_ / "my clip\nA.ts").string();
    std::filesystem::copy_file(FixturePath("single_vbr.ts"), source);
    dialogs_.Cancel(Kind::SaveFile);

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(QString::fromStdString(dir_.path().string()));
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(TSCARD_APP_PATH, {"my clip\nA.ts"});
    ASSERT_TRUE(finished.wait(int(tscard::test::kProgramLimit.count()))) << second.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return dialogs_.AnswersLeft() == 0; }));
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(State().OpenDialogFile, source);
    EXPECT_EQ(Window().Prepare()->SpeedButton4->State(), StartState::Ready);
}

TEST_F(OutsideOpen, AFileGivenDuringARunIsRefusedWithAWord) {
    Window().SetCommandsEnabled(false);
    dialogs_.AnswerMessage(DialogButton::Ok);
    Window().OpenFromOutside("/tmp/clip.ts");
    ASSERT_EQ(dialogs_.Questions().size(), 1u);
    EXPECT_EQ(Asked(0), "/tmp/clip.ts: not opened; the work under way must end first");
    EXPECT_FALSE(Window().Launcher().AsideBusy());
}

}  // namespace
}  // namespace tscard::app::test
