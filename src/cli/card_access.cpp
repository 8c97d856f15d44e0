#include "cli/card_access.h"

#include <CLI/CLI.hpp>

#include "card/card_panel.h"
#include "cli/cli_common.h"
#include "cli/confirm.h"
#include "cli/qt_module.h"

namespace tscard::cli {
void AddCardArguments(CLI::App* command, std::string& card, bool& allow_non_removable) {
    command->add_option("CARD", card, "Device node of the whole card (e.g. /dev/sdb) or a card image file")
        ->required();
    command->add_flag("--allow-non-removable", allow_non_removable,
                      "Use a disk that is not listed as a removable card (a loop device, for example)");
}

CardTarget ResolveCardOrExit(const std::string& card, bool allow_non_removable, const SystemRoots& roots,
                             QtModule& qt) {
    CardTarget target;
    if (Status status = ResolveCard(card, roots, target); !status) Fail(status.message());
    if (target.IsBlockDevice) target.Opener = qt.ChooseCardOpener();
    if (Status usable = CheckCardTarget(target, allow_non_removable); !usable) {
        const bool hint = target.Verdict.Kind == DiskKind::NotACard;
        Fail(usable.message() + (hint ? " (--allow-non-removable uses it all the same)" : ""));
    }
    return target;
}

void ConfirmRawWriteOrExit(const CardTarget& target, const SystemRoots& roots, const std::string& verb, bool yes) {
    if (!target.IsBlockDevice || yes) return;
    std::string what = target.Path;
    {
        CardDevice device;
        CardRecord record;
        Words problem;
        if (OpenCard(target, false, roots, device) &&
            ExamineCard(device, target.ListIndex, target.PartitionNodes, record, problem))
            what = record.ItemText + " (" + DescribeCard(record).FileSystemText + ")";
    }
    switch (AskOnTerminal(verb + " " + what + "? Everything on the card will be lost.")) {
        case Confirmation::Yes: return;
        case Confirmation::No: Fail(target.Path + ": not confirmed; nothing was written");
        case Confirmation::NoTerminal:
            Fail(target.Path + ": writing to a card needs confirmation: run it on a terminal, or give --yes");
    }
}

void OpenCardOrExit(const CardTarget& target, bool writable, const SystemRoots& roots, CardDevice& out) {
    if (Status status = OpenCard(target, writable, roots, out); !status) Fail(status.message());
}

CardRecord ExamineCardOrExit(const CardTarget& target, const SystemRoots& roots, CardDevice& device) {
    OpenCardOrExit(target, false, roots, device);
    CardRecord record;
    Words problem;
    if (!ExamineCard(device, target.ListIndex, target.PartitionNodes, record, problem)) Fail(problem.English());
    return record;
}

std::string CardPanelLine(const CardRecord& record) {
    const CardPanelView view = DescribeCard(record);
    std::string line = record.ItemText + "\t" + view.FileSystemText + "\tCapacity " + view.CapacityText + " MB\t";
    line += view.Formatted ? "Free " + view.FreeText + " MB" : view.FreeText;
    return line;
}

}  // namespace tscard::cli
