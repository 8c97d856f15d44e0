// The analyzer on a worker thread: events through the hub, one analysis at
// a time, and 64-bit offsets.

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "analysis/analyzer.h"
#include "analysis_streams.h"
#include "events/event_hub.h"

namespace tscard {
namespace {

using test::StreamBuilder;

// Holds the worker at its first progress step until released.
class GateSink : public EventSink {
public:
    void Signal(EventId id) override {
        std::unique_lock lock(mutex_);
        if (id == EventId::evRefreshGauge) ++completions_;
        if (id != EventId::ChangeProgressPosG1 || passed_) return;
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return passed_; });
    }
    void WaitHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        passed_ = true;
        changed_.notify_all();
    }
    int Completions() {
        std::lock_guard lock(mutex_);
        return completions_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool passed_ = false;
    int completions_ = 0;
};

TEST(AnalyzerWorker, ASecondAnalysisIsRefusedWhileOneRuns) {
    test::TempDir dir;
    const std::string path = (dir / "long.ts").string();
    test::WriteFileBytes(path, StreamBuilder().Filler(1000).Pat().Sdt().Pmt().Bytes188());

    Analyzer analyzer;
    StreamState state;
    StopFlag stop;
    GateSink gate;
    ASSERT_TRUE(analyzer.Start(AnalysisRequest{AnalysisMode::ModeCardWrite, path}, state, gate, stop).ok());
    gate.WaitHeld();
    EXPECT_TRUE(analyzer.Busy());
    EXPECT_TRUE(analyzer.Scanning());
    EXPECT_EQ(analyzer.ProgressMaximum(), 2u);

    StreamState other;
    other.Path = "untouched";
    NullEventSink none;
    const AnalysisResult refused =
        analyzer.Run(AnalysisRequest{AnalysisMode::ModePrepare, path}, other, none, stop);
    EXPECT_EQ(refused.Ending, AnalysisEnding::Refused);
    EXPECT_EQ(other.Path, "untouched");
    EXPECT_FALSE(analyzer.Start(AnalysisRequest{AnalysisMode::ModePrepare, path}, other, none, stop).ok());

    gate.Release();
    const AnalysisResult result = analyzer.Finish();
    EXPECT_EQ(result.Ending, AnalysisEnding::Complete) << result.Message;
    EXPECT_EQ(gate.Completions(), 1);
    EXPECT_FALSE(analyzer.Busy());
    EXPECT_TRUE(state.CardSource.IsOpen());

    // Once collected, the next run may start.
    EXPECT_EQ(analyzer.Run(AnalysisRequest{AnalysisMode::ModePrepare, path}, other, none, stop).Ending,
              AnalysisEnding::Complete);
}

TEST(AnalyzerWorker, CompletionHandlerCollectsTheResultThroughTheHub) {
    test::TempDir dir;
    const std::string path = (dir / "clip.ts").string();
    test::WriteFileBytes(path, StreamBuilder().Filler(800).Pat().Sdt().Pmt().Filler(10).Bytes188());

    Analyzer analyzer;
    StreamState state;
    StopFlag stop;
    EventHub hub;
    int progress = 0;
    std::promise<AnalysisResult> collected;
    hub.SetHandler(EventId::ChangeProgressPosG1, [&] { ++progress; });
    hub.SetHandler(EventId::evRefreshGauge, [&] { collected.set_value(analyzer.Finish()); });
    hub.Start([](const EventHub::Handler& run) { run(); });

    hub.HandOver().ResetGaugeGroup();
    ASSERT_TRUE(analyzer.Start(AnalysisRequest{AnalysisMode::ModePrepare, path}, state, hub, stop).ok());
    const AnalysisResult result = collected.get_future().get();
    hub.Shutdown();
    EXPECT_EQ(result.Ending, AnalysisEnding::Complete);
    EXPECT_GE(progress, 1);  // repeated progress signals may merge
    EXPECT_EQ(hub.HandOver().LastGaugeGroup.load(), GaugeGroup::G1);
    EXPECT_EQ(state.Lists.ProgramList.size(), 1u);
}

// A 5 GB sparse file: sizes, window counts and block figures beyond 32 bits.
TEST(AnalyzerWorker, SixtyFourBitSizes) {
    test::TempDir dir;
    const auto path = dir / "big.ts";
    constexpr std::uint64_t kSize = 5ull << 30;
    test::WriteFileBytes(path, StreamBuilder().Nulls(2).Pat().Sdt().Pmt().Filler(10).Bytes188());
    test::ResizeFile(path, kSize);

    Analyzer analyzer;
    StreamState state;
    StopFlag stop;
    NullEventSink none;
    const AnalysisResult result =
        analyzer.Run(AnalysisRequest{AnalysisMode::ModeCardWrite, path.string()}, state, none, stop);
    ASSERT_EQ(result.Ending, AnalysisEnding::Complete) << result.Message;
    const StreamLayout& l = state.Layout;
    EXPECT_EQ(l.StartOffset, 2 * 188);
    EXPECT_EQ(l.RemainingBytes, kSize - 376);
    EXPECT_EQ(l.WindowCount, (kSize - 376) / 65536);
    EXPECT_EQ(l.TailBytes, (kSize - 376) % 65536);
    EXPECT_EQ(l.BigBlocks, (kSize - 376) / 64672);
    EXPECT_EQ(state.CardSource.Size(), kSize);
}

// The description found only after 4 GiB: every window offset is 64-bit.
// Scans 4 GiB of a sparse file, so it runs only in optimised builds.
TEST(AnalyzerWorker, ReadsPsiBeyondFourGibibytes) {
#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
    GTEST_SKIP() << "scans 4 GiB; run in an optimised build";
#endif
    test::TempDir dir;
    const auto path = dir / "far.ts";
    // Packets first, then a hole (zero bytes read as harmless PID 0
    // continuation packets), then the PSI on the packet grid past 4 GiB.
    test::WriteFileBytes(path, StreamBuilder().Filler(10).Bytes188());
    const std::uint64_t psi_at = ((4ull << 30) / 188 + 1000) * 188;
    test::WriteAt(path, psi_at, StreamBuilder().Pat().Sdt().Pmt().Filler(2).Bytes188());

    Analyzer analyzer;
    StreamState state;
    StopFlag stop;
    NullEventSink none;
    const AnalysisResult result =
        analyzer.Run(AnalysisRequest{AnalysisMode::ModePrepare, path.string()}, state, none, stop);
    ASSERT_EQ(result.Ending, AnalysisEnding::Complete) << result.Message;
    EXPECT_EQ(state.Lists.ProgramList.at(0).SourceName, "Channel");
}

}  // namespace
}  // namespace tscard
