#pragma once
// The front end's side of the end of a card write, run on the front end's
// thread when the event hub passes the worker's events on:
//
//   CompleteWriteFile    -> DoCompleteWriteFile
//   evBreakWrite         -> DoBreakWrite (which signals CompleteWriteFile)
//   CompleteErrWriteFile -> DoCompleteErrWriteFile
//
// They do the data part only; a window adds its own control updates.

#include "card/card_device.h"
#include "card/card_write.h"
#include "events/event_hub.h"

namespace tscard {

// Stores the card's directory as the worker left it and makes it durable.
// On failure signals CompleteErrWriteFile: the card keeps the rebuilt
// header and the blocks, with an empty directory.
Status DoCompleteWriteFile(CardDevice& device, CardWriteState& write, EventSink& events);

// Records the interrupted stream from the hand-over fields (one entry for
// the blocks on the card, none when no block got there), then signals
// CompleteWriteFile so that the directory is stored as after a normal end.
void DoBreakWrite(CardDevice& device, CardWriteState& write, const EventHandOver& hand_over, EventSink& events);

// After a failed directory store: the write is not announced as finished.
void DoCompleteErrWriteFile(CardWriteState& write);

}  // namespace tscard
