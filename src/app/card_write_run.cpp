// "Begin write" (SpeedButton1) and the end of a card write. The worker puts
// the directory entry on the card itself at the end of every write that
// reached it; the handlers of its events only show how it went, and the
// poll announces a finished write once it has found the card again.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/dialogs.h"
#include "app/event_bridge.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/parse_panel.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "card/card_open.h"
#include "card/card_panel.h"
#include "platform/codepage.h"

namespace tscard::app {
namespace {

constexpr const char* kWriteCaption = "Write TS file into SD card";

std::string Blocks(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " block" : " blocks"); }

}  // namespace

bool WritePanel::AskBeforeWriting(std::uint32_t& bitrate) {
    AppState& state = window_.State();
    Dialogs& dialog = window_.Dialog();
    const CardRecord* record = ListedCard(state.Cards, state.Cards.InUse);
    if (!state.Cards.CardReady || record == nullptr) {
        dialog.Tell("Drive of SD card no selected");
        return false;
    }
    const std::string text = Edit4->text().toStdString();
    const std::optional<std::uint32_t> rate = ParseCardBitrate(text);
    if (!rate) {
        dialog.Tell("The bit rate '" + text + "' is not " + CardBitrateRangeText() + "; nothing was written.",
                    kWriteCaption, DialogIcon::Error);
        return false;
    }
    bitrate = *rate;
    const std::int64_t stored_bytes = job_.Size ? job_.Size->Bytes() : state.Cards.CardBytes;
    if (job_.Size && job_.Size->PacketsStored == 0) {
        dialog.Tell(DecodeCodePage(job_.FileName, SystemCodePage()) +
                        ": the stream holds no packet to store (only null packets); nothing was written.",
                    kWriteCaption, DialogIcon::Error);
        return false;
    }
    // The write empties the card first: its whole data area is free for it.
    // The stream takes what it stores, its null packets kept as counts.
    if (StreamExceedsDataArea(stored_bytes, record->DataUnits)) {
        MessageRequest question;
        question.Text = "Len of file,that will be write on card,\nis  more than free space on this card.\n"
                        "         Write it's all the same?";
        question.Caption = kWriteCaption;
        question.Buttons = {DialogButton::Yes, DialogButton::No};
        question.Default = DialogButton::Yes;
        question.Icon = DialogIcon::Question;
        if (dialog.Message(question) != DialogButton::Yes) return false;
    }
    if (record->HeaderValid && record->Directory.Header.FileCount > 0) {
        MessageRequest question;
        question.Text = "Write " + DecodeCodePage(job_.FileName, SystemCodePage()) + " to " + record->ItemText + " (" +
                        DescribeCard(*record).FileSystemText + ")? Everything on the card will be lost.";
        question.Caption = kWriteCaption;
        question.Buttons = {DialogButton::Yes, DialogButton::No};
        question.Default = DialogButton::No;
        question.Icon = DialogIcon::Warning;
        if (dialog.Message(question) != DialogButton::Yes) return false;
    }
    return true;
}

void WritePanel::SpeedButton1Click() {
    AppState& state = window_.State();
    // The card is opened afresh for the write: never under another job.
    if (window_.Poll().CardJobRunning()) {
        SpeedButton1->SetState(StartState::Ready);
        window_.Dialog().Tell("A card format or read is running; wait for its end.", kWriteCaption,
                              DialogIcon::Warning);
        return;
    }
    std::uint32_t bitrate = 0;
    if (!AskBeforeWriting(bitrate)) {
        SpeedButton1->SetState(StartState::Ready);
        return;
    }
    // The card in use, for writing: its file systems unmounted, held
    // exclusively, its directory read afresh.
    CardTarget target;
    Status opened = ResolveCard(state.Cards.InUse, state.Cards.Roots, target, state.Cards.Opener);
    if (opened) opened = CheckCardTarget(target, true);
    if (opened) opened = OpenCard(target, true, state.Cards.Roots, state.Card);
    if (opened && (state.Card.LoadDirectory(state.Card.Directory) != DirectoryState::Valid ||
                   !state.Card.Directory.Header.Formatted()))
        opened = Status::Fail(state.Cards.InUse + ": Mast be formated (the card is not in the card layout)");
    if (!opened) {
        state.Card = CardDevice();
        window_.Dialog().Tell(opened.message(), kWriteCaption, DialogIcon::Error);
        return;
    }
    job_.Bitrate = bitrate;

    RunSpec run;
    run.Group = GaugeGroup::G1;
    run.Button = SpeedButton1;
    run.Progress = [this] { return ProgressFigure{writer_.ProgressPosition(), writer_.ProgressMaximum()}; };
    run.Completed = [this] { WriteEnded(); };
    if (!window_.Events().BeginRun(std::move(run))) {
        state.Card = CardDevice();
        return;
    }
    TreeView2->setEnabled(false);
    state.CardWriteBusy = 1;
    state.WriteFinished = 0;
    state.Cards.Pulled = false;
    window_.Parse()->SpeedButton3->setEnabled(false);
    window_.Card()->TreeView1->expandAll();
    // The header is rebuilt first; the card panel shows the card again
    // once the poll after the write has found it.
    window_.Poll().RefreshAfterCardWork();
    if (Status started = writer_.Start(job_, state.Card, write_, state.Events, state.StopRequested); !started) {
        window_.Events().CancelRun();
        state.CardWriteBusy = 0;
        state.Card = CardDevice();
        ResetWriteControls();
        window_.Dialog().Tell(started.message(), kWriteCaption, DialogIcon::Error);
    }
}

void WritePanel::ResetWriteControls() {
    window_.Parse()->SpeedButton3->setEnabled(true);
    TreeView2->setEnabled(true);
}

void WritePanel::DoCompleteWriteFile() {
    AppState& state = window_.State();
    state.CardWriteBusy = 0;
    state.WriteFinished = write_.WriteFinished ? 1 : 0;
    window_.Poll().RefreshAfterCardWork();
    for (Gauge* gauge : {CGauge1, CGauge5}) gauge->SetProgress(0);
    SpeedButton1->SetState(StartState::Unavailable);
    StaticText1->setText("...");
    ResetWriteControls();
}

void WritePanel::DoCompleteWriteStream() {
    window_.Poll().RefreshAfterCardWork();
    for (Gauge* gauge : {CGauge1, CGauge5}) gauge->SetProgress(0);
    SpeedButton1->SetState(StartState::Unavailable);
    StaticText1->setText("...");
    ResetWriteControls();
}

void WritePanel::DoCompleteErrWriteFile() {
    AppState& state = window_.State();
    state.CardWriteBusy = 0;
    window_.SetCommandsEnabled(true);
    SpeedButton10Click();
    state.WriteFinished = 0;
    // The poll looks at the card again.
    window_.Poll().RefreshAfterCardWork();
    QCoreApplication::processEvents();
}

void WritePanel::DoBreakWrite() {
    window_.State().StopRequested.Clear();
    SpeedButton1->SetState(StartState::Unavailable);
    StaticText1->setText("...");
    TreeView2->clear();
    ResetWriteControls();
    for (Gauge* gauge : {CGauge1, CGauge5}) gauge->hide();
}

void WritePanel::WriteEnded() {
    AppState& state = window_.State();
    const CardWriteResult result = writer_.Finish();
    const bool pulled = state.Cards.Pulled;
    state.Cards.Pulled = false;
    ResetWriteControls();
    // Whatever the events did, the write is over and the poll looks again.
    if (state.CardWriteBusy != 0) {
        state.CardWriteBusy = 0;
        window_.Poll().RefreshAfterCardWork();
    }
    if (state.Closing) return;

    const std::string card = state.Card.IsOpen() ? state.Card.Path() : state.Cards.InUse;
    const std::string recorded =
        result.Recorded ? Blocks(result.BlocksWritten) + " reached the card and " +
                              (result.BlocksWritten == 1 ? "is" : "are") + " recorded as its stream"
                        : "no block reached the card";
    std::string message;
    switch (result.Ending) {
        case CardWriteEnding::Refused:
        case CardWriteEnding::Failed: message = result.Message; break;
        case CardWriteEnding::Complete:
            if (!result.Recorded)
                message = DecodeCodePage(job_.FileName, SystemCodePage()) +
                          ": the stream holds no packet to store (only null packets); the card is left empty";
            break;
        case CardWriteEnding::Stopped:
            if (pulled || result.StopReason == CardWriteStop::CardRemoved)
                message = card + ": the card was removed during the write; the write was stopped: " + recorded;
            else if (result.StopReason == CardWriteStop::CardFull)
                message = card + ": the card is full: " + recorded + "; the rest of the stream was not written";
            else if (result.StopReason == CardWriteStop::WriteFailed ||
                     result.StopReason == CardWriteStop::SourceFailed)
                message = result.Message + "; the write stopped: " + recorded;
            break;
    }
    if (result.Ending != CardWriteEnding::Refused && result.Ending != CardWriteEnding::Failed && !write_.DirectoryStored)
        message = write_.DirectoryStatus.message() +
                  "; the directory was not stored: the card holds the new header and the blocks, with no entry";
    if (message.empty()) return;
    // Told here, not as a success by the poll; the panel keeps saying it.
    state.WriteFinished = 0;
    ShowEndedBadly(message);
    window_.Dialog().Tell(message, kWriteCaption, DialogIcon::Error);
}

}  // namespace tscard::app
