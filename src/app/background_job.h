#pragma once
// A job of the window that is not one of the hub's runs (a card read, a
// full format, the measurement before a card write): it runs on a thread
// of its own, and its end is handed to the GUI thread, where `ended` gets
// the result. Nothing else of the job touches a widget.
//
//     BackgroundJob<Status> format_;
//     format_.Start(this, [&] { return FormatCard(device, true, observer); },
//                   [this](Status done) { ... show the card ... });
//
// Register Busy and the stop request with EventBridge::TrackWork, so that
// closing the window stops the job and waits for its end.

#include <QObject>

#include <functional>
#include <optional>
#include <utility>

#include "platform/single_run.h"
#include "platform/status.h"

namespace tscard::app {

template <typename Result>
class BackgroundJob {
public:
    // Not ok (and nothing started) while the previous job has not ended.
    [[nodiscard]] Status Start(QObject* context, std::function<Result()> job, std::function<void(Result)> ended) {
        Status started = run_.RunOnThread("another job of this kind is running", [this, context, job = std::move(job)] {
            Result result = job();
            // Runs on the GUI thread once this thread has handed its result
            // over; dropped when the context has gone meanwhile.
            QMetaObject::invokeMethod(context, [this] { End(); }, Qt::QueuedConnection);
            return result;
        });
        // The end is queued to this (the GUI) thread, so it cannot come first.
        if (started) ended_ = std::move(ended);
        return started;
    }

    // From Start until `ended` has been called.
    bool Busy() const { return run_.Busy(); }

private:
    void End() {
        std::optional<Result> result = run_.Collect();
        if (result && ended_) ended_(std::move(*result));
    }

    std::function<void(Result)> ended_;
    // Last: destroyed first, so a running job ends before the rest goes.
    SingleRun<Result> run_;
};

}  // namespace tscard::app
