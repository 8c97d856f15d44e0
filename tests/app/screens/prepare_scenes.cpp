// The prepare panel with an analysed stream, and with a run under way.

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <filesystem>
#include <functional>

#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/recent_streams.h"
#include "app/start_screen.h"
#include "app/status_line.h"
#include "app/prepare_panel.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "scene.h"
#include "scripted_dialogs.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;

// The menu command on a fixture, the output proposed or in the scratch
// folder; empty once the stream is ready to prepare.
std::string OpenForPreparing(TTorvaneService& window, ScriptedDialogs& dialogs, const std::string& source,
                             bool scratch) {
    if (!std::filesystem::exists(source)) return source + " is missing (tests/fixtures/make_fixtures.sh)";
    dialogs.AnswerFile(Kind::OpenFile, {source});
    if (scratch)
        dialogs.AnswerFile(Kind::SaveFile, {Scratch().filePath("news_pre.ts").toStdString()});
    else
        dialogs.Cancel(Kind::SaveFile);
    window.Menu().SimpleprogramMPEG2TS1->trigger();
    PreparePanel* panel = window.Prepare();
    if (!WaitFor([&] { return panel->SpeedButton4->State() == StartState::Ready; })) return "the analysis did not end";
    return {};
}

}  // namespace

std::vector<Scene> PrepareScenes() {
    return {
        {"MainPanel-prepared",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             if (std::string refused = OpenForPreparing(window, dialogs, Fixture("single_vbr.ts"), true);
                 !refused.empty())
                 return refused;
             window.Prepare()->SpeedButton4->click();
             if (!WaitFor([&] { return window.Main()->Status->isVisible(); })) return "the run said nothing at its end";
             return {};
         }},
        {"MainPanel-recent",
         [](TTorvaneService& window, ScriptedDialogs&) -> std::string {
             for (const char* name : {"cyrillic.ts", "multi3.ts", "single_muxrate.ts", "single_vbr.ts"})
                 RememberStream(Fixture(name));
             window.Main()->Start->ShowRecent();
             return {};
         }},
        {"PreparePn-stream",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) {
             return OpenForPreparing(window, dialogs, Fixture("single_muxrate.ts"), false);
         }},
        {"PreparePn-running",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             // A real stream, then gigabytes of nothing (sparse): the run
             // is still reading when the picture is taken.
             const std::string source = Scratch().filePath("long_4m.ts").toStdString();
             std::error_code ec;
             std::filesystem::copy_file(Fixture("long_4m.ts"), source, std::filesystem::copy_options::overwrite_existing, ec);
             if (!ec) std::filesystem::resize_file(source, 8ULL << 30, ec);
             if (ec) return source + ": " + ec.message();
             if (std::string refused = OpenForPreparing(window, dialogs, source, true); !refused.empty())
                 return refused;
             PreparePanel* panel = window.Prepare();
             panel->SpeedButton4->click();
             // Caught while both figures show and the gauges have moved.
             if (!WaitFor([&] {
                     const Gauge* bar = panel->CGauge3;
                     return !panel->Label38->text().isEmpty() && bar->Progress() * 100 >= 3 * bar->Maximum();
                 }))
                 return "the run showed no figures";
             if (!panel->Running()) return "the run ended before the picture";
             return {};
         }},
    };
}

}  // namespace tscard::app::test
