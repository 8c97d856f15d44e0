// tscard-cli card write and card read end to end on card images: round
// trips of the ffmpeg streams, the bit rate, streams larger than the card,
// and the refusals that leave cards and outputs as they were.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include <nlohmann/json.hpp>

#include "card_test_util.h"
#include "card_write_util.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::RunCli;

constexpr std::uint64_t kMiB = 1 << 20;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::uint8_t> Repeat(const std::vector<std::uint8_t>& unit, std::size_t times) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

// A fixture with null packets before and after it, in its own unit size.
std::vector<std::uint8_t> WithNulls(const std::vector<std::uint8_t>& fixture, std::size_t unit, std::size_t before,
                                    std::size_t after) {
    std::vector<std::uint8_t> null_unit(unit - kPacketSize, 0x00);
    const Packet null_packet = test::SourceNullPacket(0);
    null_unit.insert(null_unit.end(), null_packet.begin(), null_packet.end());
    std::vector<std::uint8_t> out = Repeat(null_unit, before);
    out.insert(out.end(), fixture.begin(), fixture.end());
    const std::vector<std::uint8_t> tail = Repeat(null_unit, after);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// The source's packets from the first that is not a null packet to the
// end, each null packet replaced by the image of NullPacket.
std::vector<std::uint8_t> ExpectedOriginal(const std::vector<std::uint8_t>& source, std::size_t unit) {
    std::vector<std::uint8_t> out;
    bool started = false;
    for (std::size_t at = unit - kPacketSize; at + kPacketSize <= source.size(); at += unit) {
        const bool null = FoldPid(source.data() + at) == kNullPid;
        started = started || !null;
        if (!started) continue;
        const std::uint8_t* p = null ? NullPacket().data() : source.data() + at;
        out.insert(out.end(), p, p + kPacketSize);
    }
    return out;
}

class CardWriteCli : public ::testing::Test {
protected:
    // Of any size: --yes formats one that is not a whole number of MiB.
    void FormatCard(std::uint64_t bytes) {
        test::MakeImage(card_, bytes, 0x00);
        const auto r = RunCli({"card", "format", card_.string(), "--yes"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    std::vector<std::uint8_t> CardBytes() const { return test::ReadFileBytes(card_); }

    test::TempDir dir_;
    std::filesystem::path card_ = dir_ / "card.img";
};

TEST_F(CardWriteCli, FixturesRoundTripThroughTheCard) {
    struct Case {
        const char* fixture;
        std::size_t unit;
    };
    for (const Case& c : {Case{"single_muxrate.ts", 188}, Case{"units192.m2ts", 192}}) {
        SCOPED_TRACE(c.fixture);
        if (!test::HasFixture(c.fixture)) GTEST_SKIP() << "fixture missing";
        const std::vector<std::uint8_t> source = WithNulls(test::ReadFileBytes(test::Fixture(c.fixture)), c.unit, 500, 300);
        const std::filesystem::path source_path = dir_ / (std::string("with nulls ") + c.fixture);
        test::WriteFileBytes(source_path, source);
        FormatCard(8 * kMiB);

        auto r = RunCli({"card", "write", card_.string(), source_path.string(), "--bitrate", "38000", "--verify"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const std::vector<std::uint8_t> original = ExpectedOriginal(source, c.unit);
        const test::StoredForm stored = test::StoredFormOf(test::SplitPackets(original));
        const StreamExtent extent = ExtentOfPackets(stored.Packets.size());
        EXPECT_TRUE(Contains(r.out, "Wrote with nulls " + std::string(c.fixture) + " to " + card_.string() + ": " +
                                        std::to_string(stored.Packets.size()) + " packets in " +
                                        std::to_string(extent.Blocks) + " blocks; entry 0: start sector 61, length " +
                                        std::to_string(extent.Length) + ", last slot " +
                                        std::to_string(extent.LastSlot) + "; bit rate 38000 kbit/s"))
            << r.out;
        EXPECT_TRUE(Contains(r.out, "Verified: " + std::to_string(extent.Blocks) + " blocks read back as written"))
            << r.out;
        EXPECT_GE(stored.Trailers.back(), 300);  // the trailing nulls (ffmpeg pads m2ts files with some)

        // What the card plays: the stored packets and the null packets
        // folded into their trailers, at the header's bit rate.
        r = RunCli({"card", "info", card_.string()});
        EXPECT_TRUE(test::HasField(r.out, "Bit rate", "38000 kbit/s")) << r.out;
        EXPECT_TRUE(test::HasField(r.out, "Streams", "1")) << r.out;
        EXPECT_TRUE(Contains(r.out, "  0  \"with nulls " + std::string(c.fixture) + "\"")) << r.out;
        r = RunCli({"card", "info", card_.string(), "--json"});
        const nlohmann::json info = nlohmann::json::parse(r.out);
        EXPECT_EQ(info["bitrate_kbps"], 38000);
        EXPECT_EQ(info["streams"][0]["stored_packets"], stored.Packets.size());
        EXPECT_EQ(info["streams"][0]["played_bytes"], original.size());
        EXPECT_DOUBLE_EQ(info["streams"][0]["seconds"].get<double>(), double(original.size()) * 8 / 38e6);

        const std::filesystem::path original_path = dir_ / "original.ts";
        r = RunCli({"card", "read", card_.string(), "0", original_path.string(), "--original"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(test::ReadFileBytes(original_path) == original);

        const std::filesystem::path compressed_path = dir_ / "compressed.bin";
        r = RunCli({"card", "read", card_.string(), "0", compressed_path.string()});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(Contains(r.out, "as Compressed: " + std::to_string(extent.Blocks) + " blocks, " +
                                        std::to_string(extent.Blocks * kUnitSize) + " bytes"))
            << r.out;
        const std::vector<std::uint8_t> card = CardBytes();
        EXPECT_TRUE(test::ReadFileBytes(compressed_path) ==
                    std::vector<std::uint8_t>(card.begin() + kHeaderRegionBytes,
                                              card.begin() + static_cast<std::ptrdiff_t>(UnitOffset(extent.Blocks))));
    }
}

TEST_F(CardWriteCli, AClosedStandardStreamNeverBecomesTheCardOrTheSource) {
    const std::string source = (dir_ / "s.ts").string();
    test::WriteFileBytes(source, test::SourceStream{}.Stored(500).Bytes);
    const std::vector<std::uint8_t> source_bytes = test::ReadFileBytes(source);
    FormatCard(4 * kMiB);
    ASSERT_EQ(RunCli({"card", "write", card_.string(), source, "--bitrate", "5000"}).exit_code, 0);
    const std::vector<std::uint8_t> written = CardBytes();
    for (int closed : {0, 1, 2}) {
        SCOPED_TRACE("fd " + std::to_string(closed) + " closed");
        FormatCard(4 * kMiB);
        test::RunOptions options;
        options.ClosedFd = closed;
        // A warning and the summary, on stderr and stdout, that must go nowhere.
        const auto r = RunCli({"card", "write", card_.string(), source, "--bitrate", "5000", "--verify"}, options);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(CardBytes() == written) << "the card holds what a write with every stream open leaves";
        EXPECT_TRUE(test::ReadFileBytes(source) == source_bytes);
    }
}

// The descriptor the program holds its card open with for writing, or -1.
int WritingFd(pid_t pid, const std::string& card) {
    for (const int fd : test::OpenFds(pid, card)) {
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + std::to_string(fd));
        std::string label;
        unsigned flags = 0;
        while (info >> label)
            if (label == "flags:" && (info >> std::oct >> flags)) break;
        if ((flags & O_ACCMODE) == O_RDWR) return fd;
    }
    return -1;
}

TEST_F(CardWriteCli, AnImageDeletedOrCutShortDuringTheWriteEndsItAsAPulledCard) {
    const std::string source = (dir_ / "s.ts").string();
    test::WriteFileBytes(source, test::SourceStream{}.Stored(43 * 2000).Bytes);
    for (const bool remove : {true, false}) {
        SCOPED_TRACE(remove ? "deleted" : "cut short");
        FormatCard(32 * kMiB);
        char err_name[] = "/tmp/tscard-err-XXXXXX";
        const int err_fd = ::mkstemp(err_name);
        ASSERT_GE(err_fd, 0);
        ::unlink(err_name);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(err_fd, 2);
            ::execl(TSCARD_CLI_PATH, TSCARD_CLI_PATH, "card", "write", card_.c_str(), source.c_str(), "--bitrate",
                    "5000", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Held still once it has the card open for writing, while the image
        // goes; then it goes on.
        const auto deadline = std::chrono::steady_clock::now() + test::kProgramLimit;
        while (WritingFd(pid, card_.string()) < 0 && std::chrono::steady_clock::now() < deadline) {
        }
        ::kill(pid, SIGSTOP);
        if (remove)
            std::filesystem::remove(card_);
        else
            std::filesystem::resize_file(card_, 0);
        ::kill(pid, SIGCONT);
        int status = 0;
        ASSERT_TRUE(test::WaitForExit(pid, test::kProgramLimit, status));
        std::string err(4096, '\0');
        err.resize(static_cast<std::size_t>(std::max<ssize_t>(::pread(err_fd, err.data(), err.size(), 0), 0)));
        ::close(err_fd);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err;
        EXPECT_TRUE(Contains(err, card_.string() + ": the card was removed during the write (" + card_.string() +
                                      (remove ? ": card image was deleted" : ": card image shrank") +
                                      "); the write was stopped: "))
            << err;
    }
}

TEST_F(CardWriteCli, TheMeasuredBitRateGoesIntoTheHeader) {
    if (!test::HasFixture("long_4m.ts")) GTEST_SKIP() << "fixture missing";
    const std::string source = test::Fixture("long_4m.ts").string();
    auto r = RunCli({"bitrate", source, "--stream", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string rate = std::to_string(nlohmann::json::parse(r.out)["card_rate_kbps"].get<std::uint64_t>());
    FormatCard(32 * kMiB);
    r = RunCli({"card", "write", card_.string(), source});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Bit rate: " + rate + " kbit/s (measured)")) << r.err;
    r = RunCli({"card", "info", card_.string()});
    EXPECT_TRUE(test::HasField(r.out, "Bit rate", rate + " kbit/s")) << r.out;
}

TEST_F(CardWriteCli, AStreamLargerThanTheCardNeedsForceAndKeepsWhatFits) {
    // 2.4 MB of packets; the card's data area holds 40 blocks (0.3 MB).
    const std::vector<std::uint8_t> source = test::SourceStream{}.Stored(43 * 300).Bytes;
    test::WriteFileBytes(dir_ / "big.ts", source);
    FormatCard(kHeaderRegionBytes + 40 * kUnitSize + 1024);
    const std::vector<std::uint8_t> before = CardBytes();

    auto r = RunCli({"card", "write", card_.string(), (dir_ / "big.ts").string(), "--bitrate", "5000"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "--force writes as much as fits; nothing was written")) << r.err;
    EXPECT_EQ(CardBytes(), before);

    r = RunCli({"card", "write", card_.string(), (dir_ / "big.ts").string(), "--bitrate", "5000", "--force", "--verify"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, card_.string() + ": the card is full: 1720 packets in 40 blocks reached the card and "
                                                 "are recorded as entry 0: start sector 61, length 39, last slot 0"))
        << r.err;
    EXPECT_TRUE(Contains(r.out, "Verified: 40 blocks read back as written")) << r.out;
    r = RunCli({"card", "read", card_.string(), "0", (dir_ / "back.ts").string(), "--original"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(test::ReadFileBytes(dir_ / "back.ts") ==
                std::vector<std::uint8_t>(source.begin(), source.begin() + 40 * 43 * kPacketSize));
}

TEST_F(CardWriteCli, RefusalsLeaveTheCardAsItWas) {
    FormatCard(4 * kMiB);
    const std::vector<std::uint8_t> before = CardBytes();
    const std::string good = (dir_ / "good.ts").string();
    test::WriteFileBytes(good, test::SourceStream{}.Stored(500).Bytes);
    const std::string garbage = (dir_ / "garbage.ts").string();
    test::WriteFileBytes(garbage, std::vector<std::uint8_t>(100000, 0x11));
    const std::string unformatted = (dir_ / "fat.img").string();
    test::MakeImage(unformatted, 4 * kMiB, 0x00);
    const std::string missing = (dir_ / "missing.ts").string();
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        std::string message;
    };
    const Case cases[] = {
        {{good, "--bitrate", "12x"}, 2, "--bitrate 12x: not a bit rate in kbit/s"},
        {{good, "--bitrate", "0"}, 2, "--bitrate 0: not a bit rate in kbit/s (a whole number of kbit/s from 1 to 213000"},
        {{good, "--bitrate", "213001"}, 2, "(a whole number of kbit/s from 1 to 213000, what a DVB-ASI link carries)"},
        {{good, "--bitrate", "4294967296"}, 2, "from 1 to 213000"},
        {{missing}, 1, missing + ": File in use from other application (No such file or directory)"},
        {{garbage}, 1, garbage + ": Unknow stream format"},
        {{card_.string()}, 1, card_.string() + ": the source is the card itself"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"card", "write", card_.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = RunCli(args);
        EXPECT_EQ(r.exit_code, c.exit_code) << c.message;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_EQ(CardBytes(), before) << c.message;
    }
    const auto r = RunCli({"card", "write", unformatted, good});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, unformatted + ": Mast be formated")) << r.err;
    EXPECT_EQ(test::ReadFileBytes(unformatted), std::vector<std::uint8_t>(4 * kMiB, 0x00));
}

TEST_F(CardWriteCli, ASourceOfNullPacketsOnlyIsRefusedAndTheCardKeepsItsStream) {
    FormatCard(4 * kMiB);
    test::WriteFileBytes(dir_ / "s.ts", test::SourceStream{}.Stored(500).Bytes);
    ASSERT_EQ(RunCli({"card", "write", card_.string(), (dir_ / "s.ts").string(), "--bitrate", "5000"}).exit_code, 0);
    const std::vector<std::uint8_t> before = CardBytes();
    test::WriteFileBytes(dir_ / "nulls.ts", test::SourceStream{}.Nulls(2000).Bytes);
    for (const char* force : {"--verify", "--force"}) {
        const auto r = RunCli({"card", "write", card_.string(), (dir_ / "nulls.ts").string(), force});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(Contains(r.err, "nulls.ts: the stream holds no packet to store (only null packets); nothing was "
                                    "written"))
            << r.err;
        EXPECT_EQ(CardBytes(), before);
    }
}

TEST_F(CardWriteCli, TheRoomAStreamTakesIsWhatItStoresNotItsFileSize) {
    // 3000 packets among 150,000 null packets: 27.4 MB as a file, 70 blocks
    // (0.55 MB) on the card.
    test::SourceStream source;
    for (int i = 0; i < 3000; ++i) source.Stored(1).Nulls(50);
    const std::string path = (dir_ / "sparse.ts").string();
    test::WriteFileBytes(path, source.Bytes);
    struct Case {
        std::uint64_t units;  // of the card's data area
        int exit_code;
    };
    // 70 blocks fit in 70 units, not in 69.
    for (const Case c : {Case{70, 0}, Case{69, 1}}) {
        SCOPED_TRACE(c.units);
        FormatCard(kHeaderRegionBytes + c.units * kUnitSize + 1024);
        const auto r = RunCli({"card", "write", card_.string(), path, "--bitrate", "5000"});
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        if (c.exit_code != 0) {
            EXPECT_TRUE(Contains(r.err, "the stream takes 0.547 MB on the card (27.431 MB as a file, its null packets "
                                        "kept as counts), its data area holds 0.539 MB; --force writes as much as "
                                        "fits; nothing was written"))
                << r.err;
            continue;
        }
        const auto info = RunCli({"card", "info", card_.string(), "--json"});
        const nlohmann::json j = nlohmann::json::parse(info.out);
        EXPECT_EQ(j["streams"][0]["blocks"], 70);
        EXPECT_EQ(j["streams"][0]["played_packets"], 153000);
    }
}

TEST_F(CardWriteCli, ALongNullRunIsWrittenAsTheCardKeepsItAndTheOperatorIsWarned) {
    FormatCard(16 * kMiB);  // room for the file as it is, nulls and all
    test::WriteFileBytes(dir_ / "gap.ts", test::SourceStream{}.Stored(5).Nulls(70000).Stored(5).Bytes);
    auto r = RunCli({"card", "write", card_.string(), (dir_ / "gap.ts").string(), "--bitrate", "100"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "warning: 1 run(s) of null packets will not read back with the same count: the first, "
                                "after stored packet 4, has 70000 null packets and reads back as 4464"))
        << r.err;
    const std::vector<std::uint8_t> card = CardBytes();
    EXPECT_EQ(ReadTrailer(card.data() + UnitOffset(0), 4), 70000 - 65536);
}

TEST_F(CardWriteCli, ACorruptedEntryOnAFullyFormattedCardIsNotExpandedIntoNullPackets) {
    test::MakeImage(card_, 4 * kMiB, 0x00);
    ASSERT_EQ(RunCli({"card", "format", card_.string(), "--full"}).exit_code, 0);
    // An entry over erased blocks: each trailer would read as 65535 nulls.
    std::vector<std::uint8_t> card = CardBytes();
    std::vector<std::uint8_t> region(card.begin(), card.begin() + kHeaderRegionBytes);
    region[1] = 1;
    test::PutEntry(region, 0, 61, 400, 0, "lost.ts");
    std::copy(region.begin(), region.end(), card.begin());
    test::WriteFileBytes(card_, card);

    const auto out = dir_ / "out.ts";
    auto r = RunCli({"card", "read", card_.string(), "0", out.string(), "--original"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "block 0 of stream 0 (unit 0, sector 61) holds no stream data (slot 0 does not start "
                                "with 0x47: erased); the directory entry does not describe what the card holds; " +
                                    out.string() + " is left as it was"))
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    // An entry longer than the card is refused before a block is read.
    region[1] = 1;
    test::PutEntry(region, 0, 61, 100000, 0, "long.ts");
    std::copy(region.begin(), region.end(), card.begin());
    test::WriteFileBytes(card_, card);
    r = RunCli({"card", "read", card_.string(), "0", out.string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "the directory entry of stream 0 does not fit the card: its 100001 blocks from block 0 "
                                "run past the card's data area of 508 blocks"))
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CardWriteCli, ReadingNeverDamagesAnExistingOutputForNothing) {
    FormatCard(4 * kMiB);
    test::WriteFileBytes(dir_ / "s.ts", test::SourceStream{}.Stored(100).Bytes);
    ASSERT_EQ(RunCli({"card", "write", card_.string(), (dir_ / "s.ts").string(), "--bitrate", "1"}).exit_code, 0);

    // No such stream: an existing output keeps its content, a new one goes.
    const std::filesystem::path existing = dir_ / "existing.ts";
    test::WriteFileBytes(existing, {1, 2, 3});
    auto r = RunCli({"card", "read", card_.string(), "1", existing.string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, card_.string() + ": there is no stream 1 (the card holds 1 stream)")) << r.err;
    EXPECT_EQ(test::ReadFileBytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
    r = RunCli({"card", "read", card_.string(), "1", (dir_ / "new.ts").string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "new.ts"));

    // An output that cannot be created is reported before the card is
    // looked at (this card does not even exist).
    const std::string nowhere = (dir_ / "no such folder" / "out.ts").string();
    r = RunCli({"card", "read", (dir_ / "no card.img").string(), "0", nowhere});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, nowhere + ": cannot create the output file: No such file or directory")) << r.err;

    r = RunCli({"card", "read", card_.string(), "0", card_.string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(Contains(r.err, "the output is the card itself")) << r.err;
    r = RunCli({"card", "read", card_.string(), "0", existing.string(), "--original", "--compressed"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(test::ReadFileBytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace tscard
