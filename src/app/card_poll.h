#pragma once
// The card poll (Timer1) and the card refresh (SpeedButton2). The poll
// lists the cards of the machine's readers and the attached card images in
// the card selector (ComboBoxEx1), finds the card in use again by its
// identity after its header was rewritten, announces the end of a card
// write, and tells once about readers this user may not open. While no
// card is found it looks again every second.
//
// Attached cards are card image files, or block devices named explicitly
// (a loop device, say), listed after the readers' cards. A deleted image
// or a device that has gone drops out of the list at the next poll.

#include <QObject>

#include <string>
#include <vector>

#include "platform/status.h"

namespace tscard {
struct CardRecord;
}

namespace tscard::app {

struct CardState;
class TTorvaneService;

// The listed card of that identity (device node or image path), or null.
const CardRecord* ListedCard(const CardState& cards, const std::string& identity);

class CardPoll final : public QObject {
    Q_OBJECT

public:
    CardPoll(TTorvaneService& window, QObject* parent);

    // Lists a card image, or a block device named explicitly, beside the
    // readers' cards from the next poll on. Refused, with the reason: what
    // is neither, a partition, a system disk, an empty reader; system_disk,
    // if given, tells whether the refusal was for a disk of the system.
    Status Attach(const std::string& path, bool* system_disk = nullptr);
    // "Attach card image…": asks for the image, attaches it, lists it at
    // once and selects it.
    void Attachcardimage1Click();
    // The card images the command line names, before the window shows. A
    // disk of the running system refuses the start: the result names it
    // and nothing is attached. Whatever else is no card is told in the
    // window once it shows, as "Attach card image…" tells it; the first
    // image attached is then listed and selected.
    Status AttachNamed(const std::vector<std::string>& paths);
    // Lists the cards now (not a second later) and selects the attached card
    // of that identity.
    void ShowAttached(std::string identity);

    void Timer1Timer();
    // The card-refresh command: the list goes, and the poll looks again a
    // second later.
    void SpeedButton2Click();
    // The same at the start and the end of card work that rewrites the
    // card's header (a write, a format, a clear): the selector keeps
    // showing the card worked on until the poll has found it again.
    void RefreshAfterCardWork();

    // Selects the listed card of that identity in the selector and runs
    // the selection handler; false when it is not listed.
    bool Reselect(std::string identity);

    // A card write, read or full format is running: the card in use and
    // the window's card device belong to it.
    bool CardJobRunning() const;

private:
    void Refresh(bool keep_card_shown);
    void Scan();
    void ShowList();
    void TellProblems();
    void TellRefused(const Words& message);

    TTorvaneService& window_;
};

}  // namespace tscard::app
