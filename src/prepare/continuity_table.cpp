#include "prepare/continuity_table.h"

#include "ts/packet.h"

namespace tscard {

void ContinuityTable::Repair(std::uint8_t* packet) {
    const std::uint16_t pid = FoldPid(packet);
    const std::uint8_t counter = static_cast<std::uint8_t>(ContinuityCounter(packet));
    for (Entry& entry : entries_) {
        if (entry.Pid != pid) continue;
        std::uint8_t next;
        if (entry.Last == 15)
            next = counter == 15 ? 15 : 0;
        else
            next = counter == entry.Last || counter == entry.Last + 1 ? counter : std::uint8_t(entry.Last + 1);
        if (next != counter) SetContinuityCounter(packet, next);
        entry.Last = next;
        return;
    }
    entries_.push_back(Entry{pid, counter});
}

}  // namespace tscard
