#include "cli/card_report.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

#include "card/card_panel.h"
#include "cli/report.h"
#include "ts/packet.h"

namespace tscard::cli {
namespace {

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

}  // namespace

CardStreamFigures StoredFiguresOf(const DirEntry& e) {
    CardStreamFigures f;
    f.blocks = std::uint64_t(e.Length) + 1;
    f.bytes = f.blocks * kUnitSize;
    f.stored = StoredPackets(e);
    return f;
}

void PrintCardList(std::ostream& out, const std::vector<CardRecord>& records) {
    Table table;
    table.Row({"Device", "Size", "Reader", "File system", "Formatted", "Free"});
    for (const CardRecord& record : records) {
        const CardPanelView view = DescribeCard(record);
        table.Row({EscapeControls(record.DevicePath), std::to_string(record.CapacityMB) + " MiB", ReaderText(record),
                   view.FileSystemText, view.Formatted ? "yes" : "no",
                   view.Formatted ? view.FreeText + " MiB" : view.FreeText});
    }
    table.Print(out);
}

nlohmann::json CardListJson(const CardList& list, const GlobalOptions& options) {
    nlohmann::json problems = nlohmann::json::array();
    for (const Words& problem : list.Problems) problems.push_back(problem.English());
    nlohmann::json j = {{"cards", nlohmann::json::array()}, {"problems", problems}, {"empty_readers", list.EmptyReaders}};
    for (const CardRecord& record : list.Records) j["cards"].push_back(CardJson(record, options));
    return j;
}

std::size_t StreamCount(const CardRecord& record) {
    if (!record.HeaderValid) return 0;
    return std::min<std::size_t>(record.Directory.Header.FileCount, record.Directory.Records.size());
}

std::uint32_t CardBitrate(const CardRecord& record, const CardHeader& raw) {
    return record.Directory.Header.Version01() ? raw.Bitrate : 0;
}

void PrintCardInfo(std::ostream& out, const CardInfoView& info, bool details, const GlobalOptions& options) {
    const CardRecord& record = *info.record;
    const CardHeader& raw = info.raw;
    const std::vector<CardStreamFigures>& figures = info.streams;
    const CardPanelView view = DescribeCard(record);
    const std::uint32_t bitrate = CardBitrate(record, raw);
    Fields fields;
    fields.Add("Card", EscapeControls(record.DevicePath))
        .Add("Reader", info.reader)
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
            const CardStreamFigures& f = figures[i];
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
        .Add("Length", BytesText(info.length))
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
            const CardStreamFigures& f = figures[i];
            table.Row({std::to_string(i), std::to_string(e.StartSector), std::to_string(e.Length),
                       std::to_string(unsigned(e.LastSlot)), std::to_string(f.stored),
                       f.played ? std::to_string(*f.played) : "-"});
        }
        table.Print(out, 2);
    }
}

nlohmann::json CardInfoJson(const CardInfoView& info, const GlobalOptions& options) {
    const CardRecord& record = *info.record;
    const CardHeader& raw = info.raw;
    const std::vector<CardStreamFigures>& figures = info.streams;
    nlohmann::json j = CardJson(record, options);
    j["length_bytes"] = info.length;
    j["bitrate_kbps"] = CardBitrate(record, raw);
    j["mark"] = raw.Mark;
    j["file_count"] = raw.FileCount;
    j["flags"] = raw.Flags;
    j["header_bitrate"] = raw.Bitrate;
    j["streams"] = nlohmann::json::array();
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const DirEntry& e = record.Directory.Records[i];
        const CardStreamFigures& f = figures[i];
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

}  // namespace tscard::cli
