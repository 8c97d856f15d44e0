#pragma once
// The stream check: one pass over a transport stream file, in constant
// memory whatever its size, that counts the priority 1 and 2 indicators
// of broadcast monitoring, measures the decoding delay of each stream of
// the checked program, and the bit rates, on one time base (time_base.h).
//
//     CheckOptions options;              // --program, --rate, --pid-timeout
//     CheckProgress progress;
//     CheckResult r = RunCheck("clip_pre.ts", options, events, stop, progress);
//
// 188-byte packets and 192-byte units are told apart by the packet probe
// every command uses. Progress: ChangeProgressPosG1 as the bytes go by
// (progress.Position of progress.Maximum), evRefreshGauge at the end. A
// stop request ends the run with what was counted so far (Stopped).

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "check/check_result.h"
#include "events/event_sink.h"
#include "platform/stop_flag.h"

namespace tscard {

constexpr double kDefaultPidTimeoutSeconds = 5.0;

struct CheckOptions {
    // The program whose PCR PID is the clock and whose streams are timed;
    // unset: the first program of the PAT.
    std::optional<std::uint16_t> Program;
    // Time from byte positions at this rate (bit/s); 0: from the PCRs.
    double RateBps = 0.0;
    double PidTimeoutSeconds = kDefaultPidTimeoutSeconds;
};

struct CheckProgress {
    std::atomic<std::uint64_t> Position{0};  // bytes read
    std::atomic<std::uint64_t> Maximum{0};   // the file's size
};

CheckResult RunCheck(const std::string& path, const CheckOptions& options, EventSink& events, StopFlag& stop,
                     CheckProgress& progress);

}  // namespace tscard
