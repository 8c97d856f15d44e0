#pragma once
// Everything the window keeps for the whole run that is not a control: the
// last analysis, the card in use, the splice job, the stop request and the
// event hub. One instance, owned by the main window and handed to its panels
// by reference.
//
// Members are destroyed in reverse order: the hub and the stop request come
// first, so they outlive everything that signals or polls them; a worker
// added here goes after what it works on, so that it is joined first.

#include <cstdint>
#include <string>
#include <vector>

#include "app/card_state.h"
#include "card/card_device.h"
#include "splice/splice_chain.h"
#include "splice/splice_job.h"
#include "events/event_hub.h"
#include "platform/stop_flag.h"
#include "analysis/analyzer.h"
#include "analysis/stream_state.h"
#include "demux/demultiplexer.h"
#include "prepare/prepare_worker.h"

namespace tscard::app {

struct AppState {
    // The eleven events and their hand-over fields. The window ends the
    // hub's thread (with its handshake) before any of this goes away.
    EventHub Events;
    // The stop request every worker polls.
    StopFlag StopRequested;

    // The last analysis: stream description, ProgramList, CurrentRemap and
    // what it hands to the prepare, demultiplex and card-write runs.
    StreamState Stream;
    // The card a card job works on (format, clear, write, read); the next
    // poll lets it go.
    CardDevice Card;
    // The cards listed, the one in use and what the card panels show of it.
    CardState Cards;
    // The splice list and output, and the names of the latest add.
    StickJob Stick;
    std::vector<std::string> StickAddList;
    // The splice's own stop request (Close during a splice) and the chain
    // of copies that joins the list.
    StopFlag StickStop;
    SpliceChain StickChain{Stick, Events, StickStop};

    // Texts the window keeps.
    std::string CardFileName;  // the card file chosen for reading
    std::string ParseFolder;   // where split programs are written
    std::string CardPrompt;    // the card selector's prompt, in the current language
    std::string NoCardText;    // what the card selector shows when no card answers

    // 1 while the prepare or the parse panel holds an opened stream.
    std::uint8_t StreamPanelOpen = 0;
    // Card write: a write runs; a write has ended and is still to be
    // announced; the write panel holds an analysed stream; the file to write
    // is being prepared first.
    std::uint8_t CardWriteBusy = 0;
    std::uint8_t WriteFinished = 0;
    std::uint8_t WritePanelOpen = 0;
    std::uint8_t WritePreparing = 0;

    // The file last chosen in the open dialog (OpenDialog1).
    std::string OpenDialogFile;
    // Divisor of the card size the write panel shows.
    double SizeRatio = 1.0;
    // The size of the stream last opened, in whole card blocks (bytes).
    std::int64_t CardBytes = 0;
    // The split's output folder (from ParseFolder) and "Remove staffings",
    // which the run reads at every packet.
    DemuxSettings SplitSettings;

    // Set when the window starts closing: no new run may start.
    bool Closing = false;

    // Workers, after what they work on: they are joined first.
    Analyzer StreamAnalyzer;
    PrepareWorker Preparer;
    Demultiplexer Splitter;
};

}  // namespace tscard::app
