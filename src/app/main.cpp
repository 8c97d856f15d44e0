// tscard: the window for preparing streams and managing the player's cards.

#include <QApplication>

#include <cstring>
#include <iostream>

#include "app/images.h"
#include "app/qt_dialogs.h"
#include "app/single_instance.h"
#include "app/torvane_service.h"

namespace {

constexpr const char* kHelp =
    "Usage: tscard [--help] [--version]\n"
    "\n"
    "The operator's window for a DVB-ASI stream player that plays MPEG-2 transport\n"
    "streams from SD cards in its own raw layout. It opens a stream and shows its\n"
    "programs and PIDs, prepares a single-program stream for the card (new PIDs,\n"
    "regenerated PAT/PMT/SDT, PCRs restamped at one multiplex rate), splits a\n"
    "multi-program stream into one file per program, splices several files into\n"
    "one, and formats, writes and reads the player's cards.\n"
    "\n"
    "Only one window runs per user: starting tscard again brings the running\n"
    "window to the front. Captions are Russian under a Russian locale (LC_ALL,\n"
    "LC_MESSAGES or LANG starting with \"ru\"), English otherwise; the flag\n"
    "button switches them.\n"
    "\n"
    "tscard-cli is its command-line twin: the same work, with the same results,\n"
    "for scripts and terminals (tscard-cli --help).\n";

bool Asked(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tscard::app;
    if (Asked(argc, argv, "--help") || Asked(argc, argv, "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (Asked(argc, argv, "--version")) {
        std::cout << "tscard " << TSCARD_VERSION << "\n";
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("tscard");
    QApplication::setApplicationVersion(TSCARD_VERSION);
    QGuiApplication::setDesktopFileName("tscard");
    QApplication::setWindowIcon(GlyphIcon(Glyph::AppIcon));

    SingleInstance instance;
    const OtherInstance other = instance.AskToShow();
    if (other == OtherInstance::Shown) return 0;
    if (other == OtherInstance::None) instance.Listen();

    QtDialogs dialogs;
    TTorvaneService window(dialogs);
    dialogs.SetOwner(&window);
    QObject::connect(&instance, &SingleInstance::ShowRequested, &window, &TTorvaneService::ShowFromOtherInstance);
    window.show();
    return QApplication::exec();
}
