#pragma once
// The two commands that give a card an empty header region: "Format"
// (rapid: the header region only; full: every sector 0xFF first) and
// "Clear All" (always rapid). The card must have been opened for writing,
// which unmounts its file systems and holds it exclusively.

#include <cstdint>
#include <string>

#include "card/card_device.h"

namespace tscard {

// The smallest card the layout fits on: the header region and one unit.
constexpr std::uint64_t kMinimumCardBytes = (kHeaderRegionSectors + 1 + kSectorsPerUnit) * kSectorSize;

// "<path>: N bytes is too small for the card layout (at least M bytes are
// needed)": what every command says of a card that small.
Words TooSmallForLayout(const std::string& path, std::uint64_t length);

Status FormatCard(CardDevice& device, bool full, const FillObserver& observer = {});
Status ClearAllCard(CardDevice& device);

}  // namespace tscard
