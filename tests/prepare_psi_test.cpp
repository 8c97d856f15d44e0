// What a prepare run makes of the source's PSI and PIDs: generated PAT, PMT
// and SDT in place of the source's, the SDT clock, target PIDs, and the
// continuity counters that carry over from run to run.

#include <gtest/gtest.h>

#include "prepare_streams.h"
#include "psi/psi_builder.h"
#include "support/quiet_log.h"

namespace tscard {
namespace {

using test::k40ms;
using test::Mux;

class PreparePsiTest : public test::QuietLogTest {
protected:
    test::TempDir dir;
};

std::vector<Packet> OnPid(const std::vector<Packet>& packets, std::uint16_t pid) {
    std::vector<Packet> out;
    for (const Packet& p : packets)
        if (FoldPid(p.data()) == pid) out.push_back(p);
    return out;
}

// The generated packet as its n-th use writes it (counter advanced n times).
Packet NthUse(Packet p, unsigned n) {
    SetContinuityCounter(p.data(), ContinuityCounter(p.data()) + n);
    return p;
}

TEST_F(PreparePsiTest, SourcePsiGivesWayToTheGeneratedTablesOnTheTargetPids) {
    Mux m;
    m.Pat().Pmt().Sdt().Pcr(k40ms);
    for (int i = 2; i <= 5; ++i) m.Pat().Pmt().Sdt().Video(2).Audio(1).Pcr(i * k40ms);
    PrepareJob job = test::HandJob(dir / "s", dir / "o");
    ProgramRemap& r = job.Remap;
    r.TargetProgramNumber = 0x801;
    r.TargetPmtPid = 0x500;
    r.TargetPcrPid = r.TargetVideoPid = 0x1001;
    r.TargetAudioPids = {0x1002};
    r.TargetProvider = "Prov";
    r.TargetName = "Name";
    const auto out = test::PrepareStream(dir, m.Bytes(), job).out;
    test::ExpectMultiplexRate(out);

    const Packet pat = BuildPat(r);
    Packet pmt = job.Source.FirstPmtPacket;
    ASSERT_TRUE(BuildPmt(r, pmt));
    Packet sdt;
    ASSERT_TRUE(BuildSdt(r, "Prov", "Name", sdt));
    // The PSI before the first PCR is dropped; four intervals are written.
    const struct {
        std::uint16_t pid;
        const Packet& generated;
    } tables[] = {{kPatPid, pat}, {0x500, pmt}, {kSdtPid, sdt}};
    for (const auto& t : tables) {
        const auto packets = OnPid(out, t.pid);
        ASSERT_EQ(packets.size(), 4u) << t.pid;
        for (unsigned n = 0; n < 4; ++n) EXPECT_EQ(packets[n], NthUse(t.generated, n + 1)) << t.pid << " use " << n;
    }
    EXPECT_EQ(OnPid(out, 0x1001).size(), 4u * 2 + 4) << "video and PCR packets on the target";
    EXPECT_EQ(OnPid(out, 0x1002).size(), 4u);
    for (std::uint16_t old_pid : {test::kProgramPmt, test::kProgramVideo, test::kProgramAudio})
        EXPECT_TRUE(OnPid(out, old_pid).empty()) << old_pid;
}

TEST_F(PreparePsiTest, NoSourceSdtPassesAndTheSdtClockRunsOnlyWithoutOne) {
    auto long_sdt = test::SdtSection({{1, {{std::string(100, 'P'), std::string(100, 'N')}}}});
    auto bat = test::SdtSection({{1, {{"B", "A"}}}});
    bat[0] = 0x4A;
    struct Case {
        const char* what;
        bool in_stream;
        bool analysis_read_it;
        std::size_t sdt_packets;
    };
    const Case cases[] = {
        {"source SDT, read by the analysis", true, true, 3},
        {"source SDT the analysis did not read", true, false, 3},
        {"no SDT: one every 0.08 PaceUnit (four 40 ms intervals)", false, false, 3},
    };
    for (const Case& c : cases) {
        Mux m;
        m.Pat().Pmt().Pcr(k40ms);
        for (int i = 2; i <= 13; ++i) {
            if (c.in_stream && i % 4 == 0) {
                for (const Packet& p : test::SectionPackets(kSdtPid, long_sdt)) m.Put(p);
                m.Put(test::SectionPackets(kSdtPid, bat)[0]);
            }
            m.Video(2).Pcr(i * k40ms);
        }
        const auto out = test::PrepareStream(dir, m.Bytes(), test::HandJob(dir / "s", dir / "o", c.analysis_read_it)).out;
        const auto sdts = OnPid(out, kSdtPid);
        ASSERT_EQ(sdts.size(), c.sdt_packets) << c.what;
        Packet sdt;
        ASSERT_TRUE(BuildSdt(test::HandJob("s", "o").Remap, "Provider", "Channel", sdt));
        for (unsigned n = 0; n < sdts.size(); ++n) EXPECT_EQ(sdts[n], NthUse(sdt, n + 1)) << c.what;
        if (!c.in_stream) {
            // Inserted at the end of the 4th, 8th and 12th interval, after its
            // other packets (the 12th interval's closing PCR is the unwritten tail).
            std::size_t interval = 0;
            for (std::size_t i = 0; i < out.size(); ++i) {
                PcrValue pcr;
                if (ReadPcr(out[i].data(), pcr)) ++interval;
                if (FoldPid(out[i].data()) != kSdtPid) continue;
                EXPECT_EQ(interval % 4, 0u) << c.what << " at packet " << i;
                std::size_t next = i + 1;
                while (next < out.size() && FoldPid(out[next].data()) == kNullPid) ++next;
                EXPECT_TRUE(next == out.size() || ReadPcr(out[next].data(), pcr)) << c.what;
            }
        }
    }
}

TEST_F(PreparePsiTest, PatAndPmtGoOutAtLeastEveryHalfSecondWhateverTheSourceSends) {
    // 100 intervals of 40 ms; the source sends PAT and PMT once before its
    // first PCR (dropped with what precedes the run), every 6 intervals
    // (often enough), or every 15 (too seldom).
    struct Case {
        const char* what;
        int period;  // in intervals; 0: once, before the first PCR
        std::size_t inserted;
    };
    const Case cases[] = {
        // 13 intervals bring a clock to 0.52 s: at the 13th, 26th, ... 91st.
        {"sent once", 0, 7},
        {"sent every 0.24 s", 6, 0},
        // 13 intervals after each source table, unless the next comes first.
        {"sent every 0.6 s", 15, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mux m;
        m.Pat().Pmt().Sdt().Pcr(k40ms);
        std::size_t from_source = 0;
        for (int i = 2; i <= 101; ++i) {
            if (c.period > 0 && (i - 1) % c.period == 0) {
                m.Pat().Pmt();
                ++from_source;
            }
            m.Video(2).Pcr(i * k40ms);
        }
        const auto out = test::PrepareStream(dir, m.Bytes(), test::HandJob(dir / "s", dir / "o")).out;
        test::ExpectMultiplexRate(out);
        for (const std::uint16_t pid : {kPatPid, test::kProgramPmt}) {
            SCOPED_TRACE(pid);
            std::vector<std::size_t> at;
            for (std::size_t i = 0; i < out.size(); ++i)
                if (FoldPid(out[i].data()) == pid) at.push_back(i);
            EXPECT_EQ(at.size(), from_source + c.inserted);
            // From the start, and from one to the next: 0.5 s and less than
            // one interval more.
            std::size_t previous = 0;
            for (std::size_t i : at) {
                EXPECT_LT(SlotPcr(i) - SlotPcr(previous), kPsiRepeatTicks + k40ms) << "packet " << i;
                previous = i;
            }
            EXPECT_LT(SlotPcr(out.size()) - SlotPcr(previous), kPsiRepeatTicks + k40ms);
        }
        // Added together, the PAT comes first, then the PMT.
        for (std::size_t i = 0; i + 1 < out.size(); ++i) {
            if (FoldPid(out[i + 1].data()) == kPatPid) {
                EXPECT_NE(FoldPid(out[i].data()), test::kProgramPmt) << i;
            }
        }
    }
}

TEST_F(PreparePsiTest, AProgramWithoutVideoKeepsThePatOnPidZero) {
    Mux m;
    m.Pat().Pmt({{0x03, test::kProgramAudio, {}}}, test::kProgramAudio);
    for (int i = 1; i <= 4; ++i) m.Pat().Pcr(i * k40ms, test::kProgramAudio).Audio(2);
    PrepareJob job = test::HandJob(dir / "s", dir / "o");
    job.Source.FirstPmtPacket =
        test::SectionPackets(test::kProgramPmt, test::PmtSection(1, test::kProgramAudio, {{0x03, test::kProgramAudio, {}}}))[0];
    job.Source.KnownPids = {kPatPid, kNullPid, test::kProgramAudio, test::kProgramPmt, test::kProgramAudio};
    ProgramRemap& r = job.Remap;
    r.SourceVideoPid = 0;  // no video: the panel's default target stays unused
    r.TargetVideoPid = 0x1001;
    r.PcrInVideo = 0;
    r.SourcePcrPid = test::kProgramAudio;
    r.TargetPcrPid = r.TargetAudioPids[0] = 0x1002;
    const auto out = test::PrepareStream(dir, m.Bytes(), job).out;
    EXPECT_EQ(OnPid(out, kPatPid).size(), 3u);
    EXPECT_TRUE(OnPid(out, 0x1001).empty());
    EXPECT_EQ(OnPid(out, 0x1002).size(), 3u * 2 + 3);
}

TEST_F(PreparePsiTest, ASecondRunOfOneWorkerStartsItsContinuityCountersAfresh) {
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(3).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    test::WriteFileBytes(dir / "s.ts", m.Bytes());
    const PrepareJob job = test::HandJob(dir / "s.ts", dir / "o.ts");
    NullEventSink events;
    StopFlag stop;
    PrepareWorker worker;
    std::vector<std::vector<std::uint8_t>> outputs;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(worker.Run(job, events, stop).Ending, PrepareEnding::Completed);
        outputs.push_back(test::ReadFileBytes(dir / "o.ts"));
    }
    // The first run leaves the video PID at 4; the next one's first video
    // packet still goes out with its own counter 0.
    EXPECT_EQ(ContinuityCounter(outputs[1].data()), 0u);
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST_F(PreparePsiTest, BrokenContinuityIsRepaired) {
    Mux m;
    m.Pat().Pmt().Pcr(k40ms).Video(3).Pcr(2 * k40ms).Video(1).Pcr(3 * k40ms);
    SetContinuityCounter(m.packets[4].data(), 9);  // the second video packet jumps
    const auto out = test::WithoutNulls(test::PrepareStream(dir, m.Bytes(), test::HandJob("s", "o")).out);
    std::vector<unsigned> counters;
    for (const Packet& p : out) counters.push_back(ContinuityCounter(p.data()));
    EXPECT_EQ(counters, (std::vector<unsigned>{0, 1, 2, 3, 3, 4}));
}

}  // namespace
}  // namespace tscard
