#pragma once
// The eleven events by which workers report progress, completion and abort.
// The value of each is its place in the wait array, which is also its
// priority: when several are pending, the lowest is handled first.

#include <array>
#include <cstdint>
#include <string_view>

namespace tscard {

enum class EventId : std::uint8_t {
    CompleteWriteFile = 0,
    ChangeProgressPosG1 = 1,
    ChangeProgressPosG3 = 2,
    ChangeProgressPosG4 = 3,
    evRefreshGauge = 4,
    CompleteWriteStream = 5,
    CompleteErrWriteFile = 6,
    evStickRefreshGauge = 7,
    evStickOpenFile = 8,
    evStickCloseFile = 9,
    evBreakWrite = 10,
};

constexpr std::size_t kEventCount = 11;

std::string_view EventName(EventId id);

// What a worker sees of the event machinery: it can only signal.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void Signal(EventId id) = 0;
};

// For runs nobody watches.
class NullEventSink final : public EventSink {
public:
    void Signal(EventId) override {}
};

}  // namespace tscard
