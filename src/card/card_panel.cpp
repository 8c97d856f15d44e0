#include "card/card_panel.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "card/card_read.h"

namespace tscard {

std::string UnitsAsMegabytes(std::int64_t units) {
    // units / 128 MB exactly; count decimal digits of the whole part.
    const std::uint64_t magnitude = static_cast<std::uint64_t>(units < 0 ? -units : units);
    int whole_digits = 1;
    for (std::uint64_t whole = magnitude / 128; whole >= 10; whole /= 10) ++whole_digits;
    const int kept = std::clamp(8 - whole_digits, 0, 4);
    std::uint64_t scale = 1;
    for (int i = 0; i < kept; ++i) scale *= 10;
    // Round magnitude × scale / 128 half up.
    const std::uint64_t rounded = (magnitude * scale * 2 + 128) / 256;
    std::string digits = std::to_string(rounded / scale);
    std::string fraction = std::to_string(rounded % scale);
    if (kept > 0) fraction.insert(0, static_cast<std::size_t>(kept) - fraction.size(), '0');
    else fraction.clear();
    fraction.append(static_cast<std::size_t>(4 - kept), '0');
    return (units < 0 ? "-" : "") + digits + "." + fraction;
}

std::string DirectoryDamage(const CardRecord& record) {
    const CardDirectory& directory = record.Directory;
    const std::size_t count = std::min<std::size_t>(directory.Header.FileCount, directory.Records.size());
    // Whole units after the header region, as a read counts them.
    const std::uint64_t length = record.TotalSectors * kSectorSize;
    const std::uint64_t units = length > kHeaderRegionBytes ? (length - kHeaderRegionBytes) / kUnitSize : 0;
    auto damaged = [](std::size_t i, const std::string& why) {
        return "the directory is damaged: stream " + std::to_string(i) + " " + why;
    };
    std::vector<std::pair<std::uint64_t, std::size_t>> starts;  // first unit, stream
    for (std::size_t i = 0; i < count; ++i) {
        const DirEntry& entry = directory.Records[i];
        if (entry.IsFree()) return damaged(i, "is listed but its entry is free");
        if (const std::string problem = EntryProblem(entry, units); !problem.empty())
            return damaged(i, "does not fit the card: " + problem);
        starts.emplace_back(SectorToUnit(entry.StartSector), i);
    }
    std::sort(starts.begin(), starts.end());
    for (std::size_t k = 1; k < starts.size(); ++k) {
        const DirEntry& before = directory.Records[starts[k - 1].second];
        if (starts[k - 1].first + before.Length + 1 > starts[k].first)
            return damaged(starts[k].second, "lies on blocks of stream " + std::to_string(starts[k - 1].second));
    }
    return std::string();
}

CardPanelView DescribeCard(const CardRecord& record) {
    CardPanelView view;
    const CardHeader& header = record.Directory.Header;
    view.FileSystemText = record.FileSystemName + (header.Version01() ? " v0.1" : " v0.0");
    view.Formatted = record.HeaderValid && header.Formatted();
    view.CapacityText = UnitsAsMegabytes(record.DataUnits);
    if (view.Formatted) {
        view.FreeMB = static_cast<double>(record.FreeUnits) * 8192.0 / 1048576.0;
        view.FreeText = UnitsAsMegabytes(record.FreeUnits);
        const std::size_t count = std::min<std::size_t>(header.FileCount, record.Directory.Records.size());
        for (std::size_t i = 0; i < count; ++i) view.StreamNames.push_back(record.Directory.Records[i].NameBytes());
        view.Damage = DirectoryDamage(record);
    } else {
        view.FreeText = "Mast be formated";
    }
    return view;
}

}  // namespace tscard
