#include "ts/analyzer.h"

namespace tscard {

Analyzer::~Analyzer() {
    if (worker_.joinable()) worker_.join();
}

bool Analyzer::Claim() {
    bool expected = false;
    return busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
}

AnalysisResult Analyzer::Run(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop) {
    if (!Claim()) return AnalysisResult{AnalysisEnding::Refused, "an analysis is already running", {}, {}, false};
    AnalysisResult result = RunClaimed(request, state, events, stop);
    busy_.store(false, std::memory_order_release);
    return result;
}

Status Analyzer::Start(const AnalysisRequest& request, StreamState& state, EventSink& events, StopFlag& stop) {
    if (!Claim()) return Status::Fail("an analysis is already running");
    std::lock_guard lock(worker_mutex_);
    worker_ = std::thread([this, request, &state, &events, &stop] {
        worker_result_ = RunClaimed(request, state, events, stop);
    });
    return Status::Ok();
}

AnalysisResult Analyzer::Finish() {
    std::lock_guard lock(worker_mutex_);
    if (!worker_.joinable()) return AnalysisResult{AnalysisEnding::Refused, "no analysis was started", {}, {}, false};
    worker_.join();
    AnalysisResult result = std::move(worker_result_);
    busy_.store(false, std::memory_order_release);
    return result;
}

AnalysisResult Analyzer::RunClaimed(const AnalysisRequest& request, StreamState&, EventSink& events, StopFlag&) {
    events.Signal(EventId::evRefreshGauge);
    return AnalysisResult{AnalysisEnding::Failed, request.Path + ": analysis not available yet", {}, {}, false};
}

}  // namespace tscard
