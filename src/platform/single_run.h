#pragma once
// One run at a time of a long operation: on the calling thread (the command
// line) or on a worker thread whose result the front end collects when the
// run's completion event arrives (the window).

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/status.h"

namespace tscard {

template <typename Result>
class SingleRun {
    // Takes every job.
    struct AdmitAll {
        Status operator()() const { return Status::Ok(); }
    };

public:
    SingleRun() = default;
    ~SingleRun() { Join(); }
    SingleRun(const SingleRun&) = delete;
    SingleRun& operator=(const SingleRun&) = delete;

    // The one way to run a job in the slot: RunHere runs it on the calling
    // thread and leaves its result in `result`; RunOnThread starts it on a
    // thread of its own, whose result Collect hands over. `job` returns
    // Result. Not ok, and nothing run, while the slot is taken (the message
    // is `busy`) or when `admit` refuses the job; admit (returning Status)
    // runs with the slot held, so it may look at what a job in progress
    // would own.
    template <typename Job, typename Admit = AdmitAll>
    [[nodiscard]] Status RunHere(const Words& busy, Job job, Result& result, Admit admit = {}) {
        if (Status st = Take(busy, admit); !st) return st;
        result = job();
        Release();
        return Status::Ok();
    }
    template <typename Job, typename Admit = AdmitAll>
    [[nodiscard]] Status RunOnThread(const Words& busy, Job job, Admit admit = {}) {
        if (Status st = Take(busy, admit); !st) return st;
        std::lock_guard lock(mutex_);
        if (worker_.joinable()) worker_.join();
        worker_ = std::thread([this, job = std::move(job)]() mutable { result_ = job(); });
        return Status::Ok();
    }

    // True from the start of a run until its result is ready (any thread).
    bool Busy() const { return busy_.load(std::memory_order_acquire); }

    // Waits for the launched worker, frees the slot and hands over its
    // result; nullopt when no worker was launched.
    std::optional<Result> Collect() {
        std::lock_guard lock(mutex_);
        if (!worker_.joinable()) return std::nullopt;
        worker_.join();
        std::optional<Result> result(std::move(result_));
        result_ = Result{};
        Release();
        return result;
    }

    // Waits for a worker still running (an owner's destructor).
    void Join() {
        std::lock_guard lock(mutex_);
        if (worker_.joinable()) worker_.join();
    }

private:
    template <typename Admit>
    Status Take(const Words& busy, Admit& admit) {
        bool expected = false;
        if (!busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) return Status::Fail(busy);
        if (Status st = admit(); !st) {
            Release();
            return st;
        }
        return Status::Ok();
    }
    void Release() { busy_.store(false, std::memory_order_release); }

    std::atomic<bool> busy_{false};
    std::mutex mutex_;
    std::thread worker_;
    Result result_{};
};

}  // namespace tscard
