// Bit rate from PCRs: the program measurement (three intervals) and the
// stream measurement (an interval of 10 s or more), on hand-built streams.

#include <gtest/gtest.h>

#include "analysis/bitrate.h"
#include "analysis_streams.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

using test::StreamBuilder;

constexpr std::uint64_t k40ms = 1080000;  // ticks
constexpr std::uint64_t kSecond = 27000000;

// PCR intervals of the given packet counts (both PCR packets included).
StreamBuilder Intervals(std::uint64_t start, std::uint64_t delta, const std::vector<std::size_t>& counts) {
    StreamBuilder b;
    std::uint64_t pcr = start;
    b.Pcr(pcr);
    for (std::size_t n : counts) {
        b.Filler(n - 2, test::kVideoPid);
        pcr += delta;
        b.Pcr(pcr);
    }
    return b;
}

class Bitrate : public ::testing::Test {
protected:
    // Ten packets at the start (for the sync search), a hole, and `measured`
    // from `skip` units on: the measurement reads only that part.
    std::string Write(const StreamBuilder& measured, bool units192, std::uint64_t skip) {
        const auto path = dir_ / "stream.ts";
        std::filesystem::remove(path);
        const StreamBuilder head = StreamBuilder().Filler(10);
        test::WriteFileBytes(path, units192 ? head.Bytes192() : head.Bytes188());
        test::WriteAt(path, skip * (units192 ? 192 : 188), units192 ? measured.Bytes192() : measured.Bytes188());
        return path.string();
    }
    BitrateMeasurement Program(const StreamBuilder& measured, bool units192 = false) {
        analysis_ = StreamAnalysis{};
        return MeasureProgramBitrate(analysis_, Write(measured, units192, kProgramSkipPackets), stop_);
    }
    BitrateMeasurement Stream(const StreamBuilder& measured, bool units192 = false) {
        analysis_ = StreamAnalysis{};
        analysis_.CardSizeRatio = 0.5;
        return MeasureStreamBitrate(
            analysis_, Write(measured, units192, units192 ? kStreamSkipUnits192 : kStreamSkipPackets188), stop_);
    }

    test::TempDir dir_;
    StopFlag stop_;
    StreamAnalysis analysis_;
};

TEST_F(Bitrate, ProgramRateCodesAndTexts) {
    struct Case {
        const char* what;
        StreamBuilder stream;
        int code;
        double rate;
        const char* text188;
        const char* text204;
    } cases[] = {
        // 4 Mbit/s with a PCR every 40 ms: 107 packets per interval.
        {"4 Mbit/s", Intervals(1000, k40ms, {107, 107, 107}), kProgramRateInRange, 4.0232, "4.02320", "4.36560"},
        {"largest of three", Intervals(1000, k40ms, {107, 150, 100}), kProgramRateInRange, 5.64, "5.64000",
         "6.12000"},
        {"exactly 14.5", Intervals(1000, 324864, {116, 116, 116}), kProgramRateInRange, 14.5, "14.50000",
         "15.73404"},
        {"14.6", Intervals(1000, 322638, {116, 116, 116}), kProgramRateHigh, 4710528.0 / 322638, "", ""},
        {"1 Mbit/s", Intervals(1000, 4 * k40ms, {107, 107, 107}), kProgramRateLow, 4.0232 / 4, "", ""},
    };
    for (Case& c : cases) {
        const BitrateMeasurement m = Program(c.stream);
        EXPECT_EQ(m.Code, c.code) << c.what;
        EXPECT_TRUE(m.Measured) << c.what;
        EXPECT_DOUBLE_EQ(m.MeasuredBitrate, c.rate) << c.what;
        EXPECT_DOUBLE_EQ(analysis_.MeasuredBitrate, c.rate) << c.what;
        EXPECT_EQ(m.Rate188Text, c.text188) << c.what;
        EXPECT_EQ(m.Rate204Text, c.text204) << c.what;
    }
}

TEST_F(Bitrate, ProgramMeasurementKeepsToThePcrPidAndItsOwnIntervals) {
    const double four = 4.0232;
    // PCRs of another PID in between are passed over without counting.
    StreamBuilder two_pids;
    for (const Packet& p : Intervals(1000, k40ms, {107, 107, 107}).packets) {
        two_pids.Add(p);
        if (p[1] == (test::kVideoPid >> 8) && p[2] == (test::kVideoPid & 0xFF) && HasPcr(p.data()))
            two_pids.Pcr(500000000, 0x555);
    }
    EXPECT_DOUBLE_EQ(Program(two_pids).MeasuredBitrate, four);

    // A PCR that goes backwards opens a new interval instead of closing a
    // huge one: the three intervals are 4.02, 4.02 and 5.64.
    StreamBuilder backwards = Intervals(900000000, k40ms, {107});
    backwards.Filler(50, test::kVideoPid);
    for (const Packet& p : Intervals(1000, k40ms, {107, 150}).packets) backwards.Add(p);
    EXPECT_DOUBLE_EQ(Program(backwards).MeasuredBitrate, 5.64);

    // The same PCR twice: no interval of zero ticks.
    StreamBuilder repeated = Intervals(1000, k40ms, {107});
    repeated.Pcr(1000 + k40ms);
    for (const Packet& p : Intervals(1000 + k40ms, k40ms, {107, 107}).packets) repeated.Add(p);
    const BitrateMeasurement m = Program(repeated);
    EXPECT_EQ(m.Code, kProgramRateInRange);
    EXPECT_DOUBLE_EQ(m.MeasuredBitrate, four);

    // 192-byte units: read from the first unit + 87,000 units.
    EXPECT_DOUBLE_EQ(Program(Intervals(1000, k40ms, {107, 107, 107}), true).MeasuredBitrate, four);
}

TEST_F(Bitrate, TooLittleDataIsNotMeasured) {
    // Two intervals and the end of the file right after a PCR: the last
    // packet must not be taken twice (a zero interval).
    analysis_.MeasuredBitrate = 9.0;
    const std::string two = Write(Intervals(1000, k40ms, {107, 107}), false, kProgramSkipPackets);
    BitrateMeasurement m = MeasureProgramBitrate(analysis_, two, stop_);
    EXPECT_EQ(m.Code, kProgramRateInRange);
    EXPECT_FALSE(m.Measured);
    EXPECT_DOUBLE_EQ(analysis_.MeasuredBitrate, 9.0) << "left as it was";
    EXPECT_TRUE(m.Rate188Text.empty());

    // The closing PCR of the third interval cut short: a partial packet is
    // never processed.
    const std::string cut = Write(Intervals(1000, k40ms, {107, 107, 107}), false, kProgramSkipPackets);
    test::ResizeFile(cut, std::filesystem::file_size(cut) - 100);
    EXPECT_FALSE(MeasureProgramBitrate(analysis_, cut, stop_).Measured);

    // Shorter than the skipped part.
    test::WriteFileBytes(dir_ / "short.ts", StreamBuilder().Filler(1000).Bytes188());
    m = MeasureProgramBitrate(analysis_, (dir_ / "short.ts").string(), stop_);
    EXPECT_EQ(m.Code, kProgramRateInRange);
    EXPECT_FALSE(m.Measured);
    m = MeasureStreamBitrate(analysis_, (dir_ / "short.ts").string(), stop_);
    EXPECT_EQ(m.Code, kStreamRateDone);
    EXPECT_FALSE(m.Measured);
}

// What a measurement that found nothing saw, for saying why.
TEST_F(Bitrate, WhatAMeasurementSawWhenItMeasuredNothing) {
    // Two intervals of 40 ms, then the end: 0.08 s of PCRs.
    BitrateMeasurement m = Program(Intervals(1000, k40ms, {107, 107}));
    EXPECT_FALSE(m.Measured);
    EXPECT_EQ(m.StartByte, kProgramSkipPackets * kPacketSize);
    EXPECT_EQ(m.UnitsRead, 3u + 2 * 105);
    EXPECT_TRUE(m.PcrFound);
    EXPECT_EQ(m.Intervals, 2);
    EXPECT_DOUBLE_EQ(m.PcrSeconds, 0.08);

    // 4 s of PCRs, a PCR that goes back, 3 s more: 7 s of stream, and never
    // an interval of 10 s.
    StreamBuilder back;
    back.Pcr(1000).Filler(100, test::kVideoPid).Pcr(1000 + 4 * kSecond).Filler(100, test::kVideoPid);
    back.Pcr(500).Filler(100, test::kVideoPid).Pcr(500 + 3 * kSecond);
    m = Stream(back);
    EXPECT_FALSE(m.Measured);
    EXPECT_EQ(m.StartByte, kStreamSkipPackets188 * kPacketSize);
    EXPECT_EQ(m.UnitsRead, back.packets.size());
    EXPECT_TRUE(m.PcrFound);
    EXPECT_EQ(m.Intervals, 0);
    EXPECT_DOUBLE_EQ(m.PcrSeconds, 7.0);

    // No PCR at all; nothing after the start.
    m = Stream(StreamBuilder().Filler(50, test::kVideoPid));
    EXPECT_FALSE(m.PcrFound);
    EXPECT_EQ(m.UnitsRead, 50u);
    test::WriteFileBytes(dir_ / "short.ts", StreamBuilder().Filler(100).Bytes188());
    m = MeasureStreamBitrate(analysis_, (dir_ / "short.ts").string(), stop_);
    EXPECT_EQ(m.UnitsRead, 0u);
    EXPECT_FALSE(m.PcrFound);
}

TEST_F(Bitrate, StreamMeasurementTakesTheFirstIntervalOfTenSecondsInRange) {
    // 2 Mbit/s with PCRs 12 s apart: 15,957 packets between them.
    StreamBuilder b;
    b.Pcr(1000).Filler(15957, test::kVideoPid).Pcr(1000 + 12 * kSecond).Filler(10).Pcr(1000 + 30 * kSecond);
    for (const bool units192 : {false, true}) {
        const BitrateMeasurement m = Stream(b, units192);
        EXPECT_EQ(m.Code, kStreamRateDone);
        EXPECT_TRUE(m.Measured);
        EXPECT_DOUBLE_EQ(m.MeasuredBitrate, 2.0);
        EXPECT_EQ(m.CardRateText, "2000");
        EXPECT_EQ(m.Rate188Text, "1.99994");
        EXPECT_EQ(m.Rate204Text, "2.17015");
        EXPECT_DOUBLE_EQ(analysis_.CardSizeRatio, 1.0);
    }
    // PCRs under 10 s apart keep the interval open.
    StreamBuilder short_gaps;
    short_gaps.Pcr(1000).Filler(9000, test::kVideoPid).Pcr(1000 + 6 * kSecond).Filler(6956, test::kVideoPid)
        .Pcr(1000 + 12 * kSecond);
    EXPECT_EQ(Stream(short_gaps).CardRateText, "2000");
}

TEST_F(Bitrate, StreamAboveOneHundredMegabitsIsMeasuredToTheEnd) {
    // Zero bytes read as payload packets, so the intervals can be holes.
    const auto path = dir_ / "fast.ts";
    const std::uint64_t first_pcr = kStreamSkipPackets188;
    const std::uint64_t gap = 700000;  // packets: 105.28 Mbit/s over 10 s
    test::WriteFileBytes(path, StreamBuilder().Filler(10).Bytes188());
    test::WriteAt(path, first_pcr * 188, StreamBuilder().Pcr(0).Bytes188());
    test::WriteAt(path, (first_pcr + 1 + gap) * 188, StreamBuilder().Pcr(10 * kSecond).Bytes188());
    test::WriteAt(path, (first_pcr + 2 + 2 * gap) * 188, StreamBuilder().Pcr(20 * kSecond).Bytes188());
    analysis_.CardSizeRatio = 0.5;
    const BitrateMeasurement m = MeasureStreamBitrate(analysis_, path.string(), stop_);
    EXPECT_EQ(m.Code, kStreamRateDone);
    EXPECT_TRUE(m.Measured);
    EXPECT_DOUBLE_EQ(m.MeasuredBitrate, 105.28);
    EXPECT_EQ(m.CardRateText, "105280");
    EXPECT_TRUE(m.Rate188Text.empty());
    EXPECT_DOUBLE_EQ(analysis_.CardSizeRatio, 0.5) << "no interval in range";
}

TEST_F(Bitrate, StopAndOpenFailure) {
    const std::string path = Write(Intervals(1000, k40ms, {107, 107, 107}), false, kProgramSkipPackets);
    stop_.Request();
    BitrateMeasurement m = MeasureProgramBitrate(analysis_, path, stop_);
    EXPECT_TRUE(m.Stopped);
    EXPECT_EQ(m.Code, kProgramRateLow);
    EXPECT_FALSE(stop_.IsSet());
    stop_.Request();
    m = MeasureStreamBitrate(analysis_, path, stop_);
    EXPECT_TRUE(m.Stopped);
    EXPECT_EQ(m.Code, kStreamRateFailed);
    EXPECT_FALSE(stop_.IsSet());

    const std::string missing = (dir_ / "missing.ts").string();
    m = MeasureProgramBitrate(analysis_, missing, stop_);
    EXPECT_EQ(m.Code, kProgramRateNoFile);
    EXPECT_EQ(m.Message, missing + ": " + kFileInUse + " (No such file or directory)");
    EXPECT_EQ(MeasureStreamBitrate(analysis_, missing, stop_).Code, kStreamRateFailed);
}

TEST(BitrateFixture, LongStreamIsMeasuredNearItsMuxRate) {
    if (!test::HasFixture("long_4m.ts")) GTEST_SKIP();
    StreamAnalysis analysis;
    StopFlag stop;
    const std::string path = test::Fixture("long_4m.ts").string();
    const BitrateMeasurement program = MeasureProgramBitrate(analysis, path, stop);
    EXPECT_EQ(program.Code, kProgramRateInRange);
    ASSERT_TRUE(program.Measured);
    EXPECT_NEAR(program.MeasuredBitrate, 4.0, 0.2);
    const BitrateMeasurement stream = MeasureStreamBitrate(analysis, path, stop);
    ASSERT_TRUE(stream.Measured);
    EXPECT_EQ(stream.CardRateText, "4000");
}

}  // namespace
}  // namespace tscard
