#pragma once
// What the card manager keeps beside its controls: the cards of the last
// poll, the card images the operator attached, which card is in use, and
// the figures the write and read commands take from it. Owned by the
// window's AppState.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "card/card_list.h"
#include "card/device_opener.h"
#include "card/system_roots.h"

namespace tscard::app {

struct CardState {
    // Where discovery looks (the environment can point it elsewhere).
    SystemRoots Roots;
    // How block devices are opened: through UDisks2 for an ordinary user,
    // which may ask for permission (Opener) or only look whether it is
    // given (QuietOpener); by the window itself when null.
    std::shared_ptr<DeviceOpener> Opener;
    std::shared_ptr<DeviceOpener> QuietOpener;
    // The user refused (or could not give) permission to open a card: the
    // poll stops asking until the card refresh.
    bool PermissionRefused = false;
    // The cards of the last poll, in the selector's order: the readers'
    // cards first, then the attached ones.
    CardList List;
    // Card images and explicitly named block devices, in the order attached.
    std::vector<std::string> Attached;
    // The card in use, by identity (its device node or image path); empty
    // while none is selected. A rescan finds it again by this.
    std::string InUse;
    // Problems of the poll already told (each is told once).
    std::vector<std::string> Told;

    // The selected card is in the layout and formatted: "Write file" may run.
    bool CardReady = false;
    double CardFreeMB = 0.0;
    // The size the stream on the write panel takes on the card, in bytes.
    std::int64_t CardBytes = 0;
    // The stream chosen for reading: its record and its name.
    std::uint8_t ReadEntryIndex = 0;
    std::string ReadEntryName;
    // The removal watch saw the card in use go during a card job.
    bool Pulled = false;
};

}  // namespace tscard::app
