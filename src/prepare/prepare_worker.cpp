#include "prepare/prepare_worker.h"

#include "prepare/prepare_run.h"

namespace tscard {

PrepareWorker::~PrepareWorker() { run_.Join(); }

PrepareResult PrepareWorker::RunClaimed(const PrepareJob& job, ContinuityTable& continuity, EventSink& events,
                                        StopFlag& stop, PrepareObserver* observer) {
    progress_maximum_.store(job.Source.GaugeMax, std::memory_order_release);
    return RunPrepare(job, continuity, events, stop, observer, progress_position_);
}

PrepareResult PrepareWorker::Run(const PrepareJob& job, ContinuityTable& continuity, EventSink& events,
                                 StopFlag& stop, PrepareObserver* observer) {
    if (!run_.Claim()) {
        PrepareResult refused;
        refused.Ending = PrepareEnding::Refused;
        refused.Message = job.SourcePath + ": refused, another prepare run is in progress";
        return refused;
    }
    PrepareResult result = RunClaimed(job, continuity, events, stop, observer);
    run_.Release();
    return result;
}

Status PrepareWorker::Start(const PrepareJob& job, ContinuityTable& continuity, EventSink& events, StopFlag& stop,
                            PrepareObserver* observer) {
    if (!run_.Claim()) return Status::Fail(job.SourcePath + ": refused, another prepare run is in progress");
    // The run works from its own copy: the parameters cannot change under it.
    run_.Launch([this, job, &continuity, &events, &stop, observer] {
        return RunClaimed(job, continuity, events, stop, observer);
    });
    return Status::Ok();
}

PrepareResult PrepareWorker::Finish() {
    if (auto result = run_.Collect()) return std::move(*result);
    PrepareResult none;
    none.Ending = PrepareEnding::Refused;
    none.Message = "no prepare run was started";
    return none;
}

}  // namespace tscard
