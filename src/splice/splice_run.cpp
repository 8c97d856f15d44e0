#include "splice/splice_run.h"

#include <condition_variable>
#include <mutex>

#include "events/event_hub.h"

namespace tscard {

SpliceResult RunSplice(StickJob& job, StopFlag& stop, const std::function<void(const SpliceProgress&)>& progress) {
    EventHub hub;
    SpliceChain chain(job, hub, stop);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    hub.SetHandler(EventId::evStickOpenFile, [&] {
        if (!chain.OnOpenFile()) return;
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_all();
    });
    hub.SetHandler(EventId::evStickCloseFile, [&] { chain.OnCloseFile(); });
    hub.SetHandler(EventId::evStickRefreshGauge, [&] {
        if (progress) progress(chain.Progress());
    });
    hub.Start([](const EventHub::Handler& run) { run(); });

    if (Status st = chain.Start(); !st) {
        hub.Shutdown();
        SpliceResult refused;
        refused.Ending = SpliceEnding::Refused;
        refused.Message = st.words();
        return refused;
    }
    {
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done; });
    }
    hub.Shutdown();
    if (progress) progress(chain.Progress());
    return chain.Result();
}

}  // namespace tscard
