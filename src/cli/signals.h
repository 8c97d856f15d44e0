#pragma once
// Ctrl+C and SIGTERM become a stop request: the running worker then ends
// through its stop path and leaves what that path leaves.

#include "platform/stop_flag.h"

namespace tscard::cli {

class StopOnSignals {
public:
    explicit StopOnSignals(StopFlag& flag);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // True once SIGINT or SIGTERM arrived while the guard lived.
    bool Signalled() const;
};

}  // namespace tscard::cli
