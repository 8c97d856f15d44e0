// tscard-cli card list | info CARD | format CARD [--full] | clear CARD
// (card write and card read: cmd_card_write.cpp, cmd_card_read.cpp)
//
// CARD is a device node (the whole card, e.g. /dev/sdb) or a card image
// file. Only what discovery lists as a card is used unless
// --allow-non-removable is given; a disk holding the running system is
// never used. Writing to a device asks first on a terminal, or needs --yes.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include "card/card_format.h"
#include "card/card_list.h"
#include "card/card_panel.h"
#include "card/system_roots.h"
#include "cli/card_access.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/signals.h"

namespace tscard::cli {
namespace {

struct CardArgs {
    std::string card;
    bool full = false;
    bool yes = false;
    bool allow_non_removable = false;
};

int RunList(const SystemRoots& roots) {
    CardList list;
    if (Status status = ScanCards(roots, list); !status) Fail(status.message());
    for (const CardRecord& record : list.Records) std::cout << CardPanelLine(record) << '\n';
    std::cout.flush();
    for (const std::string& problem : list.Problems) PrintError(problem);
    if (list.Records.empty() && list.Problems.empty()) std::cerr << "No connect memory card" << std::endl;
    return list.Problems.empty() ? kExitOk : kExitFailed;
}

int RunInfo(const CardArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots);
    CardDevice device;
    const CardRecord record = ExamineCardOrExit(target, roots, device);
    const CardPanelView view = DescribeCard(record);
    const CardHeader raw = CardHeader::Decode(device.HeaderBuffer());
    std::cout << "Card: " << record.ItemText << '\n'
              << "File system: " << view.FileSystemText << '\n'
              << "Formatted: " << (view.Formatted ? "yes" : "no") << '\n'
              << "Length: " << device.Backend().Length() << " bytes\n"
              << "Total sectors: " << record.TotalSectors << '\n'
              << "Capacity MB: " << record.CapacityMB << '\n'
              << "Data units: " << record.DataUnits << '\n'
              << "Free units: " << record.FreeUnits << '\n'
              << "Capacity: " << view.CapacityText << " MB\n"
              << "Free: " << (view.Formatted ? view.FreeText + " MB" : view.FreeText) << '\n';
    if (record.FileSystemName == "DORO " || record.FileSystemName == "Unknow") {
        std::cout << "Mark: " << Hex2(raw.Mark) << '\n'
                  << "File count: " << unsigned(raw.FileCount) << '\n'
                  << "Flags: " << Hex2(raw.Flags) << '\n'
                  << "Version: " << (record.Directory.Header.Version01() ? "0.1" : "0.0") << '\n'
                  << "Bit rate: " << raw.Bitrate << " kbit/s\n";
    }
    if (record.HeaderValid) {
        const std::size_t count = std::min<std::size_t>(record.Directory.Header.FileCount, record.Directory.Records.size());
        std::cout << "Streams: " << count << '\n';
        for (std::size_t i = 0; i < count; ++i) {
            const DirEntry& e = record.Directory.Records[i];
            std::cout << "  " << i << ": \"" << TerminalText(e.NameBytes(), options) << "\" start sector "
                      << e.StartSector << ", length " << e.Length << ", last slot " << unsigned(e.LastSlot) << '\n';
        }
    }
    return kExitOk;
}

// Format and clear: the checks, the question, the exclusive open, the work
// and a fresh look at the card afterwards.
int RunWrite(const CardArgs& args, const SystemRoots& roots, bool clear) {
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots);
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
        "A card image is a regular file that stands for a card of its size. Opening card readers needs root "
        "or the 'disk' group; unmounting a card before writing needs root.");

    CLI::App* list = card->add_subcommand("list", "One line per attached card: item text, file system, capacity, free space");
    list->callback([] { Exit(RunList(SystemRoots::FromEnvironment())); });

    CLI::App* info = card->add_subcommand("info", "Header, figures and directory of a card");
    AddCardArguments(info, args->card, args->allow_non_removable);
    info->callback([args, &options] { Exit(RunInfo(*args, SystemRoots::FromEnvironment(), options)); });

    CLI::App* format = card->add_subcommand("format", "Give the card an empty header (rapid), or fill it with 0xFF first (--full)");
    AddCardArguments(format, args->card, args->allow_non_removable);
    format->add_flag("--full", args->full, "Fill every sector with 0xFF before writing the header");
    format->add_flag("--yes", args->yes, "Do not ask before writing to a device");
    format->callback([args] { Exit(RunWrite(*args, SystemRoots::FromEnvironment(), false)); });

    CLI::App* clear = card->add_subcommand("clear", "Clear All: an empty header, the streams are no longer listed");
    AddCardArguments(clear, args->card, args->allow_non_removable);
    clear->add_flag("--yes", args->yes, "Do not ask before writing to a device");
    clear->callback([args] { Exit(RunWrite(*args, SystemRoots::FromEnvironment(), true)); });

    RegisterCardWriteCommand(*card, options);
    RegisterCardReadCommand(*card, options);
}

}  // namespace tscard::cli
