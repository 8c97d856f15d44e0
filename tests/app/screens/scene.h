#pragma once
// Scenes for the review pictures: each brings a freshly opened window into
// one state, which scripts/screenshots.sh saves as OUTDIR/<Name>-<lang>.png
// for lang en and ru.
//
// To add pictures, write a function returning your scenes in a file of this
// folder (say prepare_scenes.cpp: PrepareScenes(), with a scene named
// "PreparePn-stream") and add it to AllScenes in scenes.cpp.

#include <functional>
#include <string>
#include <vector>

class QTemporaryDir;

namespace tscard::app {
class TTorvaneService;
namespace test {
class ScriptedDialogs;
}
}  // namespace tscard::app

namespace tscard::app::test {

struct Scene {
    std::string Name;
    // Runs on the shown window (in its start language) with the events
    // processed before and after; the dialogs answer what it scripts. An
    // empty text means the scene is ready; otherwise it says why not, and
    // the picture is skipped.
    std::function<std::string(TTorvaneService& window, ScriptedDialogs& dialogs)> Set;
    // The last question the scene put is shown over the window, in the
    // message box the operator would see.
    bool ShowsQuestion = false;
};

// The main window with each panel in front.
std::vector<Scene> PanelScenes();
// The prepare panel with a stream, and with a run under way.
std::vector<Scene> PrepareScenes();
// The splice panel with files in its list.
std::vector<Scene> SpliceScenes();
// The parse panel with a stream analysed.
std::vector<Scene> ParseScenes();
// The card manager, the write panel and the read panel with a card image.
std::vector<Scene> CardScenes();
std::vector<Scene> AllScenes();

// Lets the window's events run until done() holds; false after timeout_ms.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 30000);
// A generated test stream (tests/fixtures/make_fixtures.sh).
std::string Fixture(const char* name);
// Where scenes write: it outlives every scene, until the program ends.
const QTemporaryDir& Scratch();

}  // namespace tscard::app::test
