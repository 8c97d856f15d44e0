#pragma once
// One prepare run on the calling thread: the packet loop behind
// PrepareWorker (see prepare_worker.h for what a run does and leaves).

#include <atomic>
#include <cstdint>

#include "events/event_sink.h"
#include "platform/stop_flag.h"
#include "prepare/prepare_worker.h"

namespace tscard {

// progress receives the steps of 65,424 accepted input bytes as they pass.
PrepareResult RunPrepare(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer,
                         std::atomic<std::uint64_t>& progress);

}  // namespace tscard
