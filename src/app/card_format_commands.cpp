// The card panel's "Format" (rapid or full) and "Clear All". Both ask
// first and give the card an empty header; the refresh that follows has the
// poll find the card again and show it as it now is.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/dialogs.h"
#include "app/gauge.h"
#include "app/main_panel.h"
#include "app/panel_parts.h"
#include "app/said.h"
#include "app/torvane_service.h"
#include "card/card_format.h"
#include "card/card_open.h"
#include "card/card_panel.h"

namespace tscard::app {
std::string CardPanel::CardJobRunningText() const {
    return tr("A card write or read is running; wait for its end.").toStdString();
}

bool CardPanel::Confirm(bool format, const QAbstractButton* command) {
    const CardRecord* record = ListedCard(window_.State().Cards, window_.State().Cards.InUse);
    const std::string what =
        record != nullptr ? record->ItemText + " (" + DescribeCard(*record).FileSystemText + ")" : window_.State().Cards.InUse;
    MessageRequest question;
    question.Text = Filled(format ? tr("Format %1? Everything on the card will be lost.")
                                  : tr("Clear %1? Everything on the card will be lost."),
                           {QString::fromStdString(what)})
                        .toStdString();
    question.Caption = ShownCaption(command).toStdString();
    question.Buttons = {DialogButton::Yes, DialogButton::No};
    question.Default = DialogButton::No;
    question.Icon = DialogIcon::Warning;
    return window_.Dialog().Message(question) == DialogButton::Yes;
}

bool CardPanel::OpenInUseForWriting() {
    AppState& state = window_.State();
    CardTarget target;
    Status status = ResolveCard(state.Cards.InUse, state.Cards.Roots, target, state.Cards.Opener);
    if (status) status = CheckCardTarget(target, true);
    // Its file systems are unmounted and it is held exclusively while open.
    if (status) status = OpenCard(target, true, state.Cards.Roots, state.Card);
    if (!status) {
        window_.Dialog().Tell(SaidText(status.words()), {}, DialogIcon::Error);
        return false;
    }
    return true;
}

void CardPanel::SpeedButton13Click() {
    if (Formatting()) {
        // The Format button stops a full format; the card keeps its new header.
        stop_asked_ = true;
        window_.State().StopRequested.Request();
        return;
    }
    if (window_.Poll().CardJobRunning()) {
        window_.Dialog().Tell(CardJobRunningText());
        return;
    }
    if (window_.Main()->ComboBoxEx1->currentIndex() < 0) {
        window_.Dialog().Tell(tr("Select card drive first").toStdString());
        return;
    }
    if (ListedCard(window_.State().Cards, window_.State().Cards.InUse) == nullptr) return;
    if (!Confirm(true, SpeedButton13)) return;
    if (!OpenInUseForWriting()) return;
    RunFormat(RadioButton2->isChecked());
}

void CardPanel::SpeedButton19Click() {
    if (window_.Poll().CardJobRunning()) {
        window_.Dialog().Tell(CardJobRunningText());
        return;
    }
    if (ListedCard(window_.State().Cards, window_.State().Cards.InUse) == nullptr) return;
    if (!Confirm(false, SpeedButton19)) return;
    if (!OpenInUseForWriting()) return;
    window_.SetCommandsEnabled(false);
    QCoreApplication::processEvents();
    SetJobControlsEnabled(false);
    FormatEnded(ClearAllCard(window_.State().Card));
}

void CardPanel::RunFormat(bool full) {
    AppState& state = window_.State();
    window_.SetCommandsEnabled(false);
    QCoreApplication::processEvents();
    SetJobControlsEnabled(false);
    if (!full) {
        FormatEnded(FormatCard(state.Card, false));
        return;
    }
    // A full format writes the whole card: it runs on its own thread, shows
    // its progress on CGauge2, and the Format button stays to stop it.
    stop_asked_ = false;
    state.StopRequested.Clear();
    state.Cards.Pulled = false;
    fill_done_ = 0;
    fill_total_ = 0;
    CGauge2->SetProgress(0);
    CGauge2->show();
    SpeedButton13->setEnabled(true);
    FillObserver observer;
    observer.Stop = &state.StopRequested;
    observer.Progress = [this](std::uint64_t done, std::uint64_t total) {
        fill_total_.store(total, std::memory_order_relaxed);
        fill_done_.store(done, std::memory_order_relaxed);
    };
    const Status started = format_.Start(
        this, [&device = state.Card, observer] { return FormatCard(device, true, observer); },
        [this](Status status) { FormatEnded(status); });
    if (!started) {
        FormatEnded(started);
        return;
    }
    fill_timer_->start();
}

void CardPanel::ShowFillProgress() {
    CGauge2->ShowPosition(fill_done_.load(std::memory_order_relaxed), fill_total_.load(std::memory_order_relaxed));
}

void CardPanel::FormatEnded(const Status& status) {
    AppState& state = window_.State();
    fill_timer_->stop();
    CGauge2->SetProgress(0);
    CGauge2->hide();
    // A stop asked for by the operator, or by the removal watch, needs no
    // word: the panel shows the card as the stop left it.
    const bool asked = stop_asked_ || state.Cards.Pulled || state.Closing;
    stop_asked_ = false;
    state.Cards.Pulled = false;
    state.StopRequested.Clear();
    if (!status && !asked) window_.Dialog().Tell(SaidText(status.words()), {}, DialogIcon::Error);
    if (state.Card.IsOpen() && state.Card.CardChanged) {
        // The header was written: the poll lets the card go, finds it again
        // and enables the commands.
        window_.Poll().RefreshAfterCardWork();
        return;
    }
    // Nothing was written: the card is as it was.
    state.Card = CardDevice();
    window_.SetCommandsEnabled(true);
    for (QWidget* control : std::initializer_list<QWidget*>{RadioButton1, RadioButton2, SpeedButton14, SpeedButton21})
        control->setEnabled(true);
    window_.Poll().Reselect(state.Cards.InUse);
}

}  // namespace tscard::app
