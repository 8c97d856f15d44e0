#pragma once
// Card readers for an ordinary user: the UDisks2 service opens the card's
// block device (org.freedesktop.UDisks2.Block.OpenDevice) and unmounts its
// file systems (Filesystem.Unmount) once polkit has allowed it, and hands
// back a descriptor like the one open(2) gives. A device UDisks2 counts
// among the system's disks (HintSystem) is refused before it is asked.
//
// The calls block until the service answers, which with a question to
// the user (the desktop's polkit agent) may take a while.

#include <memory>
#include <string>
#include <vector>

#include "card/device_opener.h"

class QCoreApplication;

namespace tscard::udisks {

// Whether polkit may ask the user (through the session's agent) before it
// answers, or must answer at once.
enum class Interaction { Never, Ask };

class UDisksOpener final : public DeviceOpener {
public:
    // direct_when_permitted: a node the process may open itself (its
    // permissions let it) is opened with open(2), without the service.
    UDisksOpener(Interaction interaction, bool direct_when_permitted);
    ~UDisksOpener() override;
    UDisksOpener(const UDisksOpener&) = delete;
    UDisksOpener& operator=(const UDisksOpener&) = delete;

    // The service is on the system bus, or the bus can start it.
    bool Available() const;

    Status Open(const std::string& path, int flags, int& fd) override;
    Status Unmount(const std::vector<MountEntry>& mounts) override;

private:
    Interaction interaction_;
    bool direct_when_permitted_;
    // Qt's bus needs an application object; a program without one (the
    // command line) gets one for as long as the opener lives.
    int argc_ = 1;
    char name_[16] = "tscard";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

// Which program asks: the window always goes through UDisks2 when it is
// not root; the command line opens what it may open itself and asks
// UDisks2 for the rest, with a question only on a terminal.
enum class Front { Window, CommandLine };

// The opener for a front end: null (the process opens cards itself) for
// root, and where UDisks2 is neither running nor startable.
std::shared_ptr<DeviceOpener> ChooseOpener(Front front);

}  // namespace tscard::udisks
