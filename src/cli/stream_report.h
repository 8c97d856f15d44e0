#pragma once
// The analyze report and its JSON summary: the file, its packets and its
// size on a card, then per program its service names, PMT and PCR PIDs
// and one line per elementary stream.

#include <iosfwd>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "analysis/stream_summary.h"
#include "cli/cli_common.h"

namespace tscard::cli {

// The report; parse_lines (parse mode) close it as the programs to split.
void PrintStreamReport(std::ostream& out, const StreamSummary& summary, const std::vector<std::string>& parse_lines,
                       const GlobalOptions& options);

// Adds the summary fields to an analyze JSON object (documented in the
// README: fields are only ever added, never renamed or removed).
void AddStreamSummaryJson(nlohmann::json& j, const StreamSummary& summary, const GlobalOptions& options);

}  // namespace tscard::cli
