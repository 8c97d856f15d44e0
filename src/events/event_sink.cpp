#include "events/event_sink.h"

namespace tscard {

std::string_view EventName(EventId id) {
    static constexpr std::array<std::string_view, kEventCount> kNames = {
        "CompleteWriteFile",    "ChangeProgressPosG1", "ChangeProgressPosG3", "ChangeProgressPosG4",
        "evRefreshGauge",       "CompleteWriteStream", "CompleteErrWriteFile", "evStickRefreshGauge",
        "evStickOpenFile",      "evStickCloseFile",    "evBreakWrite",
    };
    const auto index = static_cast<std::size_t>(id);
    return index < kNames.size() ? kNames[index] : std::string_view("?");
}

}  // namespace tscard
