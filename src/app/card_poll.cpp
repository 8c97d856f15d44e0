#include "app/card_poll.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>

#include "app/card_panel.h"
#include "app/dialogs.h"
#include "app/images.h"
#include "app/main_panel.h"
#include "app/read_panel.h"
#include "app/said.h"
#include "app/torvane_service.h"
#include "app/write_panel.h"
#include "card/card_open.h"
#include "platform/file_identity.h"

namespace tscard::app {
namespace {

bool SameCard(const std::string& a, const std::string& b) { return a == b || SameFileOrDevice(a, b); }

// The group a refused reader names ("... by root or members of the group
// 'disk'"), or empty.
std::string GroupNamed(const std::string& problem) {
    const std::string mark = "group '";
    const std::size_t at = problem.find(mark);
    if (at == std::string::npos) return {};
    const std::size_t end = problem.find('\'', at + mark.size());
    return end == std::string::npos ? std::string() : problem.substr(at + mark.size(), end - at - mark.size());
}

}  // namespace

const CardRecord* ListedCard(const CardState& cards, const std::string& identity) {
    if (identity.empty()) return nullptr;
    for (const CardRecord& record : cards.List.Records)
        if (record.DevicePath == identity) return &record;
    for (const CardRecord& record : cards.List.Records)
        if (SameCard(record.DevicePath, identity)) return &record;
    return nullptr;
}

CardPoll::CardPoll(TTorvaneService& window, QObject* parent) : QObject(parent), window_(window) {
    window.State().Cards.Roots = SystemRoots::FromEnvironment();
    connect(window.Main()->SpeedButton2, &QToolButton::clicked, this, &CardPoll::SpeedButton2Click);
    connect(window.Menu().Attachcardimage1, &QAction::triggered, this, &CardPoll::Attachcardimage1Click);
}

bool CardPoll::CardJobRunning() const {
    return window_.State().CardWriteBusy != 0 || window_.Card()->Formatting() || window_.Read()->Reading();
}

Status CardPoll::Attach(const std::string& path) {
    CardState& cards = window_.State().Cards;
    CardTarget target;
    if (Status resolved = ResolveCard(path, cards.Roots, target); !resolved) return resolved;
    // Named explicitly, a disk that is not a removable card may be used; a
    // system disk or an empty reader never.
    if (Status usable = CheckCardTarget(target, true); !usable) return usable;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::string identity = error ? path : absolute.lexically_normal().string();
    for (const std::string& attached : cards.Attached)
        if (SameCard(attached, identity)) return Status::Ok();
    cards.Attached.push_back(identity);
    return Status::Ok();
}

void CardPoll::Attachcardimage1Click() {
    const std::string caption(lang::MainCaptions(window_.Language()).Attachcardimage1);
    FileRequest request;
    request.Title = caption;
    request.Filter = tr("card images").toStdString() + "|*.img;*.bin;*.raw|all|*.*";
    const std::optional<FileChoice> choice = window_.Dialog().OpenFile(request);
    if (!choice || choice->Paths.empty()) return;
    const std::string path = choice->Paths.front();
    if (Status attached = Attach(path); !attached) {
        window_.Dialog().Tell(SaidText(attached.words()), caption, DialogIcon::Error);
        return;
    }
    // Listed at once, and selected: the operator attached it to work on it.
    ShowAttached(window_.State().Cards.Attached.back());
}

void CardPoll::ShowAttached(std::string identity) {
    SpeedButton2Click();
    Timer1Timer();
    Reselect(identity);
}

void CardPoll::SpeedButton2Click() { Refresh(false); }

void CardPoll::RefreshAfterCardWork() { Refresh(true); }

void CardPoll::Refresh(bool keep_card_shown) {
    AppState& state = window_.State();
    state.Cards.CardReady = false;
    if (state.WriteFinished != 0) window_.Write()->TreeView2->clear();
    window_.Card()->ShowNoCard();
    CardSelector* selector = window_.Main()->ComboBoxEx1;
    const QString shown = keep_card_shown ? selector->currentText() : QString();
    selector->clear();
    selector->setEditText(shown);
    window_.Timer1()->start();
}

void CardPoll::Timer1Timer() {
    AppState& state = window_.State();
    state.Cards.CardReady = false;
    window_.Timer1()->stop();
    // A closing window only waits for its workers: no scan, no message.
    if (state.Closing || state.CardWriteBusy != 0) return;
    // A read or a full format still holds the card: look again later.
    if (CardJobRunning()) {
        window_.Timer1()->start();
        return;
    }
    // The card the last job worked on is let go; a header it rewrote means
    // the card in use is to be found again.
    const bool changed = state.Card.IsOpen() && state.Card.CardChanged;
    state.Card = CardDevice();

    Scan();
    ShowList();
    TellProblems();

    if (changed) {
        const bool found = Reselect(state.Cards.InUse);
        window_.SetCommandsEnabled(true);
        CardPanel* panel = window_.Card();
        for (QWidget* control : std::initializer_list<QWidget*>{panel->RadioButton1, panel->RadioButton2,
                                                                panel->SpeedButton13, panel->SpeedButton14,
                                                                panel->SpeedButton21, panel->SpeedButton23})
            control->setEnabled(true);
        panel->SpeedButton19->setEnabled(false);
        panel->SpeedButton22->setEnabled(false);
        // What the card holds now decides (the write's announcement below
        // selects it once more).
        if (found && state.WriteFinished == 0) Reselect(state.Cards.InUse);
    }
    if (state.WriteFinished != 0) {
        state.WriteFinished = 0;
        window_.SendToBack(window_.Write());
        window_.Dialog().Tell(tr("The operation of write stream on flash card finished succesfuly.").toStdString(),
                              tr("End of operation").toStdString());
        Reselect(state.Cards.InUse);
    }
}

void CardPoll::Scan() {
    CardState& cards = window_.State().Cards;
    CardList list;
    if (Status scanned = ScanCards(cards.Roots, list); !scanned) list.Problems.push_back(scanned.message());

    std::vector<std::string> attached;
    for (const std::string& path : cards.Attached) {
        // A deleted image, or a device node that went, is a pulled card.
        std::error_code error;
        if (!std::filesystem::exists(path, error)) continue;
        attached.push_back(path);
        bool listed = false;
        for (const CardRecord& record : list.Records) listed = listed || SameCard(record.DevicePath, path);
        if (listed) continue;
        CardTarget target;
        CardDevice device;
        Status status = ResolveCard(path, cards.Roots, target);
        if (status) status = CheckCardTarget(target, true);
        if (status) status = OpenCard(target, false, cards.Roots, device);
        if (!status) {
            list.Problems.push_back(status.message());
            continue;
        }
        CardRecord record;
        std::string problem;
        if (ExamineCard(device, list.Records.size(), target.PartitionNodes, record, problem))
            list.Records.push_back(std::move(record));
        else
            list.Problems.push_back(problem + "; not listed");
    }
    cards.Attached = std::move(attached);
    cards.List = std::move(list);
}

void CardPoll::ShowList() {
    AppState& state = window_.State();
    CardSelector* selector = window_.Main()->ComboBoxEx1;
    selector->clear();
    if (state.Cards.List.Records.empty()) {
        // Nothing to choose: say so, and look again in a second.
        selector->setEditText(QString::fromStdString(state.NoCardText));
        window_.Timer1()->start();
        return;
    }
    for (const CardRecord& record : state.Cards.List.Records) {
        const QString text = QString::fromStdString(record.ItemText);
        selector->addItem(ListIcon(kCardImage), text, QString::fromStdString(record.DevicePath));
        selector->setItemData(selector->count() - 1, text, Qt::ToolTipRole);
    }
    selector->setCurrentIndex(-1);
    selector->setEditText(QString::fromStdString(state.CardPrompt));
}

bool CardPoll::Reselect(std::string identity) {
    const CardRecord* record = ListedCard(window_.State().Cards, identity);
    if (record == nullptr) return false;
    CardSelector* selector = window_.Main()->ComboBoxEx1;
    const int index = selector->findData(QString::fromStdString(record->DevicePath));
    if (index < 0) return false;
    selector->setCurrentIndex(index);
    window_.Card()->ComboBoxEx1Click(index);
    return true;
}

void CardPoll::TellProblems() {
    CardState& cards = window_.State().Cards;
    std::vector<std::string> fresh;
    for (const std::string& problem : cards.List.Problems)
        if (std::find(cards.Told.begin(), cards.Told.end(), problem) == cards.Told.end()) fresh.push_back(problem);
    // A problem that went and comes back is told again.
    cards.Told = cards.List.Problems;
    if (fresh.empty()) return;

    std::string text = tr("Not every card could be looked at:").toStdString();
    std::string group;
    for (const std::string& problem : fresh) {
        text += "\n" + problem;
        if (group.empty()) group = GroupNamed(problem);
    }
    if (!group.empty())
        text += Filled(tr("\n\nTo use the card readers as this user, add the user to that group (sudo usermod -a -G %1 "
                          "$USER) and log in again, or start tscard as root. A card image can be attached in any case."),
                       {QString::fromStdString(group)})
                    .toStdString();
    window_.Dialog().Tell(text, std::string(lang::MainCaptions(window_.Language()).SDcardmanadger1),
                          DialogIcon::Warning);
}

}  // namespace tscard::app
