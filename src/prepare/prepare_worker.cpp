#include "prepare/prepare_worker.h"

#include "prepare/prepare_run.h"

namespace tscard {

PrepareWorker::~PrepareWorker() {
    std::lock_guard lock(worker_mutex_);
    if (worker_.joinable()) worker_.join();
}

bool PrepareWorker::Claim() {
    bool expected = false;
    return busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
}

PrepareResult PrepareWorker::RunClaimed(const PrepareJob& job, ContinuityTable& continuity, EventSink& events,
                                        StopFlag& stop, PrepareObserver* observer) {
    progress_maximum_.store(job.Source.GaugeMax, std::memory_order_release);
    return RunPrepare(job, continuity, events, stop, observer, progress_position_);
}

PrepareResult PrepareWorker::Run(const PrepareJob& job, ContinuityTable& continuity, EventSink& events,
                                 StopFlag& stop, PrepareObserver* observer) {
    if (!Claim()) {
        PrepareResult refused;
        refused.Ending = PrepareEnding::Refused;
        refused.Message = job.SourcePath + ": refused, another prepare run is in progress";
        return refused;
    }
    PrepareResult result = RunClaimed(job, continuity, events, stop, observer);
    busy_.store(false, std::memory_order_release);
    return result;
}

Status PrepareWorker::Start(const PrepareJob& job, ContinuityTable& continuity, EventSink& events, StopFlag& stop,
                            PrepareObserver* observer) {
    if (!Claim()) return Status::Fail(job.SourcePath + ": refused, another prepare run is in progress");
    std::lock_guard lock(worker_mutex_);
    // The run works from its own copy: the parameters cannot change under it.
    worker_job_ = job;
    worker_ = std::thread([this, &continuity, &events, &stop, observer] {
        worker_result_ = RunClaimed(worker_job_, continuity, events, stop, observer);
    });
    return Status::Ok();
}

PrepareResult PrepareWorker::Finish() {
    std::lock_guard lock(worker_mutex_);
    if (!worker_.joinable()) {
        PrepareResult none;
        none.Ending = PrepareEnding::Refused;
        none.Message = "no prepare run was started";
        return none;
    }
    worker_.join();
    PrepareResult result = std::move(worker_result_);
    worker_result_ = PrepareResult{};
    busy_.store(false, std::memory_order_release);
    return result;
}

}  // namespace tscard
