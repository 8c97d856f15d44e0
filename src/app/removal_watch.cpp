#include "app/removal_watch.h"

#include <QAction>
#include <QTimer>
#include <QTreeWidget>

#include "app/card_panel.h"
#include "app/card_poll.h"
#include "app/main_panel.h"
#include "app/torvane_service.h"
#include "app/write_panel.h"
#include "card/card_open.h"

namespace tscard::app {

RemovalWatch::RemovalWatch(TTorvaneService& window, QObject* parent) : QObject(parent), window_(window) {
    Timer = new QTimer(this);
    Timer->setObjectName("RemovalWatch");
    Timer->setInterval(kLookMs);
    connect(Timer, &QTimer::timeout, this, &RemovalWatch::Look);
    Timer->start();
}

void RemovalWatch::Watch(const std::string& identity) {
    Forget();
    identity_ = identity;
    const CardState& cards = window_.State().Cards;
    const SystemRoots& roots = cards.Roots;
    CardTarget target;
    if (!ResolveCard(identity, roots, target, cards.Opener) || !OpenCard(target, false, roots, device_)) device_ = CardDevice();
    file_ = IdentityOf(identity);
}

void RemovalWatch::Forget() {
    identity_.clear();
    device_ = CardDevice();
    file_.reset();
}

bool RemovalWatch::Present() {
    if (!device_.IsOpen() || !device_.CheckPresent()) return false;
    // The name must still lead to the card watched: an image deleted,
    // renamed or replaced is gone as a pulled card is.
    return file_ && IdentityOf(identity_) == file_;
}

void RemovalWatch::Look() {
    if (identity_.empty() || Present()) return;
    Removed();
}

void RemovalWatch::Removed() {
    AppState& state = window_.State();
    Forget();
    state.Cards.InUse.clear();
    state.Cards.CardReady = false;
    state.Cards.List = CardList{};

    CardSelector* selector = window_.Main()->ComboBoxEx1;
    selector->clear();
    selector->setEditText(QString::fromStdString(state.NoCardText));
    window_.Menu().SDcardmanadger1->setEnabled(false);
    window_.Card()->SpeedButton21Click();
    // Only the work that uses the card stops: a write, a read, a full
    // format, or the look at a stream before it goes to the card. It stops
    // as the operator's stop would; a write records the blocks it put on
    // the card.
    const bool card_job = window_.Poll().CardJobRunning() || state.WritePreparing != 0;
    if (card_job) {
        state.Cards.Pulled = true;
        state.StopRequested.Request();
    }
    if (window_.Timer1()->isActive()) return;
    window_.Card()->ShowNoCard();
    // A running write still shows what it writes; its end clears it.
    if (state.CardWriteBusy == 0) window_.Write()->TreeView2->clear();
    window_.Timer1()->start();
}

}  // namespace tscard::app
