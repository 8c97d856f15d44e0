#pragma once
// A clean single-program stream whose every time is known, for breaking on
// purpose: exactly 1,000 packets a second (1,504,000 bit/s), packet i at
// i ms, so a fault placed at a packet sits at a known time on either time
// base. Program 1 on PMT PID 0x100, MPEG-2 video 0x101 carrying the PCR,
// audio 0x102. Within each second, at packet i:
//   i % 100 == 0   PAT            i % 100 == 1   PMT       i % 500 == 2   SDT
//   i % 20 == 3    PCR (adaptation only, on the video PID), i ms + 10 s
//   i % 40 == 5    video PES header, DTS = arrival + 500 ms, PTS 40 ms later
//   i % 40 6..13   video payload
//   i % 40 == 25   audio PES header, PTS = arrival + 300 ms
//   i % 40 26..27  audio payload
//   the rest       null packets

#include <cstdint>
#include <map>
#include <vector>

#include "pes_packets.h"
#include "psi/timestamps.h"
#include "support/psi_sections.h"
#include "support/test_support.h"
#include "ts/packet.h"

namespace tscard::test {

constexpr double kCheckRateBps = 1504000.0;
constexpr std::uint16_t kCheckPmt = 0x100;
constexpr std::uint16_t kCheckVideo = 0x101;
constexpr std::uint16_t kCheckAudio = 0x102;
constexpr std::uint64_t kTicksPerMs = 27000;
constexpr std::uint64_t kClockStart = 10 * kSystemClockHz;  // the PCR at byte 0

// The PCR clock at packet i, in 27 MHz ticks.
inline std::uint64_t ClockAt(std::size_t i) { return kClockStart + i * kTicksPerMs; }
// The same in 90 kHz.
inline std::uint64_t Clock90At(std::size_t i) { return ClockAt(i) / 300; }

class CheckStream {
public:
    // seconds: the length; extra_streams: more PIDs the PMT names (never carried).
    explicit CheckStream(std::size_t seconds = 10, const std::vector<PmtStream>& extra_streams = {}) {
        std::vector<PmtStream> streams = {{0x02, kCheckVideo, {}}, {0x03, kCheckAudio, {}}};
        streams.insert(streams.end(), extra_streams.begin(), extra_streams.end());
        const Packet pat = SectionPackets(kPatPid, PatSection({{1, kCheckPmt}}))[0];
        const Packet pmt = SectionPackets(kCheckPmt, PmtSection(1, kCheckVideo, streams))[0];
        const Packet sdt = SectionPackets(kSdtPid, SdtSection({{1, {{"Provider", "Channel"}}}}))[0];
        for (std::size_t i = 0; i < seconds * 1000; ++i) {
            const std::size_t in40 = i % 40;
            if (i % 100 == 0) {
                Put(pat);
            } else if (i % 100 == 1) {
                Put(pmt);
            } else if (i % 500 == 2) {
                Put(sdt);
            } else if (i % 20 == 3) {
                Put(PcrPacket(kCheckVideo, ClockAt(i)));
            } else if (in40 == 5) {
                PesFields f;
                f.pid = kCheckVideo;
                f.pts_dts_flags = 3;
                f.dts = Clock90At(i) + 500 * 90;
                f.pts = f.dts + 40 * 90;
                Put(PesPacket(f));
            } else if (in40 >= 6 && in40 <= 13) {
                Put(PayloadPacket(kCheckVideo, static_cast<std::uint8_t>(i)));
            } else if (in40 == 25) {
                PesFields f;
                f.pid = kCheckAudio;
                f.stream_id = 0xC0;
                f.pts = Clock90At(i) + 300 * 90;
                Put(PesPacket(f));
            } else if (in40 == 26 || in40 == 27) {
                Put(PayloadPacket(kCheckAudio, static_cast<std::uint8_t>(i)));
            } else {
                packets.push_back(NullPacket());
            }
        }
    }

    std::uint16_t Pid(std::size_t i) const {
        return static_cast<std::uint16_t>(((packets[i][1] & 0x1F) << 8) | packets[i][2]);
    }

    // A null packet in place of packet i: the packet is lost.
    CheckStream& ToNull(std::size_t i) {
        packets[i] = NullPacket();
        return *this;
    }
    // A null packet in place of packet i, and the PID's counters after it
    // as a muxer that never sent it numbers them.
    CheckStream& Remove(std::size_t i) { return Silence(Pid(i), i, i + 1); }
    // The PID's packets in [from, to) removed so.
    CheckStream& Silence(std::uint16_t pid, std::size_t from, std::size_t to) {
        unsigned removed = 0;
        for (std::size_t i = from; i < to; ++i) {
            if (Pid(i) != pid) continue;
            removed += (AdaptationFieldControl(packets[i].data()) & 1) != 0;
            ToNull(i);
        }
        return ShiftCounters(pid, to, 16 - removed % 16);
    }
    // Packet i replaced, its continuity_counter kept.
    CheckStream& Replace(std::size_t i, Packet p) {
        SetContinuityCounter(p.data(), ContinuityCounter(packets[i].data()));
        packets[i] = p;
        return *this;
    }
    // Adds `step` to the continuity_counter of the PID's packets from i on.
    CheckStream& ShiftCounters(std::uint16_t pid, std::size_t from, unsigned step) {
        for (std::size_t i = from; i < packets.size(); ++i)
            if (Pid(i) == pid) SetContinuityCounter(packets[i].data(), ContinuityCounter(packets[i].data()) + step);
        return *this;
    }
    // Adds `ticks` to the PCR of packet i.
    CheckStream& ShiftPcr(std::size_t i, std::int64_t ticks) {
        PcrValue pcr;
        ReadPcr(packets[i].data(), pcr);
        WritePcr(packets[i].data(), PcrValue::FromTicks(std::uint64_t(std::int64_t(pcr.Ticks()) + ticks)));
        return *this;
    }
    // Sets discontinuity_indicator on packet i (it has an adaptation field).
    CheckStream& Discontinuity(std::size_t i) {
        packets[i][5] |= 0x80;
        return *this;
    }
    // The video PES header at packet i (i % 40 == 5) with this DTS, in ms
    // from its arrival, and its PTS 40 ms after.
    CheckStream& VideoDts(std::size_t i, std::int64_t ms_from_arrival) {
        PesFields f;
        f.pid = kCheckVideo;
        f.pts_dts_flags = 3;
        f.dts = std::uint64_t(std::int64_t(Clock90At(i)) + ms_from_arrival * 90);
        f.pts = f.dts + 40 * 90;
        return Replace(i, PesPacket(f));
    }

    std::vector<std::uint8_t> Bytes() const { return JoinPackets(packets); }

    std::vector<Packet> packets;

private:
    void Put(Packet p) {
        const std::uint16_t pid = static_cast<std::uint16_t>(((p[1] & 0x1F) << 8) | p[2]);
        auto [it, fresh] = counters_.try_emplace(pid, 0);
        if (!fresh && (AdaptationFieldControl(p.data()) & 1)) it->second = (it->second + 1) & 0x0F;
        SetContinuityCounter(p.data(), it->second);
        packets.push_back(p);
    }

    std::map<std::uint16_t, unsigned> counters_;
};

}  // namespace tscard::test
