// Joining files: the output's bytes, appending, the trailing separator,
// stop, failed reads and writes, and sizes taken at copy time. Most runs go
// through the event hub (RunSplice); the stop test drives the chain's
// handlers itself to stop at a known block.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <bitset>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <utility>

#include "splice/splice_chain.h"
#include "splice/splice_run.h"
#include "support/test_support.h"
#include "ts/packet.h"

namespace tscard {
namespace {

// A stream of `size` bytes: 188-byte packets of PID 0x100 + seed whose
// payload counts up from `seed`, the last one cut where the size ends.
std::vector<std::uint8_t> Content(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        switch (i % kPacketSize) {
            case 0: bytes[i] = kSyncByte; break;
            case 1: bytes[i] = 0x01; break;
            case 2: bytes[i] = seed; break;
            case 3: bytes[i] = 0x10; break;
            default: bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
        }
    }
    return bytes;
}

std::vector<std::uint8_t> Joined(const std::vector<std::vector<std::uint8_t>>& files) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) out.insert(out.end(), SeparatorPacket().begin(), SeparatorPacket().end());
        out.insert(out.end(), files[i].begin(), files[i].end());
    }
    return out;
}

struct Splice {
    test::TempDir dir;
    StickJob job;
    StopFlag stop;
    std::vector<std::vector<std::uint8_t>> contents;
    std::filesystem::path out = dir / "out.ts";

    std::vector<std::string> Inputs(const std::vector<std::size_t>& sizes) {
        std::vector<std::string> paths;
        for (std::size_t size : sizes) {
            const auto path = dir / ("in" + std::to_string(contents.size()) + ".ts");
            contents.push_back(Content(size, static_cast<std::uint8_t>(contents.size() + 1)));
            test::WriteFileBytes(path, contents.back());
            paths.push_back(path.string());
        }
        return paths;
    }
    SpliceResult Go(const std::function<void(const SpliceProgress&)>& progress = {}) {
        return RunSplice(job, stop, progress);
    }
};

TEST(SpliceCopy, FilesAreJoinedWithASeparatorBetweenTwo) {
    const std::vector<std::vector<std::size_t>> cases = {
        {100000, 65536, 1000}, {5000}, {752, 752}, {3 * 1048576 + 17, 1000},
    };
    for (const auto& sizes : cases) {
        SCOPED_TRACE(::testing::PrintToString(sizes));
        Splice s;
        ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
        ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs(sizes)));
        SpliceProgress last;
        const SpliceResult r = s.Go([&](const SpliceProgress& p) { last = p; });
        ASSERT_EQ(r.Ending, SpliceEnding::Complete) << r.Message;
        const auto expected = Joined(s.contents);
        EXPECT_EQ(test::ReadFileBytes(s.out), expected);
        EXPECT_EQ(r.OutputSize, expected.size());
        EXPECT_EQ(r.FilesCopied, static_cast<int>(sizes.size()));
        std::uint64_t maximum = 1;
        for (std::size_t size : sizes) maximum += size / 65536;
        EXPECT_EQ(last.Maximum, maximum);
        EXPECT_FALSE(s.job.Output.IsOpen());
        EXPECT_FALSE(s.job.Files[0].Handle.IsOpen());
    }
}

TEST(SpliceCopy, ThreeFilesGiveTheSeparatorsWhereExpected) {
    Splice s;
    ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs({100000, 65536, 1000})));
    ASSERT_EQ(s.Go().Ending, SpliceEnding::Complete);
    const auto bytes = test::ReadFileBytes(s.out);
    ASSERT_EQ(bytes.size(), 166912u);
    EXPECT_TRUE(IsSeparator(bytes.data() + 100000));
    EXPECT_TRUE(IsSeparator(bytes.data() + 165724));
}

TEST(SpliceCopy, AppendingFollowsTheOldContentAndNeverCutsIt) {
    for (std::size_t files : {0, 1, 2}) {
        SCOPED_TRACE(files);
        Splice s;
        const auto old = Content(1000, 99);
        test::WriteFileBytes(s.out, old);
        ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Append));
        ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs(std::vector<std::size_t>(files, 1000))));
        const SpliceResult r = s.Go();
        ASSERT_EQ(r.Ending, SpliceEnding::Complete) << r.Message;
        auto expected = old;
        const auto joined = Joined(s.contents);
        expected.insert(expected.end(), joined.begin(), joined.end());
        EXPECT_EQ(test::ReadFileBytes(s.out), expected);
    }
}

TEST(SpliceCopy, ReplacingDropsTheOldContent) {
    Splice s;
    test::WriteFileBytes(s.out, Content(100000, 5));
    ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs({1000})));
    ASSERT_EQ(s.Go().Ending, SpliceEnding::Complete);
    EXPECT_EQ(test::ReadFileBytes(s.out), s.contents[0]);
}

TEST(SpliceCopy, SizesAreTakenWhenEachFileIsCopied) {
    Splice s;
    ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
    const auto paths = s.Inputs({70000, 70000});
    ASSERT_TRUE(AddSpliceFiles(s.job, paths));
    // After adding: the first shrinks; the second grows while the first is
    // copied.
    s.contents[0].resize(1000);
    std::filesystem::resize_file(paths[0], 1000);
    const auto grown = Content(140000, 2);
    bool grew = false;
    ASSERT_EQ(s.Go([&](const SpliceProgress&) {
                    if (!std::exchange(grew, true)) test::WriteFileBytes(paths[1], grown);
                }).Ending,
              SpliceEnding::Complete);
    ASSERT_TRUE(grew);
    s.contents[1] = grown;
    EXPECT_EQ(test::ReadFileBytes(s.out), Joined(s.contents));
}

TEST(SpliceCopy, ReadAndWriteFailuresEndTheSpliceNamingTheFile) {
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "unreadable input, appending" : "unreadable input");
        Splice s;
        const auto old = Content(1000, 3);
        test::WriteFileBytes(s.out, old);
        ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), append ? SpliceOutputMode::Append : SpliceOutputMode::Replace));
        const auto paths = s.Inputs({1000, 1000, 1000});
        ASSERT_TRUE(AddSpliceFiles(s.job, paths));
        // The second file's handle turns out to be a folder's: its read fails.
        std::filesystem::create_directory(s.dir / "folder.ts");
        s.job.Files[1].Handle = File::Adopt(::open((s.dir / "folder.ts").c_str(), O_RDONLY | O_CLOEXEC), "folder.ts");
        // Found when the splice starts, before anything is written.
        const SpliceResult r = s.Go();
        EXPECT_EQ(r.Ending, SpliceEnding::Refused);
        EXPECT_NE(r.Message.English().find("folder.ts: cannot read"), std::string::npos) << r.Message;
        EXPECT_EQ(r.FilesCopied, 0);
        EXPECT_EQ(test::ReadFileBytes(s.out), old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.dir.path()), {}), 5) << "no file left behind";
    }
    {
        SCOPED_TRACE("full output");
        Splice s;
        std::filesystem::create_symlink("/dev/full", s.out);
        ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
        ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs({70000})));
        const SpliceResult r = s.Go();
        EXPECT_EQ(r.Ending, SpliceEnding::Failed);
        EXPECT_NE(r.Message.English().find("out.ts: cannot write"), std::string::npos) << r.Message;
    }
}

// Joined, the inputs are read as one stream: each must hold packets, of the
// first one's size.
TEST(SpliceCopy, InputsWithoutPacketsOrOfAnotherPacketSizeAreRefusedBeforeAnythingIsWritten) {
    std::mt19937 random(20);
    std::vector<std::uint8_t> noise(100000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    // The same packets behind 4-byte prefixes.
    std::vector<std::uint8_t> units;
    const auto packets = Content(188 * 40, 7);
    for (std::size_t i = 0; i < packets.size(); i += kPacketSize) {
        units.insert(units.end(), {0, 0, 0, static_cast<std::uint8_t>(i)});
        units.insert(units.end(), packets.begin() + static_cast<std::ptrdiff_t>(i),
                     packets.begin() + static_cast<std::ptrdiff_t>(i + kPacketSize));
    }
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint8_t>> files;
        std::string message;  // after "<dir>/inN.ts: "
    };
    const std::vector<Case> cases = {
        {"random bytes", {Content(5000, 1), noise}, "in1.ts: Unknow stream format (no 188- or 192-byte packets"},
        {"one byte", {Content(5000, 1), {0x47}}, "in1.ts: Unknow stream format (the file holds 1 bytes"},
        {"an empty file", {{}, Content(5000, 1)}, "in0.ts: Unknow stream format (the file is empty)"},
        {"192-byte units after 188-byte packets", {Content(5000, 1), units},
         "in1.ts: holds 192-byte units, the first file ("},
        {"188-byte packets after 192-byte units", {units, units, Content(5000, 1)},
         "in2.ts: holds 188-byte packets, the first file ("},
    };
    for (const Case& c : cases) {
        for (const bool append : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (append ? ", appending" : ""));
            Splice s;
            const auto old = Content(1000, 3);
            test::WriteFileBytes(s.out, old);
            std::vector<std::string> paths;
            for (const auto& bytes : c.files) {
                paths.push_back((s.dir / ("in" + std::to_string(paths.size()) + ".ts")).string());
                test::WriteFileBytes(paths.back(), bytes);
            }
            ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), append ? SpliceOutputMode::Append : SpliceOutputMode::Replace));
            ASSERT_TRUE(AddSpliceFiles(s.job, paths));
            const SpliceResult r = s.Go();
            EXPECT_EQ(r.Ending, SpliceEnding::Refused);
            EXPECT_NE(r.Message.English().find((s.dir / c.message).string()), std::string::npos) << r.Message;
            EXPECT_EQ(test::ReadFileBytes(s.out), old);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.dir.path()), {}),
                      static_cast<std::ptrdiff_t>(c.files.size() + 1))
                << "no file left behind";
        }
    }
}

TEST(SpliceCopy, StartIsRefusedWithoutAnOutput) {
    Splice s;
    const SpliceResult r = s.Go();
    EXPECT_EQ(r.Ending, SpliceEnding::Refused);
    EXPECT_NE(r.Message.English().find("no output file"), std::string::npos) << r.Message;
}

// Events as auto-reset flags, taken lowest first by the test's own loop.
class QueueSink final : public EventSink {
public:
    std::function<void(EventId)> on_signal;

    void Signal(EventId id) override {
        if (on_signal) on_signal(id);
        std::lock_guard lock(mutex_);
        pending_.set(static_cast<std::size_t>(id));
        cv_.notify_one();
    }
    EventId Take() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return pending_.any(); });
        std::size_t i = 0;
        while (!pending_.test(i)) ++i;
        pending_.reset(i);
        return static_cast<EventId>(i);
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::bitset<kEventCount> pending_;
};

TEST(SpliceCopy, StopEndsAfterTheCurrentBlockOnAPacketBoundary) {
    Splice s;
    ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), SpliceOutputMode::Replace));
    ASSERT_TRUE(AddSpliceFiles(s.job, s.Inputs({1000, 3 * 1048576 + 5, 1000})));
    QueueSink events;
    int refreshes = 0;
    // Raised by the second file's first progress step: its first 1 MiB is
    // copied, then the worker sees the request.
    events.on_signal = [&](EventId id) {
        if (id == EventId::evStickRefreshGauge && ++refreshes == 2) s.stop.Request();
    };
    SpliceChain chain(s.job, events, s.stop);
    ASSERT_TRUE(chain.Start());
    for (bool finished = false; !finished;) {
        switch (events.Take()) {
            case EventId::evStickOpenFile: finished = chain.OnOpenFile(); break;
            case EventId::evStickCloseFile: chain.OnCloseFile(); break;
            default: break;
        }
    }
    const SpliceResult& r = chain.Result();
    EXPECT_EQ(r.Ending, SpliceEnding::Stopped);
    EXPECT_EQ(r.FilesCopied, 1);
    // The packet in hand at 1 MiB is copied to its end.
    const std::size_t kept = (1048576 + kPacketSize - 1) / kPacketSize * kPacketSize;
    auto expected = Joined({s.contents[0], std::vector<std::uint8_t>(s.contents[1].begin(), s.contents[1].begin() + kept)});
    EXPECT_EQ(test::ReadFileBytes(s.out), expected);
    EXPECT_FALSE(s.job.Splicing);
    EXPECT_FALSE(s.job.Files[1].Handle.IsOpen());
}

// Runs the chain's handlers on the test's thread; on_signal runs in the
// thread that signals, at the moment it does.
SpliceResult Drive(Splice& s, std::function<void(EventId)> on_signal) {
    QueueSink events;
    events.on_signal = std::move(on_signal);
    SpliceChain chain(s.job, events, s.stop);
    if (Status st = chain.Start(); !st) return SpliceResult{SpliceEnding::Refused, st.message()};
    for (bool finished = false; !finished;) {
        switch (events.Take()) {
            case EventId::evStickOpenFile: finished = chain.OnOpenFile(); break;
            case EventId::evStickCloseFile: chain.OnCloseFile(); break;
            default: break;
        }
    }
    return chain.Result();
}

// A file that ends before the size it had when the splice started (or when
// its copy began) fails the splice naming it; the output stays as it was.
TEST(SpliceCopy, AFileThatShrinksDuringTheSpliceFailsItNamingTheFile) {
    struct Case {
        const char* what;
        std::size_t file;   // truncated at the first progress step of file 0
        std::uint64_t to;
        std::uint64_t was;  // the size the message gives
    };
    constexpr std::size_t kBig = 3 * 1048576 + 17;
    const Case cases[] = {
        {"the file being copied, to half", 0, kBig / 2, kBig},
        {"the file being copied, to nothing", 0, 0, kBig},
        {"a file not copied yet", 1, 1000, 5000},
    };
    for (const Case& c : cases) {
        for (const bool append : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (append ? ", appending" : ""));
            Splice s;
            const auto old = Content(1000, 3);
            test::WriteFileBytes(s.out, old);
            ASSERT_TRUE(SetUpSplice(s.job, s.out.string(), append ? SpliceOutputMode::Append : SpliceOutputMode::Replace));
            const auto paths = s.Inputs({kBig, 5000, 5000});
            ASSERT_TRUE(AddSpliceFiles(s.job, paths));
            // Cut in the copying thread, before the block it announces.
            bool cut = false;
            const SpliceResult r = Drive(s, [&](EventId id) {
                if (id == EventId::evStickRefreshGauge && !std::exchange(cut, true))
                    std::filesystem::resize_file(paths[c.file], c.to);
            });
            EXPECT_EQ(r.Ending, SpliceEnding::Failed);
            EXPECT_NE(r.Message.English().find(paths[c.file] + ": the file shrank while it was read (was " +
                                     std::to_string(c.was) + " bytes, now " + std::to_string(c.to) + ")"),
                      std::string::npos)
                << r.Message;
            EXPECT_EQ(test::ReadFileBytes(s.out), old);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.dir.path()), {}), 4) << "no file left behind";
        }
    }
}

}  // namespace
}  // namespace tscard
