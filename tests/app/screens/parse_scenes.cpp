// The parse panel with the three-program stream analysed and two of its
// programs picked.

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <filesystem>

#include "app/event_bridge.h"
#include "app/parse_panel.h"
#include "app/stream_launcher.h"
#include "app/torvane_service.h"
#include "scene.h"
#include "scripted_dialogs.h"

namespace tscard::app::test {
namespace {

// Lets the window's events run until no run is under way.
bool WaitForRuns(TTorvaneService& window) {
    QElapsedTimer clock;
    clock.start();
    while (window.Launcher().Analysing() || window.Events().Busy()) {
        if (clock.elapsed() > 60000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace

std::vector<Scene> ParseScenes() {
    return {
        {"ParseWindow-stream",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             const std::string stream = (std::filesystem::path(TSCARD_FIXTURE_DIR) / "multi3.ts").string();
             if (!std::filesystem::exists(stream)) return "no fixture " + stream;
             static QTemporaryDir out;
             if (!out.isValid() || !QDir(out.path()).mkpath("programs")) return "no temporary folder";
             dialogs.AnswerFile(ScriptedDialogs::Kind::OpenFile, {stream});
             dialogs.AnswerFolder(out.filePath("programs").toStdString());
             window.Menu().MultyprogramstreamMPEG2TS1->trigger();
             if (!WaitForRuns(window)) return "the analysis did not end";
             QTreeWidget* tree = window.Parse()->TreeView4;
             if (tree->topLevelItemCount() != 1 || tree->topLevelItem(0)->childCount() != 3)
                 return "the stream was not shown";
             tree->clearSelection();
             tree->topLevelItem(0)->child(0)->setSelected(true);
             tree->topLevelItem(0)->child(2)->setSelected(true);
             return {};
         }},
    };
}

}  // namespace tscard::app::test
