#pragma once
// What a stream takes on the card, known before the card is touched: the
// card keeps null packets as counts, so a stream of many null packets
// takes far less room than its file. The source is packed as a write packs
// it, with nowhere to put the blocks, so the figures are exact: a write
// refuses a stream that has nothing to store, and asks about one that does
// not fit, before the card changes.
//
//     CardStreamSize size = MeasureCardStream(source, start, packet192,
//                                             [&](std::uint64_t) { return !stop.IsSet(); });
//     if (size.Complete && size.PacketsStored == 0) ...   // only null packets

#include <cstdint>
#include <functional>

#include "card/card_layout.h"
#include "platform/source_reader.h"
#include "platform/status.h"

namespace tscard {

struct CardStreamSize {
    bool Complete = false;           // the whole source was packed (not stopped, read to its end)
    // Not ok: the source could not be read to its end (a read error, or it
    // shrank while it was read); the message names the file.
    Status Read;
    std::uint64_t PacketsStored = 0;  // packets that are not null packets
    std::uint64_t Blocks = 0;         // 8192-byte units they fill
    std::int64_t Bytes() const { return static_cast<std::int64_t>(Blocks * kUnitSize); }
};

// Packs the source from `start` (the first packet, as a write
// starts) to its end; after_window(windows packed) is asked after every
// 64 KiB window, and a false ends the measurement unfinished.
CardStreamSize MeasureCardStream(const SourceFile& source, std::uint64_t start, bool packet192,
                                 const std::function<bool(std::uint64_t windows_packed)>& after_window);

}  // namespace tscard
