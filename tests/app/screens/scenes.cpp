#include "scene.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <filesystem>

#include "app/main_panel.h"
#include "app/splice_panel.h"
#include "app/torvane_service.h"

namespace tscard::app::test {

std::vector<Scene> PanelScenes() {
    auto front = [](const char* name) {
        return [name](TTorvaneService& window, ScriptedDialogs&) -> std::string {
            auto* panel = window.findChild<QWidget*>(name);
            if (panel == nullptr) return std::string("no panel ") + name;
            window.BringToFront(panel);
            return {};
        };
    };
    return {
        {"MainPanel", front("MainPanel")},
        {"PreparePn", front("PreparePn")},
        {"ParseWindow", front("ParseWindow")},
        {"Panel1",
         [](TTorvaneService& window, ScriptedDialogs&) -> std::string {
             window.BringToFront(window.Main());
             window.Splice()->show();
             return {};
         }},
        {"WriteWindow", front("WriteWindow")},
        {"FormatWindow", front("FormatWindow")},
        {"Panel4", front("Panel4")},
    };
}

std::vector<Scene> AllScenes() {
    std::vector<Scene> scenes = PanelScenes();
    for (Scene& scene : PrepareScenes()) scenes.push_back(std::move(scene));
    for (Scene& scene : SpliceScenes()) scenes.push_back(std::move(scene));
    for (Scene& scene : ParseScenes()) scenes.push_back(std::move(scene));
    for (Scene& scene : CardScenes()) scenes.push_back(std::move(scene));
    return scenes;
}

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout_ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

std::string Fixture(const char* name) { return (std::filesystem::path(TSCARD_FIXTURE_DIR) / name).string(); }

const QTemporaryDir& Scratch() {
    static QTemporaryDir scratch;
    return scratch;
}

}  // namespace tscard::app::test
