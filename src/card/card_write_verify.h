#pragma once
// Checking a written stream: its source is packed again and every block is
// compared with the unit the card gives back. Cards that claim more space
// than they have wrap or drop writes; this is how the operator finds out.

#include <cstdint>
#include <functional>
#include <string>

#include "card/card_device.h"
#include "platform/source_reader.h"
#include "platform/stop_flag.h"

namespace tscard {

struct [[nodiscard]] CardVerifyResult {
    bool Matches = false;
    bool Stopped = false;
    std::uint64_t BlocksCompared = 0;
    // The first difference (block, unit, sector, byte, the two values), a
    // read failure of the card or the source, or a stop, naming the card or
    // the file.
    std::string Message;
};

// Compares the entry's blocks with the source from start (the offset the
// write packed from). progress, if given, gets blocks compared and in all.
CardVerifyResult VerifyWrittenStream(CardDevice& device, const DirEntry& entry, const SourceFile& source,
                                     std::uint64_t start, bool packet192, StopFlag& stop,
                                     const std::function<void(std::uint64_t done, std::uint64_t total)>& progress = {});

}  // namespace tscard
