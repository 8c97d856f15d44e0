#pragma once
// One run at a time of a long operation: on the calling thread (the command
// line) or on a worker thread whose result the front end collects when the
// run's completion event arrives (the window).

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tscard {

template <typename Result>
class SingleRun {
public:
    SingleRun() = default;
    ~SingleRun() { Join(); }
    SingleRun(const SingleRun&) = delete;
    SingleRun& operator=(const SingleRun&) = delete;

    // Takes the slot; false while a run is in progress or its result has
    // not been collected.
    bool Claim() {
        bool expected = false;
        return busy_.compare_exchange_strong(expected, true, std::memory_order_acq_rel);
    }
    // Gives the slot back after a run on the calling thread, or a refusal.
    void Release() { busy_.store(false, std::memory_order_release); }
    // True from Claim until the run's result is ready (any thread).
    bool Busy() const { return busy_.load(std::memory_order_acquire); }

    // Runs `body` (returning Result) on a worker thread; the slot must have
    // been claimed.
    template <typename Body>
    void Launch(Body body) {
        std::lock_guard lock(mutex_);
        if (worker_.joinable()) worker_.join();
        worker_ = std::thread([this, body = std::move(body)]() mutable { result_ = body(); });
    }

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
    std::atomic<bool> busy_{false};
    std::mutex mutex_;
    std::thread worker_;
    Result result_{};
};

}  // namespace tscard
