#pragma once
// The command line's parts that need Qt: card access through UDisks2 (Qt's
// D-Bus) and the check's charts (Qt Charts). They are built as a module of
// their own that only the commands using them load: loading Qt's
// libraries costs every start tens of milliseconds and some 16 MB, which
// an analysis, a prepare or a root's card write never needs.
//
// This header is the whole interface between the two: plain C++, no Qt.

#include <memory>
#include <string>

#include "card/device_opener.h"
#include "check/check_result.h"
#include "platform/status.h"

namespace tscard::qtparts {

class QtParts {
public:
    virtual ~QtParts() = default;

    // UDisks2 for the block devices the user may not open: null where the
    // service is neither running nor startable.
    virtual std::shared_ptr<DeviceOpener> ChooseCardOpener() = 0;
    // False when the module was built without Qt Charts.
    virtual bool CanDrawCharts() const = 0;
    // The check's charts into a PNG or SVG file.
    virtual Status WriteCheckCharts(const CheckResult& result, const std::string& path) = 0;
};

// The module's file, and the one symbol it exports: a function making the
// parts. `log` is whether the run keeps a diagnostic log (the module's
// notes and Qt's own go there).
inline constexpr char kModuleFile[] = "tscard-cli-qt.so";
inline constexpr char kEntryName[] = "tscard_make_qt_parts";
using Entry = QtParts* (*)(bool log);

}  // namespace tscard::qtparts
