#include "app/card_poll.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cerrno>
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
#include "udisks/udisks_opener.h"

namespace tscard::app {
namespace {

bool SameCard(const std::string& a, const std::string& b) { return a == b || SameFileOrDevice(a, b); }

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
    CardState& cards = window.State().Cards;
    cards.Roots = SystemRoots::FromEnvironment();
    cards.Opener = udisks::ChooseOpener(udisks::Front::Window);
    if (cards.Opener) cards.QuietOpener = std::make_shared<udisks::UDisksOpener>(udisks::Interaction::Never, false);
    connect(window.Main()->SpeedButton2, &QToolButton::clicked, this, &CardPoll::SpeedButton2Click);
    connect(window.Menu().Attachcardimage1, &QAction::triggered, this, &CardPoll::Attachcardimage1Click);
}

bool CardPoll::CardJobRunning() const {
    return window_.State().CardWriteBusy != 0 || window_.Card()->Formatting() || window_.Read()->Reading();
}

Status CardPoll::Attach(const std::string& path, bool* system_disk) {
    CardState& cards = window_.State().Cards;
    CardTarget target;
    if (system_disk != nullptr) *system_disk = false;
    if (Status resolved = ResolveCard(path, cards.Roots, target, cards.Opener); !resolved) return resolved;
    // Named explicitly, a disk that is not a removable card may be used; a
    // system disk or an empty reader never.
    if (Status usable = CheckCardTarget(target, true); !usable) {
        if (system_disk != nullptr) *system_disk = target.Verdict.Kind == DiskKind::SystemDisk;
        return usable;
    }
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
    if (Status attached = Attach(path); !attached) return TellRefused(attached.words());
    // Listed at once, and selected: the operator attached it to work on it.
    ShowAttached(window_.State().Cards.Attached.back());
}

Status CardPoll::AttachNamed(const std::vector<std::string>& paths) {
    std::vector<Words> refused;
    for (const std::string& path : paths) {
        bool system_disk = false;
        if (Status attached = Attach(path, &system_disk); !attached) {
            if (system_disk) {
                window_.State().Cards.Attached.clear();
                return attached;
            }
            refused.push_back(attached.words());
        }
    }
    // Once the window shows: the event loop runs these in order.
    QTimer::singleShot(0, this, [this, refused] {
        const std::vector<std::string>& attached = window_.State().Cards.Attached;
        if (!attached.empty()) ShowAttached(attached.front());
        for (const Words& message : refused) TellRefused(message);
    });
    return Status::Ok();
}

void CardPoll::TellRefused(const Words& message) {
    const std::string caption(lang::MainCaptions(window_.Language()).Attachcardimage1);
    window_.Dialog().Tell(SaidText(message), caption, DialogIcon::Error);
}

void CardPoll::ShowAttached(std::string identity) {
    SpeedButton2Click();
    Timer1Timer();
    Reselect(identity);
}

void CardPoll::SpeedButton2Click() {
    // The operator looks again: a card refused before may be asked for again.
    window_.State().Cards.PermissionRefused = false;
    Refresh(false);
}

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
    // Permission is asked for once; after a refusal the poll only looks
    // whether it has been given meanwhile.
    const std::shared_ptr<DeviceOpener> opener = cards.PermissionRefused ? cards.QuietOpener : cards.Opener;
    CardList list;
    if (Status scanned = ScanCards(cards.Roots, list, opener); !scanned) list.Problems.push_back(scanned.words());

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
        Status status = ResolveCard(path, cards.Roots, target, opener);
        if (status) status = CheckCardTarget(target, true);
        if (status) status = OpenCard(target, false, cards.Roots, device);
        if (!status) {
            list.Problems.push_back(status.words());
            list.PermissionRefused = list.PermissionRefused || status.error() == EACCES;
            continue;
        }
        CardRecord record;
        Words problem;
        if (ExamineCard(device, list.Records.size(), target.PartitionNodes, record, problem))
            list.Records.push_back(std::move(record));
        else
            list.Problems.push_back(NotListed(problem));
    }
    cards.Attached = std::move(attached);
    cards.PermissionRefused = cards.PermissionRefused || list.PermissionRefused;
    cards.List = std::move(list);
}

void CardPoll::ShowList() {
    AppState& state = window_.State();
    CardSelector* selector = window_.Main()->ComboBoxEx1;
    selector->clear();
    // A reader without a card says so where the operator looks for cards.
    std::string empty;
    for (const std::string& reader : state.Cards.List.EmptyReaders)
        empty += (empty.empty() ? "" : "\n") +
                 Filled(tr("%1: no card in the reader; insert a card"), {QString::fromStdString(reader)}).toStdString();
    selector->setToolTip(QString::fromStdString(empty));
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
    std::vector<Words> fresh;
    std::vector<std::string> now;
    for (const Words& problem : cards.List.Problems) {
        now.push_back(problem.English());
        if (std::find(cards.Told.begin(), cards.Told.end(), problem.English()) == cards.Told.end())
            fresh.push_back(problem);
    }
    // A problem that went and comes back is told again.
    cards.Told = std::move(now);
    if (fresh.empty()) return;

    std::string text = tr("Not every card could be looked at:").toStdString();
    for (const Words& problem : fresh) text += "\n" + SaidText(problem);
    if (cards.List.PermissionRefused)
        text += tr("\n\nThe card refresh button asks for permission again. A card image can be attached in any case.")
                    .toStdString();
    window_.Dialog().Tell(text, std::string(lang::MainCaptions(window_.Language()).SDcardmanadger1),
                          DialogIcon::Warning);
}

}  // namespace tscard::app
