#pragma once
// Hand-built single-program streams for the prepare worker, the job that
// describes them as an analysis would, and the checks every prepared
// output must pass.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <vector>

#include "pes_packets.h"
#include "prepare/mux_rate.h"
#include "prepare/prepare_worker.h"
#include "psi/timestamps.h"
#include "support/psi_sections.h"
#include "support/recording_sink.h"
#include "support/test_support.h"
#include "ts/packet.h"

namespace tscard::test {

// Program 1 on PMT PID 0x100: MPEG-2 video 0x101 carrying the PCR, audio 0x102.
constexpr std::uint16_t kProgramPmt = 0x100;
constexpr std::uint16_t kProgramVideo = 0x101;
constexpr std::uint16_t kProgramAudio = 0x102;
constexpr std::uint64_t k40ms = 1080000;  // ticks

// Packets in stream order with continuity counters as a muxer sets them:
// one more per packet with payload, the same for adaptation-only packets.
class Mux {
public:
    Mux& Put(Packet p) {
        const std::uint16_t pid = FoldPid(p.data());
        auto [it, fresh] = counters_.try_emplace(pid, 0);
        if (!fresh && (AdaptationFieldControl(p.data()) & 1)) it->second = (it->second + 1) & 0x0F;
        SetContinuityCounter(p.data(), it->second);
        packets.push_back(p);
        return *this;
    }
    Mux& Raw(const Packet& p) {
        packets.push_back(p);
        return *this;
    }
    Mux& Pat() {
        for (const Packet& p : SectionPackets(kPatPid, PatSection({{1, kProgramPmt}}))) Put(p);
        return *this;
    }
    Mux& Pmt(std::vector<PmtStream> streams = {{0x02, kProgramVideo, {}}, {0x03, kProgramAudio, {}}},
             std::uint16_t pcr_pid = kProgramVideo) {
        for (const Packet& p : SectionPackets(kProgramPmt, PmtSection(1, pcr_pid, streams))) Put(p);
        return *this;
    }
    Mux& Sdt() {
        for (const Packet& p : SectionPackets(kSdtPid, SdtSection({{1, {{"Provider", "Channel"}}}}))) Put(p);
        return *this;
    }
    // An adaptation-only packet carrying the PCR.
    Mux& Pcr(std::uint64_t ticks, std::uint16_t pid = kProgramVideo) { return Put(PcrPacket(pid, ticks)); }
    Mux& Video(std::size_t n = 1, std::uint8_t fill = 0x5A) {
        for (std::size_t i = 0; i < n; ++i) Put(PayloadPacket(kProgramVideo, fill));
        return *this;
    }
    Mux& Audio(std::size_t n = 1) {
        for (std::size_t i = 0; i < n; ++i) Put(PayloadPacket(kProgramAudio, 0x3C));
        return *this;
    }
    Mux& Pes(PesFields fields) {
        if (fields.pid == 0x101 && fields.stream_id == 0xE0) fields.pid = kProgramVideo;
        return Put(PesPacket(fields));
    }
    Mux& Nulls(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) packets.push_back(NullPacket());
        return *this;
    }
    Mux& Separator() {
        packets.push_back(SeparatorPacket());
        return *this;
    }
    std::vector<std::uint8_t> Bytes() const { return JoinPackets(packets); }

    std::vector<Packet> packets;

private:
    std::map<std::uint16_t, std::uint8_t> counters_;
};

// The job an analysis of a Mux stream gives: targets equal to the sources.
inline PrepareJob HandJob(const std::filesystem::path& source, const std::filesystem::path& output,
                          bool source_sdt = true) {
    PrepareJob job;
    job.SourcePath = source.string();
    job.OutputPath = output.string();
    job.Source.FirstPmtPacket =
        SectionPackets(kProgramPmt, PmtSection(1, kProgramVideo, {{0x02, kProgramVideo, {}}, {0x03, kProgramAudio, {}}}))[0];
    job.Source.KnownPids = {kPatPid, source_sdt ? kSdtPid : kNullPid, kProgramVideo, kProgramPmt, kProgramVideo,
                            kProgramAudio};
    job.Source.PmtPids = {kProgramPmt};
    ProgramRemap& r = job.Remap;
    r.SourcePmtPid = r.TargetPmtPid = kProgramPmt;
    r.SourceProgramNumber = r.TargetProgramNumber = 1;
    r.SourcePcrPid = r.TargetPcrPid = kProgramVideo;
    r.SourceVideoPid = r.TargetVideoPid = kProgramVideo;
    r.SourceAudioPids = r.TargetAudioPids = {kProgramAudio};
    r.PcrInVideo = 1;
    r.VideoStreamType = 0x02;
    r.SourceProvider = r.TargetProvider = "Provider";
    r.SourceName = r.TargetName = "Channel";
    return job;
}

struct Prepared {
    PrepareResult result;
    std::vector<Packet> out;
    std::vector<std::uint8_t> bytes;
    int progress_events = 0;
    int completions = 0;
};

// Writes the stream to a file in `dir`, prepares it with the job (its
// paths replaced) and reads the output back.
inline Prepared PrepareStream(const TempDir& dir, const std::vector<std::uint8_t>& stream, PrepareJob job,
                              PrepareObserver* observer = nullptr, StopFlag* stop = nullptr) {
    WriteFileBytes(dir / "source.ts", stream);
    job.SourcePath = (dir / "source.ts").string();
    job.OutputPath = (dir / "prepared.ts").string();
    StopFlag own_stop;
    RecordingSink events;
    PrepareWorker worker;
    Prepared p;
    p.result = worker.Run(job, events, stop ? *stop : own_stop, observer);
    if (std::filesystem::exists(dir / "prepared.ts")) {
        p.bytes = ReadFileBytes(dir / "prepared.ts");
        p.out = SplitPackets(p.bytes);
    }
    p.progress_events = events.Count(EventId::ChangeProgressPosG3);
    p.completions = events.Count(EventId::evRefreshGauge);
    return p;
}

// What every prepared output shows: every PCR after the first sits on its
// slot of the multiplex rate, and every packet on the null PID is exactly
// NullPacket.
inline void ExpectMultiplexRate(const std::vector<Packet>& out) {
    bool first = true;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Packet& p = out[i];
        if (FoldPid(p.data()) == kNullPid) {
            ASSERT_EQ(p, NullPacket()) << "packet " << i;
            continue;
        }
        PcrValue pcr;
        if (!ReadPcr(p.data(), pcr)) continue;
        if (first) {
            first = false;
            continue;
        }
        ASSERT_EQ(pcr.Ticks(), SlotPcr(i)) << "PCR of packet " << i;
    }
}

inline std::vector<Packet> WithoutNulls(const std::vector<Packet>& packets) {
    std::vector<Packet> out;
    for (const Packet& p : packets)
        if (FoldPid(p.data()) != kNullPid) out.push_back(p);
    return out;
}

inline std::size_t CountPid(const std::vector<Packet>& packets, std::uint16_t pid) {
    std::size_t n = 0;
    for (const Packet& p : packets) n += FoldPid(p.data()) == pid;
    return n;
}

}  // namespace tscard::test
