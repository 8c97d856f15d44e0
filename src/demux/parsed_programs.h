#pragma once
// What a split starts from: after a complete analysis in parse mode, every
// program whose PMT was read is selected, with a PAT, an SDT and its first
// PMT packet of its own (the packets each output file carries in place of
// the input's).

#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "ts/model.h"

namespace tscard {

// Marks the programs of ProgramList Selected and fills their StoredPat,
// StoredSdt and StoredPmt. Returns the operator's line per selected
// program (SelectionLine). Nothing without a description.
std::vector<std::string> SelectParsedPrograms(StreamState& state);

// The operator's line for a selected program: SourceName (8-bit bytes) +
// "[0x" + four upper-case hex digits of the program number + "]", as in
// "News[0x0102]".
std::string SelectionLine(const ProgramRemap& program);

// An SDT packet for the program; names that do not fit in one packet are
// shortened, the provider first.
Packet StoredSdtFor(const ProgramRemap& program);

}  // namespace tscard
