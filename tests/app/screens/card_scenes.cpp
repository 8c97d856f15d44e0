// The card manager with an attached card image that holds a stream, the
// write panel with a stream analysed for the card and after a write that
// filled its card, and the read panel waiting for its start.

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/card_panel.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/write_panel.h"
#include "card/card_layout.h"
#include "scene.h"
#include "scripted_dialogs.h"

namespace tscard::app::test {
namespace {

using Kind = ScriptedDialogs::Kind;

// The size of a common 2 GB SD card.
constexpr std::uint64_t kCardBytes = 1977614336;

// A card image (sparse) whose header lists the streams given, one after
// the other from the first unit.
std::string CardImage(const char* name, const std::vector<std::pair<const char*, std::uint32_t>>& streams,
                      std::uint64_t card_bytes = kCardBytes) {
    const std::string path = Scratch().filePath(name).toStdString();
    std::vector<std::uint8_t> region(kHeaderRegionBytes);
    BuildEmptyHeaderRegion(!streams.empty(), streams.empty() ? 0 : 4000, region.data());
    region[1] = static_cast<std::uint8_t>(streams.size());
    std::uint32_t sector = kFirstDataSector;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        DirEntry entry;
        entry.StartSector = sector;
        entry.Length = streams[i].second;
        entry.LastSlot = 17;
        entry.SetName(streams[i].first);
        entry.Encode(region.data() + kDirectoryOffset + i * kDirEntrySize);
        sector += (streams[i].second + 1) * kSectorsPerUnit;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(region.data()), static_cast<std::streamsize>(region.size()));
    }
    std::filesystem::resize_file(path, card_bytes);
    return path;
}

void Attach(TTorvaneService& window, ScriptedDialogs& dialogs, const std::string& image) {
    dialogs.AnswerFile(Kind::OpenFile, {image});
    window.Menu().Attachcardimage1->trigger();
}

// The card panel with the card holding a stream, the stream picked.
std::string CardWithStream(TTorvaneService& window, ScriptedDialogs& dialogs) {
    Attach(window, dialogs, CardImage("card.img", {{"news_0412_pre.ts", 36620}}));
    QTreeWidget* tree = window.Card()->TreeView1;
    if (tree->topLevelItemCount() != 1 || tree->topLevelItem(0)->childCount() != 1) return "the card shows no stream";
    tree->topLevelItem(0)->child(0)->setSelected(true);
    return {};
}

}  // namespace

std::vector<Scene> CardScenes() {
    return {
        {"FormatWindow-card", CardWithStream},
        {"WriteWindow-stream",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             const std::string stream = Fixture("long_4m.ts");
             if (!std::filesystem::exists(stream)) return stream + " is missing (tests/fixtures/make_fixtures.sh)";
             Attach(window, dialogs, CardImage("empty.img", {}));
             dialogs.AnswerFile(Kind::OpenFile, {stream});
             window.Card()->SpeedButton23->click();
             if (!WaitFor([&] { return window.Write()->SpeedButton1->State() == StartState::Ready; }))
                 return "the analysis did not end";
             return {};
         }},
        {"WriteWindow-full",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             // A card of 1 MiB: the stream does not fit.
             Attach(window, dialogs, CardImage("small.img", {}, 1 << 20));
             dialogs.AnswerFile(Kind::OpenFile, {Fixture("multi3.ts")});
             window.Card()->SpeedButton23->click();
             if (!WaitFor([&] { return window.Write()->SpeedButton1->State() == StartState::Ready; }))
                 return "the analysis did not end";
             dialogs.AnswerMessage(DialogButton::Yes);
             dialogs.AnswerMessage(DialogButton::Ok);
             window.Write()->SpeedButton1->click();
             if (!WaitFor([&] { return window.Write()->WriteNote->isVisible(); })) return "the write did not end badly";
             return {};
         }},
        {"FormatWindow-clear-question",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             if (std::string refused = CardWithStream(window, dialogs); !refused.empty()) return refused;
             dialogs.AnswerMessage(DialogButton::No);
             window.Card()->SpeedButton19->click();
             return {};
         },
         true},
        {"Panel4-card",
         [](TTorvaneService& window, ScriptedDialogs& dialogs) -> std::string {
             if (std::string refused = CardWithStream(window, dialogs); !refused.empty()) return refused;
             dialogs.AnswerFile(Kind::SaveFile, {Scratch().filePath("news_0412.ts").toStdString()});
             window.Card()->SpeedButton22->click();
             return {};
         }},
    };
}

}  // namespace tscard::app::test
