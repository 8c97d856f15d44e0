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
    return WaitFor([&window] { return !window.Launcher().Analysing() && !window.Events().Busy(); }, 60000);
}

}  // namespace

std::vector<Scene> ParseScenes() {
    return {
        {"ParseWindow-stream",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             const std::string stream = Fixture("multi3.ts");
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
