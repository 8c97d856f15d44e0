// The prepare worker on hand-built streams: where a run starts and ends,
// the nulls of each PCR interval, restamped PCRs, the PCR step limit,
// splice separators, progress, stop, and what a failed run leaves.

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/staged_output.h"
#include "prepare_streams.h"
#include "psi/psi_builder.h"
#include "support/quiet_log.h"

namespace tscard {
namespace {

using test::k40ms;
using test::Mux;
using test::RecordingSink;
using test::PesFields;

class PrepareWorkerTest : public test::QuietLogTest {
protected:

    test::Prepared Prepare(const Mux& mux, PrepareJob job = {}) {
        if (job.SourcePath.empty()) job = test::HandJob(dir / "s", dir / "o");
        return test::PrepareStream(dir, mux.Bytes(), job);
    }

    test::TempDir dir;
};

std::uint64_t PcrOf(const Packet& p) {
    PcrValue pcr;
    EXPECT_TRUE(ReadPcr(p.data(), pcr));
    return pcr.Ticks();
}

TEST_F(PrepareWorkerTest, StartsAtTheFirstPcrAfterAUnitStartAndDropsTheTailAfterTheLastPcr) {
    const std::uint64_t p0 = 10 * k40ms;
    Mux m;
    m.Video(2).Pcr(5 * k40ms);  // before any payload_unit_start_indicator
    m.Pat().Audio(1);           // before the first PCR
    m.Pcr(p0).Pmt().Video(3).Pcr(p0 + k40ms).Video(2).Pcr(p0 + 2 * k40ms).Video(4);
    const auto r = Prepare(m);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << r.result.Message;
    EXPECT_EQ(r.completions, 1);

    // [PCR, PMT, 3 video] over 661.76 slots: 656 nulls; then [PCR, 2 video]: 658.
    ASSERT_EQ(r.out.size(), 661u + 3 + 658);
    EXPECT_EQ(PcrOf(r.out[0]), 0u) << "the output clock starts at the first PCR packet";
    EXPECT_EQ(PcrOf(r.out[661]), SlotPcr(661));
    test::ExpectMultiplexRate(r.out);
    const auto kept = test::WithoutNulls(r.out);
    ASSERT_EQ(kept.size(), 8u);
    EXPECT_EQ(FoldPid(kept[1].data()), test::kProgramPmt);
    EXPECT_EQ(r.result.InputPackets, m.packets.size());
    EXPECT_EQ(r.result.NullPackets, 656u + 658);
    EXPECT_EQ(r.result.Intervals, 2u);
    EXPECT_EQ(r.result.OutputBytes, r.bytes.size());
    EXPECT_FALSE(r.result.EndPass.Run) << "no group of pictures in this stream";
}

TEST_F(PrepareWorkerTest, NullPacketsOfTheSourceLeaveNoTrace) {
    Mux plain, padded;
    for (Mux* m : {&plain, &padded}) {
        m->Pat().Pmt();
        if (m == &padded) m->Nulls(3);
        m->Pcr(k40ms);
        if (m == &padded) m->Nulls(100);
        m->Video(5).Pcr(2 * k40ms);
        if (m == &padded) m->Nulls(1);
        m->Video(1).Pcr(3 * k40ms);
    }
    const auto a = Prepare(plain);
    const auto b = Prepare(padded);
    ASSERT_EQ(b.result.Ending, PrepareEnding::Completed);
    EXPECT_EQ(a.bytes, b.bytes);
}

TEST_F(PrepareWorkerTest, SpreadModeInterleavesTheNulls) {
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(499).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    const auto r = Prepare(m);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed);
    // 500 packets over 661.76 slots: 161 nulls, one after every third further packet.
    std::vector<bool> is_null;
    for (std::size_t i = 0; i < 10; ++i) is_null.push_back(FoldPid(r.out[i].data()) == kNullPid);
    EXPECT_EQ(is_null, (std::vector<bool>{false, false, true, false, false, false, true, false, false, false}));
    EXPECT_EQ(PcrOf(r.out[661]), SlotPcr(661));
    test::ExpectMultiplexRate(r.out);
}

TEST_F(PrepareWorkerTest, IntervalsThatCannotHoldNullsGetNone) {
    struct Case {
        const char* what;
        Mux mux;
        std::size_t first_interval_slots;
        std::size_t nulls;
    };
    Mux backwards;  // a PCR that goes back counts its interval as its packets' slots
    backwards.Pat().Pmt().Pcr(100 * k40ms).Video(3).Pcr(95 * k40ms).Video(2).Pcr(96 * k40ms);
    Mux too_full;  // 700 packets in a 40 ms step: more than its 661.76 slots
    too_full.Pat().Pmt().Pcr(k40ms).Video(699).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    Mux twice;  // two PCR packets in a row: every slot but the first is a null
    twice.Pat().Pmt().Pcr(k40ms).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    const Case cases[] = {
        {"PCR backwards", backwards, 4, 0},
        {"source above the multiplex rate", too_full, 700, 0},
        {"two PCRs in a row", twice, 661, 660},
    };
    for (const Case& c : cases) {
        const auto r = Prepare(c.mux);
        ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << c.what;
        const std::size_t at = c.first_interval_slots;
        ASSERT_GT(r.out.size(), at) << c.what;
        EXPECT_EQ(PcrOf(r.out[at]), SlotPcr(at)) << c.what << ": the next PCR is stamped from its position";
        std::size_t nulls_before = 0;
        for (std::size_t i = 0; i < at; ++i) nulls_before += FoldPid(r.out[i].data()) == kNullPid;
        EXPECT_EQ(nulls_before, c.nulls) << c.what;
        test::ExpectMultiplexRate(r.out);
    }
}

// An interval holding more packets than its 661.76 slots puts the output
// clock behind the source's by the excess; an interval that fits takes back
// only the part of a slot its nulls round down. The bytes are those of any run.
TEST_F(PrepareWorkerTest, ASourceTooFastForTheRateIsCountedWithItsLag) {
    Mux fits;
    fits.Pat().Pmt().Pcr(k40ms).Video(10).Pcr(2 * k40ms).Video(10).Pcr(3 * k40ms).Video(10).Pcr(4 * k40ms);
    const auto clean = Prepare(fits);
    ASSERT_EQ(clean.result.Ending, PrepareEnding::Completed) << clean.result.Message;
    EXPECT_EQ(clean.result.OverfullIntervals, 0u);
    EXPECT_EQ(clean.result.LargestLagMs, 0.0);

    Mux fast;
    fast.Pat().Pmt().Pcr(k40ms).Video(10).Pcr(2 * k40ms).Video(10).Pcr(3 * k40ms);
    fast.Video(999).Pcr(4 * k40ms).Video(10).Pcr(5 * k40ms).Video(1999).Pcr(6 * k40ms);
    const auto r = Prepare(fast);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << r.result.Message;
    EXPECT_EQ(r.result.OverfullIntervals, 2u);
    EXPECT_DOUBLE_EQ(r.result.FirstOverfullSeconds, 0.080);
    const double slot_ms = TicksPerPacket / 27000.0;
    const double slots = double(k40ms) / TicksPerPacket;  // 661.76
    const double lag = (1000 - slots) - (slots - 661) + (2000 - slots);
    EXPECT_NEAR(r.result.LargestLagMs, lag * slot_ms, slot_ms);
    EXPECT_GT(r.result.LargestLagMs, kLagWarningMs);
    test::ExpectMultiplexRate(r.out);
}

TEST_F(PrepareWorkerTest, APcrStepOfThreeQuartersOfASecondIsTheLimit) {
    struct Case {
        std::uint64_t step;
        PrepareEnding ending;
        std::size_t packets;
    };
    const Case cases[] = {
        {20250000, PrepareEnding::Completed, 661 + 12408 + 661},
        {20250001, PrepareEnding::PcrStepError, 661},
    };
    for (const Case& c : cases) {
        const std::uint64_t p0 = 10 * k40ms;
        Mux m;
        m.Pat().Pmt().Pcr(p0).Video(3).Pcr(p0 + k40ms).Video(2);
        m.Pcr(p0 + k40ms + c.step).Video(1).Pcr(p0 + 2 * k40ms + c.step).Video(1);
        const auto r = Prepare(m);
        EXPECT_EQ(r.result.Ending, c.ending) << c.step;
        EXPECT_TRUE(r.result.OutputKept) << c.step;
        EXPECT_EQ(r.out.size(), c.packets) << c.step << ": the interval in hand is not written";
        EXPECT_EQ(r.completions, 1);
        if (c.ending == PrepareEnding::PcrStepError) {
            EXPECT_EQ(r.result.Message, "Invalid value PCR; delta PCR(sek)->    0.750");
            EXPECT_GT(r.result.PcrStepSeconds, 0.75);
        }
    }
}

// After a separator the previous clip's tail is dropped, so is the PCR
// packet that follows at once; every timestamp, before and after the
// separator, moves onto the output clock of its interval.
TEST_F(PrepareWorkerTest, SpliceSeparatorJoinsTheClipsOnTheOutputClock) {
    const std::uint64_t a0 = 100 * k40ms, b0 = 50 * k40ms;
    PesFields a1;
    a1.pts_dts_flags = 3;
    a1.pts = 9003600;
    a1.dts = 9000000;
    PesFields a2;
    a2.pts = 9007200;
    PesFields b1;
    b1.pts_dts_flags = 3;
    b1.pts = 4503600;
    b1.dts = 4500000;
    PesFields b2;
    b2.stream_id = 0xC0;
    b2.pid = test::kProgramAudio;
    b2.pts = 4504000;
    Mux m;
    m.Pat().Pmt().Pcr(a0).Pes(a1).Video(1).Pcr(a0 + k40ms).Pes(a2).Video(1);
    m.Separator().Pcr(b0).Pes(b1).Pcr(b0 + k40ms).Pes(b2).Pcr(b0 + 2 * k40ms).Video(1).Pcr(b0 + 3 * k40ms);
    const auto r = Prepare(m);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << r.result.Message;
    EXPECT_EQ(r.result.Separators, 1u);
    test::ExpectMultiplexRate(r.out);

    const auto kept = test::WithoutNulls(r.out);
    ASSERT_EQ(kept.size(), 8u);
    PesTimestamps ts;
    ASSERT_TRUE(ReadPesTimestamps(kept[1].data(), ts));
    const std::uint64_t out_a = SlotPcr(661);
    EXPECT_EQ(ts.VideoPts / 300, SplicedTimestamp(a1.pts * 300, a0 + k40ms, out_a)) << "the first clip too";
    EXPECT_EQ(ts.VideoDts / 300, SplicedTimestamp(a1.dts * 300, a0 + k40ms, out_a));
    // [PES b1] alone, its PCR behind the previous clip's: 1 slot, no null.
    const std::uint64_t out1 = SlotPcr(662);
    EXPECT_EQ(PcrOf(kept[4]), out1);
    ASSERT_TRUE(ReadPesTimestamps(kept[3].data(), ts));
    EXPECT_EQ(ts.VideoPts / 300, SplicedTimestamp(b1.pts * 300, b0 + k40ms, out1));
    EXPECT_EQ(ts.VideoDts / 300, SplicedTimestamp(b1.dts * 300, b0 + k40ms, out1));
    EXPECT_EQ(ts.PtsOnly, 0);
    // [PCR, PES b2] over 40 ms: 659 nulls.
    const std::uint64_t out2 = SlotPcr(662 + 2 + 659);
    EXPECT_EQ(PcrOf(kept[6]), out2);
    ASSERT_TRUE(ReadPesTimestamps(kept[5].data(), ts));
    EXPECT_EQ(ts.AudioPts / 300, SplicedTimestamp(b2.pts * 300, b0 + 2 * k40ms, out2));
    // The presentation lead over the PCR is the source's, to the 90 kHz tick.
    const std::int64_t lead = std::int64_t(ts.AudioPts) - std::int64_t(out2);
    const std::int64_t source_lead = std::int64_t(b2.pts * 300) - std::int64_t(b0 + 2 * k40ms);
    EXPECT_LE(source_lead - lead, 299);
    EXPECT_GE(source_lead - lead, 0);
}

TEST_F(PrepareWorkerTest, EveryPesWithTimestampsFollowsTheOutputClockPrivateStreamsToo) {
    // The same PTS on video, private stream 1 (E-AC-3, subtitles), MPEG
    // audio and another stream_id with the optional header; private
    // stream 2 has no such header and is left as it is. Before and after a
    // separator.
    const std::uint8_t ids[] = {0xE0, 0xBD, 0xC0, 0xFA, 0xBF};
    auto clip = [&](Mux& m, std::uint64_t pcr, std::uint64_t pts) {
        m.Pcr(pcr);
        for (std::uint8_t id : ids) {
            PesFields f;
            f.stream_id = id;
            f.pid = id == 0xE0 ? test::kProgramVideo : test::kProgramAudio;
            f.pts = pts;
            m.Pes(f);
        }
        m.Pcr(pcr + k40ms);
    };
    Mux m;
    m.Pat().Pmt();
    clip(m, 36000 * 300 * 3600ull, 36000 * 3600ull + 3600);  // ten hours in
    m.Separator();
    clip(m, 40 * k40ms, 3600 * 40 + 7200);
    const Packet private2_second = m.packets[m.packets.size() - 2];
    const auto r = Prepare(m);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed) << r.result.Message;
    // The first clip's PCR and PES; the second clip's PES (its first PCR
    // follows the separator at once and is dropped, its last is the tail).
    const auto kept = test::WithoutNulls(r.out);
    ASSERT_EQ(kept.size(), 1u + 5 + 5);
    for (const std::size_t first : {std::size_t(1), std::size_t(6)}) {
        PesTimestamps video;
        ASSERT_TRUE(ReadPesTimestamps(kept[first].data(), video));
        for (std::size_t i = 1; i < 4; ++i) {
            PesTimestamps ts;
            ASSERT_TRUE(ReadPesTimestamps(kept[first + i].data(), ts)) << int(ids[i]);
            EXPECT_EQ(ts.Pts(), video.VideoPts) << "stream_id " << int(ids[i]) << " moves with the video";
        }
        PesTimestamps none;
        EXPECT_FALSE(ReadPesTimestamps(kept[first + 4].data(), none));
    }
    EXPECT_EQ(kept[5], m.packets[7]) << "private stream 2 keeps its bytes";
    EXPECT_EQ(kept[10], private2_second);
}

TEST_F(PrepareWorkerTest, AClipStartingMoreThanThreeQuartersOfASecondLaterEndsTheRun) {
    const std::uint64_t a0 = 100 * k40ms;
    Mux m;
    m.Pat().Pmt().Pcr(a0).Video(1).Pcr(a0 + k40ms).Video(1);
    m.Separator().Pat().Pcr(a0 + k40ms + 20250001).Video(1).Pcr(a0 + 2 * k40ms + 20250001).Video(1);
    const auto r = Prepare(m);
    EXPECT_EQ(r.result.Ending, PrepareEnding::PcrStepError);
    EXPECT_EQ(r.out.size(), 661u);
}

TEST_F(PrepareWorkerTest, PtsDtsFlags01HeadersAreLeftAlone) {
    PesFields odd;
    odd.pts_dts_flags = 1;
    odd.es = {0x00, 0x00, 0x01, 0xB3, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(1).Separator().Video(1).Pes(PesFields{}).Pes(odd).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    const Packet source_odd = m.packets[7];
    ASSERT_EQ(source_odd[11], 0x40) << "PTS_DTS_flags 01";
    const auto r = Prepare(m);
    ASSERT_EQ(r.result.Ending, PrepareEnding::Completed);
    const auto kept = test::WithoutNulls(r.out);
    ASSERT_EQ(kept.size(), 5u);
    EXPECT_NE(kept[1], m.packets[6]) << "the header before it is restamped";
    EXPECT_EQ(kept[2], source_odd) << "the header without PTS field keeps its bytes";
}

TEST_F(PrepareWorkerTest, ProgressIsSignalledWhileTheAcceptedBytesStandOnAStep) {
    // 348 accepted packets, then three nulls and one more packet at the step.
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(345).Nulls(3).Video(10).Pcr(2 * k40ms);
    RecordingSink events;
    StopFlag stop;
    test::WriteFileBytes(dir / "s.ts", m.Bytes());
    PrepareJob job = test::HandJob(dir / "s.ts", dir / "o.ts");
    PrepareWorker worker;
    EXPECT_EQ(worker.Run(job, events, stop).Ending, PrepareEnding::Completed);
    EXPECT_EQ(events.Count(EventId::ChangeProgressPosG3), 1 + 3 + 1);
    EXPECT_EQ(worker.ProgressPosition(), 1u);
    EXPECT_EQ(events.Count(EventId::evRefreshGauge), 1);
}

class StopAfter final : public PrepareObserver {
public:
    StopAfter(StopFlag& stop, int intervals) : stop_(stop), left_(intervals) {}
    void OnPcrStep(double) override {
        if (--left_ == 0) stop_.Request();
    }

private:
    StopFlag& stop_;
    int left_;
};

TEST_F(PrepareWorkerTest, AStopKeepsWhatWasWrittenWithoutRepairingTheTail) {
    Mux m;
    m.Pat().Pmt();
    for (int i = 1; i <= 6; ++i) m.Pcr(i * k40ms).Video(2);
    StopFlag stop;
    StopAfter observer(stop, 2);
    const auto r = test::PrepareStream(dir, m.Bytes(), test::HandJob(dir / "s", dir / "o"), &observer, &stop);
    EXPECT_EQ(r.result.Ending, PrepareEnding::Stopped);
    EXPECT_TRUE(r.result.OutputKept);
    EXPECT_EQ(r.out.size(), 2 * 661u) << "two intervals were written";
    EXPECT_FALSE(stop.IsSet()) << "the run that saw the stop clears it";
    EXPECT_EQ(r.completions, 1);
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PrepareWorkerTest, ARefusedOrFailedRunLeavesTheOutputAsItWas) {
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(3).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    test::WriteFileBytes(dir / "source.ts", m.Bytes());
    test::WriteFileBytes(dir / "old.ts", {1, 2, 3});
    std::filesystem::create_hard_link(dir / "source.ts", dir / "link.ts");
    std::filesystem::create_directory(dir / "folder.ts");
    const std::string source = (dir / "source.ts").string();

    struct Case {
        const char* what;
        std::string output;
        void (*change)(PrepareJob&);
        PrepareEnding ending;
    };
    auto none = [](PrepareJob&) {};
    const Case cases[] = {
        {"output is the source", source, none, PrepareEnding::Refused},
        {"output is a hard link to the source", (dir / "link.ts").string(), none, PrepareEnding::Refused},
        {"output is a folder", (dir / "folder.ts").string(), none, PrepareEnding::Refused},
        {"output folder does not exist", (dir / "missing" / "o.ts").string(), none, PrepareEnding::Refused},
        {"names do not fit in the SDT", (dir / "old.ts").string(),
         [](PrepareJob& j) { j.Remap.TargetName = std::string(151, 'N'); }, PrepareEnding::Refused},
        {"audio targets do not pair with the source's", (dir / "old.ts").string(),
         [](PrepareJob& j) { j.Remap.TargetAudioPids.clear(); }, PrepareEnding::Refused},
        {"the PMT does not fit in one packet", (dir / "old.ts").string(),
         [](PrepareJob& j) {
             j.Source.FirstPmtPacket = test::SectionPackets(
                 test::kProgramPmt,
                 test::PmtSection(1, test::kProgramVideo, {{0x02, test::kProgramVideo, std::vector<std::uint8_t>(190, 0)}}))[0];
         },
         PrepareEnding::Refused},
        {"the source does not open", (dir / "old.ts").string(),
         [](PrepareJob& j) { j.SourcePath += ".missing"; }, PrepareEnding::Failed},
    };
    const auto before = FolderNames(dir.path());
    for (const Case& c : cases) {
        PrepareJob job = test::HandJob(source, c.output);
        c.change(job);
        RecordingSink events;
        StopFlag stop;
        PrepareWorker worker;
        const PrepareResult r = worker.Run(job, events, stop);
        EXPECT_EQ(r.Ending, c.ending) << c.what;
        EXPECT_FALSE(r.OutputKept) << c.what;
        EXPECT_FALSE(r.Message.empty()) << c.what;
        EXPECT_EQ(events.Count(EventId::evRefreshGauge), 1) << c.what;
        EXPECT_EQ(FolderNames(dir.path()), before) << c.what << ": nothing created, nothing left behind";
        EXPECT_EQ(test::ReadFileBytes(dir / "old.ts"), (std::vector<std::uint8_t>{1, 2, 3})) << c.what;
        EXPECT_EQ(test::ReadFileBytes(dir / "source.ts"), m.Bytes()) << c.what;
    }
}

TEST_F(PrepareWorkerTest, AnIntervalTooLongToHoldEndsTheRunWithoutOutput) {
    struct Case {
        std::uint64_t step;
        PrepareEnding ending;
    };
    // 70,000 packets between two PCRs: within 0.75 s the source would run at
    // 140 Mbit/s; further apart, the step is too long anyway.
    for (const Case& c : {Case{k40ms, PrepareEnding::Failed}, Case{30000000, PrepareEnding::PcrStepError}}) {
        Mux m;
        m.Pat().Pmt().Pcr(k40ms).Video(3).Pcr(2 * k40ms).Video(70000).Pcr(2 * k40ms + c.step).Video(1);
        const auto r = Prepare(m);
        EXPECT_EQ(r.result.Ending, c.ending) << r.result.Message;
        if (c.ending == PrepareEnding::Failed) {
            EXPECT_NE(r.result.Message.English().find("between two PCRs"), std::string::npos) << r.result.Message;
            EXPECT_FALSE(std::filesystem::exists(dir / "prepared.ts"));
        } else {
            EXPECT_EQ(r.out.size(), 661u);
        }
    }
}

TEST_F(PrepareWorkerTest, ASecondRunIsRefusedWhileOneIsInProgress) {
    Mux m;
    m.Pat().Pmt();
    for (int i = 1; i <= 200; ++i) m.Pcr(i * k40ms).Video(2);
    test::WriteFileBytes(dir / "s.ts", m.Bytes());
    PrepareJob job = test::HandJob(dir / "s.ts", dir / "o.ts");
    RecordingSink events;
    StopFlag stop;
    PrepareWorker worker;
    ASSERT_TRUE(worker.Start(job, events, stop).ok());
    EXPECT_TRUE(worker.Busy());
    EXPECT_FALSE(worker.Start(job, events, stop).ok());
    EXPECT_EQ(worker.Run(job, events, stop).Ending, PrepareEnding::Refused);
    const PrepareResult r = worker.Finish();
    EXPECT_EQ(r.Ending, PrepareEnding::Completed);
    EXPECT_FALSE(worker.Busy());
    EXPECT_EQ(events.Count(EventId::evRefreshGauge), 1);
    EXPECT_EQ(std::filesystem::file_size(dir / "o.ts"), r.OutputBytes);
}

}  // namespace
}  // namespace tscard
