// tscard-cli card list [--json] | info CARD [--details] [--json] | format CARD [--full] | clear CARD
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
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>

#include "card/card_format.h"
#include "card/card_list.h"
#include "card/card_panel.h"
#include "card/card_read.h"
#include "card/system_roots.h"
#include "cli/card_access.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/signals.h"
#include "ts/packet.h"

namespace tscard::cli {
namespace {

struct CardArgs {
    std::string card;
    bool full = false;
    bool yes = false;
    bool allow_non_removable = false;
    bool json = false;
    bool details = false;
    bool quick = false;
};

std::string VersionText(const CardRecord& record) { return record.Directory.Header.Version01() ? "0.1" : "0.0"; }

std::string ReaderText(const CardRecord& record) {
    if (!record.ReaderModel.empty()) return EscapeControls(record.ReaderModel);
    return "-";
}

std::uint64_t SizeBytes(const CardRecord& record) { return record.TotalSectors * kSectorSize; }

nlohmann::json CardJson(const CardRecord& record, const GlobalOptions& options) {
    const CardPanelView view = DescribeCard(record);
    nlohmann::json j = {
        {"device", record.DevicePath},
        {"item_text", record.ItemText},
        {"reader", record.ReaderModel},
        {"size_bytes", SizeBytes(record)},
        {"size_mib", record.CapacityMB},
        {"file_system", record.FileSystemName},
        {"file_system_text", view.FileSystemText},
        {"in_card_layout", record.HeaderValid},
        {"formatted", view.Formatted},
        {"version", VersionText(record)},
        {"capacity_text", view.CapacityText},
        {"free_text", view.FreeText},
        {"data_units", record.DataUnits},
        {"free_units", record.FreeUnits},
        {"total_sectors", record.TotalSectors},
    };
    j["stream_names"] = nlohmann::json::array();
    for (const std::string& name : view.StreamNames) j["stream_names"].push_back(DisplayText(name, options));
    return j;
}

int RunList(const SystemRoots& roots, bool json, const GlobalOptions& options) {
    CardList list;
    if (Status status = ScanCards(roots, list); !status) Fail(status.message());
    if (json) {
        nlohmann::json j = {{"cards", nlohmann::json::array()}, {"problems", list.Problems}};
        for (const CardRecord& record : list.Records) j["cards"].push_back(CardJson(record, options));
        PrintJson(j);
    } else if (!list.Records.empty()) {
        Table table;
        table.Row({"Device", "Size", "Reader", "File system", "Formatted", "Free"});
        for (const CardRecord& record : list.Records) {
            const CardPanelView view = DescribeCard(record);
            table.Row({EscapeControls(record.DevicePath), std::to_string(record.CapacityMB) + " MiB",
                       ReaderText(record), view.FileSystemText, view.Formatted ? "yes" : "no",
                       view.Formatted ? view.FreeText + " MiB" : view.FreeText});
        }
        std::ostringstream out;
        table.Print(out);
        std::cout << out.str();
    }
    std::cout.flush();
    for (const std::string& problem : list.Problems) PrintError(problem);
    if (list.Records.empty() && list.Problems.empty()) std::cerr << "No connect memory card" << std::endl;
    return list.Problems.empty() ? kExitOk : kExitFailed;
}

// One stream on the card: the space it takes, and what it plays: the
// stored packets with the null packets folded into their trailers, which
// only reading its blocks tells.
struct StreamFigures {
    std::uint64_t blocks = 0;
    std::uint64_t bytes = 0;   // on the card
    std::uint64_t stored = 0;  // packets in the blocks' slots
    std::optional<std::uint64_t> played;  // packets it plays, once read
    std::optional<double> seconds;        // at the card's bit rate, once read
    std::string problem;                  // why it was not read to its end
};

StreamFigures FiguresOf(const DirEntry& e) {
    StreamFigures f;
    f.blocks = std::uint64_t(e.Length) + 1;
    f.bytes = f.blocks * kUnitSize;
    f.stored = StoredPackets(e);
    return f;
}

// Reads the streams' blocks and counts what they play; a stop leaves the
// rest unread.
void CountPlayed(CardDevice& device, const std::vector<DirEntry>& entries, std::uint32_t bitrate_kbit,
                 std::vector<StreamFigures>& figures) {
    std::uint64_t total = 0;
    for (const StreamFigures& f : figures) total += f.blocks;
    StopFlag stop;
    StopOnSignals signals(stop);
    TerminalProgress progress("Reading", total);
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        StreamFigures& f = figures[i];
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

std::size_t StreamCount(const CardRecord& record) {
    if (!record.HeaderValid) return 0;
    return std::min<std::size_t>(record.Directory.Header.FileCount, record.Directory.Records.size());
}

std::uint32_t BitrateOf(const CardRecord& record, const CardHeader& raw) {
    return record.Directory.Header.Version01() ? raw.Bitrate : 0;
}

void PrintInfo(std::ostream& out, const CardRecord& record, const std::string& reader, const CardHeader& raw,
               std::uint64_t length, const std::vector<StreamFigures>& figures, bool details,
               const GlobalOptions& options) {
    const CardPanelView view = DescribeCard(record);
    const std::uint32_t bitrate = BitrateOf(record, raw);
    Fields fields;
    fields.Add("Card", EscapeControls(record.DevicePath))
        .Add("Reader", reader)
        .Add("Size", std::to_string(record.CapacityMB) + " MiB (" + BytesText(SizeBytes(record)) + ")")
        .Add("File system", view.FileSystemText)
        .Add("Formatted", view.Formatted ? "yes" : "no");
    if (record.HeaderValid) fields.Add("Format version", VersionText(record));
    fields.Add("Capacity", view.CapacityText + " MiB").Add("Free", view.Formatted ? view.FreeText + " MiB" : view.FreeText);
    if (record.HeaderValid) {
        fields.Add("Bit rate", bitrate > 0 ? KbitText(bitrate) : "none (a version 0.0 card, or not written yet)");
        fields.Add("Streams", std::to_string(figures.size()));
    }
    fields.Print(out);
    if (!figures.empty()) {
        out << '\n';
        Table table;
        table.Row({"#", "Name", "On the card", "Played", "Duration"});
        for (std::size_t i = 0; i < figures.size(); ++i) {
            const StreamFigures& f = figures[i];
            const DirEntry& e = record.Directory.Records[i];
            table.Row({std::to_string(i), "\"" + TerminalText(e.NameBytes(), options) + "\"",
                       UnitsAsMegabytes(std::int64_t(f.blocks)) + " MiB",
                       f.played ? MibText(double(*f.played * kPacketSize)) : "-",
                       f.seconds ? SecondsText(*f.seconds, 3) : "-"});
        }
        table.Print(out, 2);
    }
    if (!details) return;
    out << "\nDetails\n\n";
    Fields more;
    more.Add("Item", EscapeControls(record.ItemText))
        .Add("Length", BytesText(length))
        .Add("Total sectors", std::to_string(record.TotalSectors))
        .Add("Capacity MB", std::to_string(record.CapacityMB))
        .Add("Data units", std::to_string(record.DataUnits))
        .Add("Free units", std::to_string(record.FreeUnits));
    if (record.FileSystemName == "DORO " || record.FileSystemName == "Unknow") {
        more.Add("Mark", Hex2(raw.Mark))
            .Add("File count", std::to_string(unsigned(raw.FileCount)))
            .Add("Flags", Hex2(raw.Flags))
            .Add("Header bit rate", KbitText(raw.Bitrate));
    }
    more.Print(out);
    if (!figures.empty()) {
        out << '\n';
        Table table;
        table.Row({"#", "Start sector", "Length", "Last slot", "Stored packets", "Played packets"});
        for (std::size_t i = 0; i < figures.size(); ++i) {
            const DirEntry& e = record.Directory.Records[i];
            const StreamFigures& f = figures[i];
            table.Row({std::to_string(i), std::to_string(e.StartSector), std::to_string(e.Length),
                       std::to_string(unsigned(e.LastSlot)), std::to_string(f.stored),
                       f.played ? std::to_string(*f.played) : "-"});
        }
        table.Print(out, 2);
    }
}

nlohmann::json InfoJson(const CardRecord& record, const CardHeader& raw, std::uint64_t length,
                        const std::vector<StreamFigures>& figures, const GlobalOptions& options) {
    nlohmann::json j = CardJson(record, options);
    j["length_bytes"] = length;
    j["bitrate_kbps"] = BitrateOf(record, raw);
    j["mark"] = raw.Mark;
    j["file_count"] = raw.FileCount;
    j["flags"] = raw.Flags;
    j["header_bitrate"] = raw.Bitrate;
    j["streams"] = nlohmann::json::array();
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const DirEntry& e = record.Directory.Records[i];
        const StreamFigures& f = figures[i];
        nlohmann::json stream = {{"index", i},
                                 {"name", DisplayText(e.NameBytes(), options)},
                                 {"start_sector", e.StartSector},
                                 {"length", e.Length},
                                 {"last_slot", e.LastSlot},
                                 {"blocks", f.blocks},
                                 {"bytes", f.bytes},
                                 {"stored_packets", f.stored}};
        stream["played_packets"] = f.played ? nlohmann::json(*f.played) : nlohmann::json(nullptr);
        stream["played_bytes"] = f.played ? nlohmann::json(*f.played * kPacketSize) : nlohmann::json(nullptr);
        stream["seconds"] = f.seconds ? nlohmann::json(*f.seconds) : nlohmann::json(nullptr);
        if (!f.problem.empty()) stream["problem"] = f.problem;
        j["streams"].push_back(std::move(stream));
    }
    return j;
}

int RunInfo(const CardArgs& args, const SystemRoots& roots, const GlobalOptions& options) {
    const CardTarget target = ResolveCardOrExit(args.card, args.allow_non_removable, roots);
    CardDevice device;
    CardRecord record = ExamineCardOrExit(target, roots, device);
    record.ReaderModel = target.Model;
    const CardHeader raw = CardHeader::Decode(device.HeaderBuffer());
    const std::uint64_t length = device.Backend().Length();
    std::vector<DirEntry> entries(record.Directory.Records.begin(),
                                  record.Directory.Records.begin() + std::ptrdiff_t(StreamCount(record)));
    std::vector<StreamFigures> figures;
    for (const DirEntry& e : entries) figures.push_back(FiguresOf(e));
    if (!args.quick) CountPlayed(device, entries, BitrateOf(record, raw), figures);
    if (args.json) {
        PrintJson(InfoJson(record, raw, length, figures, options));
    } else {
        std::ostringstream out;
        const std::string reader = target.IsBlockDevice ? ReaderText(record) : "- (a card image file)";
        PrintInfo(out, record, reader, raw, length, figures, args.details, options);
        std::cout << out.str();
    }
    std::cout.flush();
    for (std::size_t i = 0; i < figures.size(); ++i)
        if (!figures[i].problem.empty()) PrintError("warning: stream " + std::to_string(i) + ": " + figures[i].problem);
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
