#pragma once
// What card list and card info print: aligned lines and tables, or JSON.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "card/card_layout.h"
#include "card/card_list.h"
#include "cli/cli_common.h"

namespace tscard::cli {

// One stream on the card: the space it takes, and what it plays: the
// stored packets with the null packets folded into their trailers, which
// only reading its blocks tells.
struct CardStreamFigures {
    std::uint64_t blocks = 0;
    std::uint64_t bytes = 0;   // on the card
    std::uint64_t stored = 0;  // packets in the blocks' slots
    std::optional<std::uint64_t> played;  // packets it plays, once read
    std::optional<double> seconds;        // at the card's bit rate, once read
    std::string problem;                  // why it was not read to its end
};

// The figures the entry alone gives (played and seconds left empty).
CardStreamFigures StoredFiguresOf(const DirEntry& e);
// The streams the directory lists (none without a card header).
std::size_t StreamCount(const CardRecord& record);
// The header's bit rate in kbit/s; 0 for a version 0.0 card.
std::uint32_t CardBitrate(const CardRecord& record, const CardHeader& raw);

// One aligned line per card, under a line of column names.
void PrintCardList(std::ostream& out, const std::vector<CardRecord>& records);
nlohmann::json CardListJson(const CardList& list, const GlobalOptions& options);

struct CardInfoView {
    const CardRecord* record = nullptr;
    std::string reader;  // what the Reader line says
    CardHeader raw;      // the header sector as read
    std::uint64_t length = 0;
    std::vector<CardStreamFigures> streams;  // one per listed stream
};
void PrintCardInfo(std::ostream& out, const CardInfoView& info, bool details, const GlobalOptions& options);
nlohmann::json CardInfoJson(const CardInfoView& info, const GlobalOptions& options);

}  // namespace tscard::cli
