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
#include "app/said.h"
#include "app/start_button.h"
#include "app/torvane_service.h"
#include "app/value_box.h"
#include "app/write_panel.h"
#include "card/card_open.h"
#include "card/card_panel.h"
#include "platform/codepage.h"

namespace tscard::app {
namespace {

QString Path(const std::string& path) { return QString::fromStdString(path); }

}  // namespace

std::string WritePanel::WriteCaption() const { return tr("Write TS file into SD card").toStdString(); }

bool WritePanel::AskBeforeWriting(std::uint32_t& bitrate) {
    AppState& state = window_.State();
    Dialogs& dialog = window_.Dialog();
    const CardRecord* record = ListedCard(state.Cards, state.Cards.InUse);
    if (!state.Cards.CardReady || record == nullptr) {
        dialog.Tell(NoCardSelected());
        return false;
    }
    const std::string text = Edit4->text().toStdString();
    const std::optional<std::uint32_t> rate = ParseCardBitrate(text);
    if (!rate) {
        dialog.Tell(Filled(tr("The bit rate '%1' is not %2; nothing was written."), {Path(text), Said(CardBitrateRangeText())})
                        .toStdString(),
                    WriteCaption(), DialogIcon::Error);
        return false;
    }
    bitrate = *rate;
    const std::int64_t stored_bytes = job_.Size ? job_.Size->Bytes() : state.Cards.CardBytes;
    if (job_.Size && job_.Size->PacketsStored == 0) {
        dialog.Tell(Filled(tr("%1: the stream holds no packet to store (only null packets); nothing was written."),
                           {Path(DecodeCodePage(job_.FileName, SystemCodePage()))})
                        .toStdString(),
                    WriteCaption(), DialogIcon::Error);
        return false;
    }
    // The write empties the card first: its whole data area is free for it.
    // The stream takes what it stores, its null packets kept as counts.
    if (StreamExceedsDataArea(stored_bytes, record->DataUnits)) {
        MessageRequest question;
        question.Text = tr("Len of file,that will be write on card,\nis  more than free space on this card.\n"
                           "         Write it's all the same?")
                            .toStdString();
        question.Caption = WriteCaption();
        question.Buttons = {DialogButton::Yes, DialogButton::No};
        question.Default = DialogButton::Yes;
        question.Icon = DialogIcon::Question;
        if (dialog.Message(question) != DialogButton::Yes) return false;
    }
    if (record->HeaderValid && record->Directory.Header.FileCount > 0) {
        MessageRequest question;
        question.Text = Filled(tr("Write %1 to %2 (%3)? Everything on the card will be lost."),
                               {Path(DecodeCodePage(job_.FileName, SystemCodePage())), Path(record->ItemText),
                                Path(DescribeCard(*record).FileSystemText)})
                            .toStdString();
        question.Caption = WriteCaption();
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
        window_.Dialog().Tell(tr("A card format or read is running; wait for its end.").toStdString(), WriteCaption(),
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
        opened = Status::Fail(
            Filled(tr("%1: Mast be formated (the card is not in the card layout)"), {Path(state.Cards.InUse)})
                .toStdString());
    if (!opened) {
        state.Card = CardDevice();
        window_.Dialog().Tell(SaidText(opened.words()), WriteCaption(), DialogIcon::Error);
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
        window_.Dialog().Tell(SaidText(started.words()), WriteCaption(), DialogIcon::Error);
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

    const QString card = Path(state.Card.IsOpen() ? state.Card.Path() : state.Cards.InUse);
    const QString blocks = QString::number(result.BlocksWritten);
    const QString recorded = !result.Recorded ? tr("no block reached the card")
                             : result.BlocksWritten == 1
                                 ? Filled(tr("%1 block reached the card and is recorded as its stream"), {blocks})
                                 : Filled(tr("%1 blocks reached the card and are recorded as its stream"), {blocks});
    QString message;
    switch (result.Ending) {
        case CardWriteEnding::Refused:
        case CardWriteEnding::Failed: message = Said(result.Message); break;
        case CardWriteEnding::Complete:
            if (!result.Recorded)
                message = Filled(tr("%1: the stream holds no packet to store (only null packets); the card is left empty"),
                                 {Path(DecodeCodePage(job_.FileName, SystemCodePage()))});
            break;
        case CardWriteEnding::Stopped:
            if (pulled || result.StopReason == CardWriteStop::CardRemoved)
                message = Filled(tr("%1: the card was removed during the write; the write was stopped: %2"), {card, recorded});
            else if (result.StopReason == CardWriteStop::CardFull)
                message = Filled(tr("%1: the card is full: %2; the rest of the stream was not written"), {card, recorded});
            else if (result.StopReason == CardWriteStop::WriteFailed ||
                     result.StopReason == CardWriteStop::SourceFailed)
                message = Filled(tr("%1; the write stopped: %2"), {Said(result.Message), recorded});
            break;
    }
    if (result.Ending != CardWriteEnding::Refused && result.Ending != CardWriteEnding::Failed && !write_.DirectoryStored)
        message = Filled(tr("%1; the directory was not stored: the card holds the new header and the blocks, with no entry"),
                         {Said(write_.DirectoryStatus.words())});
    if (message.isEmpty()) return;
    // Told here, not as a success by the poll; the panel keeps saying it.
    state.WriteFinished = 0;
    ShowEndedBadly(message);
    window_.Dialog().Tell(message.toStdString(), WriteCaption(), DialogIcon::Error);
}

}  // namespace tscard::app
