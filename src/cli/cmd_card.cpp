// tscard-cli card list [--json] | info CARD [--details] [--json] | format CARD [--full] | clear CARD
// (card write and card read: cmd_card_write.cpp, cmd_card_read.cpp)
//
// CARD is a device node (the whole card, e.g. /dev/sdb) or a card image
// file. Only what discovery lists as a card is used unless
// --allow-non-removable is given; a disk holding the running system is
// never used. Writing to a device asks first on a terminal, or needs --yes.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "card/card_format.h"
#include "card/card_list.h"
#include "card/card_panel.h"
#include "card/card_read.h"
#include "card/system_roots.h"
#include "cli/card_access.h"
#include "cli/card_report.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "cli/qt_module.h"
#include "ts/packet.h"

namespace tscard::cli {
namespace {

constexpr std::uint64_t kMebibyte = 1048576;

struct CardArgs {
    std::string card;
    bool full = false;
    bool yes = false;
    bool allow_non_removable = false;
    bool json = false;
    bool details = false;
    bool quick = false;
};

int RunList(const SystemRoots& roots, bool json, const GlobalOptions& options) {
    CardList list;
    if (Status status = ScanCards(roots, list, options.qt->ChooseCardOpener()); !status)
        Fail(status.message());
    std::ostringstream out;
    if (json)
        PrintJson(CardListJson(list, options));
    else if (!list.Records.empty())
        PrintCardList(out, list.Records);
    std::cout << out.str();
    std::cout.flush();
    for (const Words& problem : list.Problems) PrintError(problem.English());
    if (list.Records.empty() && list.Problems.empty()) std::cerr << "No connect memory card" << std::endl;
    for (const std::string& reader : list.EmptyReaders) PrintError(reader + ": no card in the reader; insert a card");
    return list.Problems.empty() ? kExitOk : kExitFailed;
}


// Reads the streams' blocks and counts what they play; a stop leaves the
// rest unread.
void CountPlayed(CardDevice& device, const std::vector<DirEntry>& entries, std::uint32_t bitrate_kbit,
                 std::vector<CardStreamFigures>& figures) {
    std::uint64_t total = 0;
    for (const CardStreamFigures& f : figures) total += f.blocks;
    StopFlag stop;
    StopOnSignals signals(stop);
    TerminalProgress progress("Reading", total);
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        CardStreamFigures& f = figures[i];
        const PlayedPackets played = CountPlayedPackets(
            device, entries[i], stop, [&](std::uint64_t done, std::uint64_t) { progress.Set(before + done); });
        before += f.blocks;
        if (!played.Complete) {
            f.problem = played.Message.empty() ? "stopped before its end" : played.Message;
            if (played.Message.empty()) break;
            continue;
        }
        f.played = played.Packets;
        if (bitrate_kbit > 0) f.seconds = double(played.Packets) * kBitsPerPacket / (1000.0 * double(bitrate_kbit));
    }
    progress.Finish();
}

int RunInfo(const CardArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots, *options.qt);
    CardDevice device;
    CardRecord record = ExamineCardOrExit(target, roots, device);
    record.ReaderModel = target.Model;
    CardInfoView info;
    info.record = &record;
    info.raw = CardHeader::Decode(device.HeaderBuffer());
    info.length = device.Backend().Length();
    info.reader = target.IsBlockDevice ? (record.ReaderModel.empty() ? "-" : EscapeControls(record.ReaderModel))
                                       : "- (a card image file)";
    const std::vector<DirEntry> entries(record.Directory.Records.begin(),
                                        record.Directory.Records.begin() + std::ptrdiff_t(StreamCount(record)));
    for (const DirEntry& e : entries) info.streams.push_back(StoredFiguresOf(e));
    if (!args.quick) CountPlayed(device, entries, CardBitrate(record, info.raw), info.streams);
    if (args.json) {
        PrintJson(CardInfoJson(info, options));
    } else {
        std::ostringstream out;
        PrintCardInfo(out, info, args.details, options);
        std::cout << out.str();
    }
    std::cout.flush();
    if (const std::string damage = DirectoryDamage(record); !damage.empty()) PrintError("warning: " + damage);
    for (std::size_t i = 0; i < info.streams.size(); ++i)
        if (!info.streams[i].problem.empty())
            PrintError("warning: stream " + std::to_string(i) + ": " + info.streams[i].problem);
    return kExitOk;
}

// What format and clear ask of the card before they write. Clear empties
// a formatted card: one that is not is said to be so, never formatted
// unasked. A regular file is taken for a card image when it looks like
// one, in the card layout or of a card's size (a whole number of MiB, at
// least the layout's minimum); anything else, a stream say, is written
// over only with --yes.
void CheckBeforeWritingOrExit(const CardTarget& target, const SystemRoots& roots, bool clear, bool yes) {
    CardDevice look;
    OpenCardOrExit(target, false, roots, look);
    const std::uint64_t length = look.Backend().Length();
    if (length < kMinimumCardBytes) Fail(TooSmallForLayout(target.Path, length).English() + "; nothing was written");
    CardDirectory directory;
    const DirectoryState state = look.LoadDirectory(directory);
    if (clear && (state != DirectoryState::Valid || !directory.Header.Formatted()))
        Fail(target.Path + ": Mast be formated (the card is not in the card layout); 'tscard-cli card format' "
                           "formats it; nothing was written");
    if (target.IsBlockDevice || yes || state == DirectoryState::Valid) return;
    if (length % kMebibyte != 0)
        Fail(target.Path + ": not a card image: it is not in the card layout and its " + std::to_string(length) +
             " bytes are not a whole number of MiB, as a card's size is; --yes formats it all the same; nothing was "
             "written");
}

// Format and clear: the checks, the question, the exclusive open, the work
// and a fresh look at the card afterwards.
int RunWrite(const CardArgs& args, const SystemRoots& roots, bool clear, const GlobalOptions& options) {
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots, *options.qt);
    CheckBeforeWritingOrExit(target, roots, clear, args.yes);
    ConfirmRawWriteOrExit(target, roots, clear ? "Clear" : "Format", args.yes);
    CardDevice device;
    OpenCardOrExit(target, true, roots, device);
    Status status;
    if (clear) {
        status = ClearAllCard(device);
    } else {
        StopFlag stop;
        StopOnSignals signals(stop);
        std::unique_ptr<TerminalProgress> progress;
        FillObserver observer;
        observer.Stop = &stop;
        if (args.full) {
            progress = std::make_unique<TerminalProgress>("Formatting", 0);
            observer.Progress = [&](std::uint64_t done, std::uint64_t total) {
                progress->SetMaximum(total);
                progress->Set(done);
            };
        }
        status = FormatCard(device, args.full, observer);
        if (progress) progress->Finish();
    }
    if (!status) Fail(status.message());
    device = CardDevice();  // release the exclusive hold before looking again

    CardDevice check;
    const CardRecord record = ExamineCardOrExit(target, roots, check);
    std::cout << (clear ? "Cleared " : "Formatted ") << CardPanelLine(record) << std::endl;
    return kExitOk;
}

}  // namespace

void RegisterCardCommands(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<CardArgs>();
    CLI::App* card = app.add_subcommand(
        "card", "List, inspect, format, clear, write and read the player's cards (or card image files)");
    card->require_subcommand(1);
    card->footer(
        "A card image is a regular file that stands for a card of its size. Without root, card readers are "
        "opened and unmounted through the UDisks2 service once polkit allows it (on a terminal the session's "
        "polkit agent may ask for a password).");

    CLI::App* list = card->add_subcommand(
        "list", "One aligned line per attached card: device, size, reader, file system, formatted or not, free space");
    list->add_flag("--json", args->json, "Print the cards as one JSON object");
    list->callback([args, &options] { Exit(RunList(SystemRoots::FromEnvironment(), args->json, options)); });

    CLI::App* info = card->add_subcommand(
        "info", "Capacity, free space, format version, bit rate and the streams of a card, with their sizes and "
                "how long they play at the card's bit rate (read from their blocks)");
    AddCardArguments(info, args->card, args->allow_non_removable);
    info->add_flag("--details", args->details, "Add the header fields, the size figures and each entry's sectors");
    info->add_flag("--quick", args->quick,
                   "Do not read the streams' blocks: their played size and duration (the null packets folded into "
                   "the blocks play too) are then not shown");
    info->add_flag("--json", args->json, "Print everything as one JSON object");
    info->callback([args, &options] { Exit(RunInfo(*args, SystemRoots::FromEnvironment(), options)); });

    CLI::App* format = card->add_subcommand("format", "Give the card an empty header (rapid), or fill it with 0xFF first (--full)");
    AddCardArguments(format, args->card, args->allow_non_removable);
    format->add_flag("--full", args->full, "Fill every sector with 0xFF before writing the header");
    format->add_flag("--yes", args->yes,
                     "Do not ask before writing to a device; format a file that is neither in the card layout nor "
                     "of a card's size (a whole number of MiB)");
    format->callback([args, &options] { Exit(RunWrite(*args, SystemRoots::FromEnvironment(), false, options)); });

    CLI::App* clear = card->add_subcommand(
        "clear", "Clear All: an empty header, the streams are no longer listed (a formatted card only)");
    AddCardArguments(clear, args->card, args->allow_non_removable);
    clear->add_flag("--yes", args->yes, "Do not ask before writing to a device");
    clear->callback([args, &options] { Exit(RunWrite(*args, SystemRoots::FromEnvironment(), true, options)); });

    RegisterCardWriteCommand(*card, options);
    RegisterCardReadCommand(*card, options);
}

}  // namespace tscard::cli
