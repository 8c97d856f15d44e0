// tscard: the window for preparing streams and managing the player's cards.

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/card_poll.h"
#include "app/images.h"
#include "app/qt_dialogs.h"
#include "app/single_instance.h"
#include "app/torvane_service.h"
#include "platform/log.h"
#include "platform/standard_streams.h"

namespace {

constexpr const char* kHelp =
    "Usage: tscard [--help] [--version] [--card-image PATH]... [FILE]\n"
    "\n"
    "The operator's window for a DVB-ASI stream player that plays MPEG-2 transport\n"
    "streams from SD cards in its own raw layout. It opens a stream and shows its\n"
    "programs and PIDs, prepares a single-program stream for the card (new PIDs,\n"
    "regenerated PAT/PMT/SDT, PCRs restamped at one multiplex rate), splits a\n"
    "multi-program stream into one file per program, splices several files into\n"
    "one, and formats, writes and reads the player's cards.\n"
    "\n"
    "A FILE given (or dropped on the window, or opened with tscard from a file\n"
    "manager) is opened for preparing, as \"Prepare simple stream(one program TS)\"\n"
    "does once its file is chosen.\n"
    "\n"
    "Only one window runs per user: starting tscard again brings the running\n"
    "window to the front, and the FILE it was given opens there (when that\n"
    "window does not answer, tscard says so and exits with 1). Captions are\n"
    "Russian under a Russian locale (LC_ALL, LC_MESSAGES or LANG starting with\n"
    "\"ru\"), English otherwise; the flag button switches them. TSCARD_LOG set\n"
    "prints the workers' trace on stderr.\n"
    "\n"
    "--card-image PATH lists a card image file as a card, for work without a card\n"
    "reader (\"Open file stream for\" > \"Attach card image...\" does the same in the\n"
    "window). PATH may also name a block device that is not a removable card, a\n"
    "loop device say. A disk that holds the running system is refused before the\n"
    "window opens; a partition, an empty reader or anything else that is no card\n"
    "is told in the window. Without root, block devices are opened through the\n"
    "UDisks2 service, which asks for permission through the desktop's polkit agent;\n"
    "one that UDisks2 counts among the system's disks is refused.\n"
    "\n"
    "tscard-cli is its command-line twin: the same work, with the same results,\n"
    "for scripts and terminals (tscard-cli --help).\n";

bool Asked(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

constexpr const char kCardImage[] = "--card-image";

// What the command line asks for: card images to attach and a file to open.
struct Arguments {
    std::vector<std::string> Images;  // --card-image PATH or --card-image=PATH
    // The first argument that is not an option, as a full path (a running
    // first instance may have another working folder). A desktop passes
    // every file chosen; the first is opened.
    std::string File;
};

// False when --card-image lacks its path.
bool ReadArguments(int argc, char** argv, Arguments& out) {
    const std::size_t length = std::strlen(kCardImage);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kCardImage) == 0) {
            if (i + 1 >= argc) return false;
            out.Images.emplace_back(argv[++i]);
        } else if (std::strncmp(argv[i], kCardImage, length) == 0 && argv[i][length] == '=') {
            out.Images.emplace_back(argv[i] + length + 1);
        } else if (argv[i][0] != '-' && argv[i][0] != '\0' && out.File.empty()) {
            std::error_code ec;
            const std::filesystem::path full = std::filesystem::absolute(argv[i], ec);
            out.File = ec ? std::string(argv[i]) : full.string();
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tscard::app;
    // Before anything is opened: no card, file or socket may become stdout.
    if (!tscard::KeepStandardStreamsOpen()) return 1;
    if (Asked(argc, argv, "--help") || Asked(argc, argv, "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (Asked(argc, argv, "--version")) {
        std::cout << "tscard " << TSCARD_VERSION << "\n";
        return 0;
    }

    tscard::SetDebugLogEnabled(std::getenv("TSCARD_LOG") != nullptr);
    Arguments arguments;
    if (!ReadArguments(argc, argv, arguments)) {
        std::cerr << "tscard: --card-image needs the path of a card image or block device\n";
        return 2;
    }
    const std::string& file = arguments.File;

    QApplication app(argc, argv);
    // Settings (the streams opened last) in ~/.config/tscard/tscard.conf.
    QApplication::setOrganizationName("tscard");
    QApplication::setApplicationName("tscard");
    QApplication::setApplicationVersion(TSCARD_VERSION);
    QGuiApplication::setDesktopFileName("tscard");
    QApplication::setWindowIcon(GlyphIcon(Glyph::AppIcon));

    SingleInstance instance;
    OtherInstance other = instance.AskToShow(kInstanceAnswerMs, file);
    // Another start may have taken the name since: it is the first then.
    if (other == OtherInstance::None && !instance.Listen()) other = instance.AskToShow(kInstanceAnswerMs, file);
    switch (other) {
        case OtherInstance::Shown:
            if (arguments.Images.empty()) return 0;
            std::cerr << "tscard: a window is already running and was brought to the front; attach the card image "
                         "there (Open file stream for > Attach card image...)\n";
            return 1;
        case OtherInstance::Silent:
            // Two windows could write the same card: never a second one.
            std::cerr << "tscard: " << instance.Why() << "; not opening a second window (close that window, or end "
                      << "its process if it hangs, then start tscard again)\n";
            return 1;
        case OtherInstance::None: break;
    }

    QtDialogs dialogs;
    TTorvaneService window(dialogs);
    dialogs.SetOwner(&window);
    // A disk of the system is refused before the window shows; what else
    // is no card is told in the window.
    if (tscard::Status attached = window.Poll().AttachNamed(arguments.Images); !attached) {
        std::cerr << "tscard: " << attached.message() << "\n";
        return 2;
    }
    QObject::connect(&instance, &SingleInstance::ShowRequested, &window, &TTorvaneService::ShowFromOtherInstance);
    QObject::connect(&instance, &SingleInstance::OpenRequested, &window, &TTorvaneService::OpenFromOutside);
    window.show();
    if (!file.empty()) QTimer::singleShot(0, &window, [&window, file] { window.OpenFromOutside(file); });
    return QApplication::exec();
}
