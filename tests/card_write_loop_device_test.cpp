// Card write and read on a real block device: a loop device over a file,
// written and read through the block-device backend (O_DIRECT, exclusive
// open), and taken away in the middle of a write. Needs root and loop
// devices; skipped otherwise. Every loop device is detached at the end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "card/card_open.h"
#include "card/card_write.h"
#include "card/card_write_batch.h"
#include "card_test_util.h"
#include "card_write_util.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::RunCli;
using test::AttachedLoop;
using test::RunProgram;

constexpr std::uint64_t kMiB = 1 << 20;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class LoopCardWrite : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root";
        test::MakeImage(backing_, 16 * kMiB, 0x5A);
        loop_ = std::make_unique<AttachedLoop>(backing_);
        if (loop_->node.empty()) GTEST_SKIP() << "no loop device";
        node_ = loop_->node;
        const auto r = RunCli({"card", "format", node_, "--allow-non-removable", "--yes"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    void TearDown() override { loop_.reset(); }

    // Writes the source to the loop device in this process; `at_window`
    // runs in the worker at its n-th window.
    CardWriteResult WriteInProcess(const test::SourceStream& source, std::uint64_t n, std::function<void()> at_window,
                                   CardWriteState& write) {
        test::WriteFileBytes(source_, source.Bytes);
        const SystemRoots roots;
        CardTarget target;
        EXPECT_TRUE(ResolveCard(node_, roots, target).ok());
        CardDevice device;
        const Status opened = OpenCard(target, true, roots, device);
        EXPECT_TRUE(opened.ok()) << opened.message();
        EXPECT_TRUE(device.Backend().DirectIo());
        EXPECT_EQ(device.LoadDirectory(device.Directory), DirectoryState::Valid);
        CardWriteJob job;
        File file;
        EXPECT_TRUE(File::OpenRead(source_.string(), file).ok());
        EXPECT_TRUE(job.Source.Open(std::move(file)).ok());
        job.FileName = "pulled.ts";
        job.Bitrate = 7000;
        test::RecordingSink events;
        events.OnSignal = [&](EventId id, int seen) {
            if (id == EventId::ChangeProgressPosG1 && std::uint64_t(seen) == n) at_window();
        };
        StopFlag stop;
        CardWriteWorker writer;
        return writer.Run(job, device, write, events, stop);
    }

    // The backing file holds the recorded entry and exactly the blocks it
    // counts, as the source packs into them.
    void ExpectCardHolds(const CardWriteResult& result, const test::SourceStream& source) {
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(backing_);
        ASSERT_TRUE(result.Recorded);
        std::vector<std::uint8_t> region = test::EmptyRegion(true, 7000);
        region[1] = 1;
        test::PutEntry(region, 0, 61, result.Entry.Length, result.Entry.LastSlot, "pulled.ts");
        EXPECT_TRUE(std::equal(region.begin(), region.end(), bytes.begin()));
        const test::Packed packed = test::PackInWindows(source.Bytes, false);
        for (std::uint64_t b = 0; b <= result.Entry.Length; ++b)
            ASSERT_TRUE(std::equal(packed.Blocks[b].begin(), packed.Blocks[b].end(),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(UnitOffset(b))))
                << "block " << b;
    }

    test::TempDir dir_;
    std::filesystem::path backing_ = dir_ / "backing.img";
    std::filesystem::path source_ = dir_ / "pulled.ts";
    std::unique_ptr<AttachedLoop> loop_;
    std::string node_;
};

TEST_F(LoopCardWrite, AFixtureGoesToTheDeviceAndComesBack) {
    if (!test::HasFixture("single_muxrate.ts")) GTEST_SKIP() << "fixture missing";
    const std::string fixture = test::Fixture("single_muxrate.ts").string();
    auto r = RunCli({"card", "write", node_, fixture, "--allow-non-removable", "--yes", "--verify", "--bitrate", "3000"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Verified: ")) << r.out;

    const std::filesystem::path original = dir_ / "original.ts";
    r = RunCli({"card", "read", node_, "0", original.string(), "--original", "--allow-non-removable"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // The fixture starts with its PSI, not with null packets: it comes
    // back whole, its null packets as the image of NullPacket.
    const std::vector<std::uint8_t> source = test::ReadFileBytes(fixture);
    std::vector<Packet> expected = test::SplitPackets(source);
    for (Packet& p : expected)
        if (test::IsNull(p)) p = NullPacket();
    EXPECT_TRUE(test::SplitPackets(test::ReadFileBytes(original)) == expected);

    const std::filesystem::path compressed = dir_ / "compressed.bin";
    r = RunCli({"card", "read", node_, "0", compressed.string(), "--allow-non-removable"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::vector<std::uint8_t> stored = test::ReadFileBytes(compressed);
    const std::vector<std::uint8_t> backing = test::ReadFileBytes(backing_);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), backing.begin() + kHeaderRegionBytes));
}

TEST_F(LoopCardWrite, ACardThatShrinksAwayDuringAWriteKeepsTheBlocksThatReachedIt) {
    const test::SourceStream source = test::SourceStream{}.Stored(43 * 1200);
    // At window 20 (about 160 blocks written) the medium shrinks to 500
    // units, as when a card goes or lies about its size: the next batch
    // finds the card changed and writes no more.
    const std::uint64_t units_left = 500;
    CardWriteState write;
    const CardWriteResult result = WriteInProcess(source, 20, [&] {
        std::filesystem::resize_file(backing_, UnitOffset(units_left));
        RunProgram("losetup", {"--set-capacity", node_});
    }, write);
    EXPECT_EQ(result.Ending, CardWriteEnding::Stopped) << result.Message;
    EXPECT_EQ(result.StopReason, CardWriteStop::CardRemoved);
    EXPECT_NE(result.Message.English().find(node_ + ": the card was removed or changed"), std::string::npos) << result.Message;
    EXPECT_GT(result.BlocksWritten, 0u);
    EXPECT_LE(result.BlocksWritten, units_left);
    EXPECT_EQ(result.BlocksWritten % UnitBatchWriter::kBatchUnits, 0u) << "whole batches only";
    EXPECT_EQ(result.Entry.LastSlot, 0);
    EXPECT_TRUE(write.DirectoryStored) << write.DirectoryStatus.message();
    ExpectCardHolds(result, source);
}

TEST_F(LoopCardWrite, DetachingTheDeviceDuringAWriteLeavesAConsistentCard) {
    // The kernel keeps a detached loop device until its last user closes
    // it: the write goes on to its end, or, where the device goes at once,
    // ends as a stop with the blocks that reached it.
    const test::SourceStream source = test::SourceStream{}.Stored(43 * 1200);
    CardWriteState write;
    const CardWriteResult result = WriteInProcess(source, 20, [&] {
        // Detached once: the node may go to another user as soon as the
        // write lets go of it, and must not be detached again then.
        if (RunProgram("losetup", {"--detach", node_}).exit_code == 0) loop_->node.clear();
    }, write);
    ASSERT_NE(result.Ending, CardWriteEnding::Failed) << result.Message;
    if (result.Ending == CardWriteEnding::Complete) {
        EXPECT_EQ(result.BlocksWritten, 1200u);
        EXPECT_TRUE(write.DirectoryStored);
        ExpectCardHolds(result, source);
    } else if (write.DirectoryStored) {
        ExpectCardHolds(result, source);
    }
    EXPECT_FALSE(Contains(RunProgram("losetup", {"--list", "--noheadings"}).out, backing_.string()));
}

}  // namespace
}  // namespace tscard
