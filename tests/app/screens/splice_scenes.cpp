// The splice panel set up with three files in its list.

#include <QAction>
#include <QListWidget>
#include <QTemporaryDir>

#include <filesystem>

#include "app/splice_panel.h"
#include "app/torvane_service.h"
#include "scene.h"
#include "scripted_dialogs.h"

namespace tscard::app::test {

std::vector<Scene> SpliceScenes() {
    return {
        {"Panel1-list",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             const std::filesystem::path fixtures(TSCARD_FIXTURE_DIR);
             std::vector<std::string> files;
             for (const char* name : {"single_vbr.ts", "cyrillic.ts", "single_muxrate.ts"}) {
                 files.push_back((fixtures / name).string());
                 if (!std::filesystem::exists(files.back())) return "no fixture " + files.back();
             }
             // The output lives as long as the program.
             static QTemporaryDir out;
             if (!out.isValid()) return "no temporary folder";
             const std::string output = out.filePath("joined.ts").toStdString();
             std::filesystem::remove(output);
             dialogs.AnswerFile(ScriptedDialogs::Kind::SaveFile, {output});
             window.Menu().Tosticktogether1->trigger();
             dialogs.AnswerFile(ScriptedDialogs::Kind::OpenFiles, files);
             window.Splice()->Button2Click();
             window.Splice()->ListBox2->setCurrentRow(1);
             return {};
         }},
    };
}

}  // namespace tscard::app::test
