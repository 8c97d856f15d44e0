#pragma once
// Running a splice to its end on the calling thread: an event hub of its
// own carries the chain's events and runs its handlers in place. For front
// ends without an event loop (the command line, tests).

#include <functional>

#include "platform/stop_flag.h"
#include "splice/splice_chain.h"
#include "splice/splice_job.h"

namespace tscard {

// progress is called from the hub's thread at each evStickRefreshGauge
// taken (several blocks may arrive as one).
SpliceResult RunSplice(StickJob& job, StopFlag& stop, const std::function<void(const SpliceProgress&)>& progress = {});

}  // namespace tscard
