#pragma once
// The rules every card command follows before it touches a card: what may
// be opened (only listed cards, unless --allow-non-removable; never a
// system disk), the question before a raw write to a device, and opening.
// Each helper prints the reason and ends the command with exit code 1 when
// the rule is not met.

#include <string>

#include "card/card_list.h"
#include "card/card_open.h"
#include "card/system_roots.h"

namespace CLI {
class App;
}

namespace tscard::cli {

class QtModule;

// Adds the CARD argument and --allow-non-removable to a card subcommand.
void AddCardArguments(CLI::App* command, std::string& card, bool& allow_non_removable);

// A block device is opened by the process itself when it may, through
// UDisks2 otherwise (the target keeps the opener).
CardTarget ResolveCardOrExit(const std::string& card, bool allow_non_removable, const SystemRoots& roots,
                             QtModule& qt);

// On a block device without --yes: asks on the terminal ("<verb> <card>?
// Everything on the card will be lost.") or refuses when there is none.
// Image files need no confirmation.
void ConfirmRawWriteOrExit(const CardTarget& target, const SystemRoots& roots, const std::string& verb, bool yes);

// Read-only: shared, nothing unmounted. Writable: the card's file systems
// unmounted, held exclusively.
void OpenCardOrExit(const CardTarget& target, bool writable, const SystemRoots& roots, CardDevice& out);

// Opens read-only and describes the card as the chooser lists it.
CardRecord ExamineCardOrExit(const CardTarget& target, const SystemRoots& roots, CardDevice& device);

// The card's line in `card list`: item text, file system and version,
// capacity, free space or "Mast be formated", separated by tabs.
std::string CardPanelLine(const CardRecord& record);

}  // namespace tscard::cli
