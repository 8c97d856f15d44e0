#include "prepare/prepare_worker.h"

#include "prepare/prepare_run.h"

namespace tscard {

PrepareWorker::~PrepareWorker() { run_.Join(); }

PrepareResult PrepareWorker::RunClaimed(const PrepareJob& job, EventSink& events, StopFlag& stop,
                                        PrepareObserver* observer) {
    progress_maximum_.store(job.Source.GaugeMax, std::memory_order_release);
    return RunPrepare(job, events, stop, observer, progress_position_);
}

namespace {

PrepareResult Refused(Words message) {
    PrepareResult refused;
    refused.Ending = PrepareEnding::Refused;
    refused.Message = std::move(message);
    return refused;
}

Words BusyMessage(const PrepareJob& job) {
    return Words(N_("%1: refused, another prepare run is in progress"), {job.SourcePath});
}

}  // namespace

PrepareResult PrepareWorker::Run(const PrepareJob& job, EventSink& events, StopFlag& stop,
                                 PrepareObserver* observer) {
    PrepareResult result;
    const Status ran =
        run_.RunHere(BusyMessage(job), [&] { return RunClaimed(job, events, stop, observer); }, result);
    return ran ? result : Refused(ran.words());
}

Status PrepareWorker::Start(const PrepareJob& job, EventSink& events, StopFlag& stop, PrepareObserver* observer) {
    // The run works from its own copy: the parameters cannot change under it.
    return run_.RunOnThread(BusyMessage(job), [this, job, &events, &stop, observer] {
        return RunClaimed(job, events, stop, observer);
    });
}

PrepareResult PrepareWorker::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    return Refused("no prepare run was started");
}

}  // namespace tscard
