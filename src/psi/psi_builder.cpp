#include "psi/psi_builder.h"

#include <algorithm>
#include <cstring>

#include "psi/crc32.h"
#include "psi/table_ids.h"

namespace tscard {
namespace {

// The one descriptor of a generated SDT names the provider and the service.
constexpr std::uint8_t kServiceDescriptorTag = 0x48;

void PutCrc(std::uint8_t* at, std::uint32_t crc) {
    at[0] = static_cast<std::uint8_t>(crc >> 24);
    at[1] = static_cast<std::uint8_t>(crc >> 16);
    at[2] = static_cast<std::uint8_t>(crc >> 8);
    at[3] = static_cast<std::uint8_t>(crc);
}

// Header of a generated table packet: payload only, section at byte 5.
Packet TablePacket(std::uint16_t pid) {
    Packet p;
    p.fill(0xFF);
    p[0] = kSyncByte;
    p[1] = static_cast<std::uint8_t>(0x40 | (pid >> 8));
    p[2] = static_cast<std::uint8_t>(pid & 0xFF);
    p[3] = 0x10;
    p[4] = 0x00;
    return p;
}

void PutPid(std::uint8_t* at, std::uint32_t pid) {
    at[0] = static_cast<std::uint8_t>(0xE0 | ((pid >> 8) & 0x1F));
    at[1] = static_cast<std::uint8_t>(pid & 0xFF);
}

bool Matches(std::uint16_t pid, std::uint32_t source) {
    return source != 0 && source != kNullPid && pid == source;
}

}  // namespace

Packet BuildPat(const ProgramRemap& remap) {
    Packet p = TablePacket(kPatPid);
    const std::uint8_t section[] = {
        kPatTableId, 0xB0, 0x0D, 0x00, 0x01, 0xC3, 0x00, 0x00,
        static_cast<std::uint8_t>(remap.TargetProgramNumber >> 8),
        static_cast<std::uint8_t>(remap.TargetProgramNumber),
        static_cast<std::uint8_t>(0xE0 | ((remap.TargetPmtPid >> 8) & 0x1F)),
        static_cast<std::uint8_t>(remap.TargetPmtPid),
    };
    std::memcpy(p.data() + 5, section, sizeof section);
    PutCrc(p.data() + 17, Crc32Mpeg2(p.data() + 5, 12));
    return p;
}

std::uint8_t ServiceTypeFor(std::uint32_t video_stream_type) {
    switch (video_stream_type) {
        case 1:
        case 2: return 0x01;
        case 3:
        case 4: return 0x02;
        case 27: return 0x19;
        default: return static_cast<std::uint8_t>(video_stream_type & 0xFF);
    }
}

bool BuildSdt(const ProgramRemap& remap, std::string_view provider, std::string_view name, Packet& sdt) {
    const std::size_t P = provider.size();
    const std::size_t N = name.size();
    if (P + N > kMaxSdtNameBytes) return false;
    Packet p = TablePacket(kSdtPid);
    const std::size_t L = 22 + P + N;
    std::uint8_t* s = p.data() + 5;
    s[0] = kSdtTableId;
    s[1] = static_cast<std::uint8_t>(0xF0 | (L >> 8));
    s[2] = static_cast<std::uint8_t>(L & 0xFF);
    s[3] = 0x00;
    s[4] = 0x01;
    s[5] = 0xC3;
    s[6] = 0x00;
    s[7] = 0x00;
    s[8] = 0x00;
    s[9] = 0xD2;
    s[10] = 0xFF;
    s[11] = static_cast<std::uint8_t>(remap.TargetProgramNumber >> 8);
    s[12] = static_cast<std::uint8_t>(remap.TargetProgramNumber);
    s[13] = 0xFD;
    s[14] = 0x80;
    s[15] = static_cast<std::uint8_t>(P + N + 5);
    s[16] = kServiceDescriptorTag;
    s[17] = static_cast<std::uint8_t>(P + N + 3);
    s[18] = ServiceTypeFor(remap.VideoStreamType);
    s[19] = static_cast<std::uint8_t>(P);
    std::memcpy(s + 20, provider.data(), P);
    s[20 + P] = static_cast<std::uint8_t>(N);
    std::memcpy(s + 21 + P, name.data(), N);
    PutCrc(s + 21 + P + N, Crc32Mpeg2(s, 21 + P + N));
    sdt = p;
    return true;
}

bool BuildPmt(const ProgramRemap& remap, Packet& pmt) {
    Packet p = pmt;
    // The section must start at byte 5 and end inside the packet.
    if (p[0] != kSyncByte || AdaptationFieldControl(p.data()) != 1 || p[4] != 0) return false;
    const std::size_t L = (std::size_t(p[6] & 0x0F) << 8) | p[7];
    if (L < 13 || L + 8 > kPacketSize) return false;
    const std::size_t I = ((std::size_t(p[15]) << 8) | p[16]) & 0x0FFF;
    if (I + 13 > L) return false;
    SetPid(p.data(), static_cast<std::uint16_t>(remap.TargetPmtPid & 0x1FFF));
    p[8] = static_cast<std::uint8_t>(remap.TargetProgramNumber >> 8);
    p[9] = static_cast<std::uint8_t>(remap.TargetProgramNumber);
    p[13] = static_cast<std::uint8_t>(0xE0 | ((remap.TargetPcrPid >> 8) & 0x1F));
    p[14] = static_cast<std::uint8_t>(remap.TargetPcrPid & 0xFF);
    const std::size_t loop_start = 17 + I;
    const std::size_t loop_length = L - I - 13;
    std::size_t audio = 0;
    std::size_t pes = 0;
    for (std::size_t at = 0; at < loop_length;) {
        if (at + 5 > loop_length) return false;
        std::uint8_t* e = p.data() + loop_start + at;
        const std::size_t es_info_length = ((std::size_t(e[3]) << 8) | e[4]) & 0x0FFF;
        switch (e[0]) {
            case 0x01:
            case 0x02:
            case 0x05:
            case 0x1B:
                PutPid(e + 1, remap.TargetVideoPid);
                break;
            case 0x03:
            case 0x04:
            case 0x0F:
                if (audio >= remap.TargetAudioPids.size()) return false;
                PutPid(e + 1, remap.TargetAudioPids[audio++]);
                break;
            case 0x06:
                if (pes >= remap.TargetPesPids.size()) return false;
                PutPid(e + 1, remap.TargetPesPids[pes++]);
                break;
            default:
                break;
        }
        at += 5 + es_info_length;
    }
    PutCrc(p.data() + L + 4, Crc32Mpeg2(p.data() + 5, L - 1));
    pmt = p;
    return true;
}

std::uint8_t SectionTableId(const std::uint8_t* packet) {
    if (!PayloadUnitStart(packet)) return 0;
    std::size_t o = 4;
    switch (AdaptationFieldControl(packet)) {
        case 1: o = 4; break;
        case 3: o = 5 + std::size_t(AdaptationFieldLength(packet)); break;
        case 0: o = 5; break;
        case 2: o = 4; break;
    }
    if (o >= kPacketSize) return 0;
    const std::size_t at = o + 1 + packet[o];
    return at < kPacketSize ? packet[at] : 0;
}

PsiKind ClassifyPsiPid(std::uint16_t pid, std::uint8_t table_id, const std::vector<std::uint16_t>& known_pids,
                       const std::vector<std::uint16_t>& pmt_pids) {
    if (std::find(known_pids.begin(), known_pids.end(), pid) == known_pids.end()) return PsiKind::None;
    if (pid == kPatPid) return PsiKind::Pat;
    if (pid == kSdtPid && table_id == kSdtTableId) return PsiKind::Sdt;
    if (std::find(pmt_pids.begin(), pmt_pids.end(), pid) != pmt_pids.end()) return PsiKind::Pmt;
    return PsiKind::None;
}

void RemapPids(std::uint8_t* packet, const ProgramRemap& remap) {
    const std::uint16_t pid = FoldPid(packet);
    if (Matches(pid, remap.SourcePcrPid)) SetPid(packet, static_cast<std::uint16_t>(remap.TargetPcrPid));
    if (Matches(pid, remap.SourceVideoPid)) SetPid(packet, static_cast<std::uint16_t>(remap.TargetVideoPid));
    for (std::size_t i = 0; i < remap.SourceAudioPids.size() && i < remap.TargetAudioPids.size(); ++i)
        if (Matches(pid, remap.SourceAudioPids[i])) SetPid(packet, remap.TargetAudioPids[i]);
    for (std::size_t i = 0; i < remap.SourcePesPids.size() && i < remap.TargetPesPids.size(); ++i)
        if (Matches(pid, remap.SourcePesPids[i])) SetPid(packet, remap.TargetPesPids[i]);
}

bool RemapDiffers(const ProgramRemap& r) {
    if (r.SourcePmtPid != r.TargetPmtPid || r.SourceProgramNumber != r.TargetProgramNumber ||
        r.SourcePcrPid != r.TargetPcrPid || r.SourceVideoPid != r.TargetVideoPid ||
        r.SourceProvider != r.TargetProvider || r.SourceName != r.TargetName)
        return true;
    if (!r.SourceAudioPids.empty()) {
        for (std::size_t i = 0; i < r.SourceAudioPids.size(); ++i)
            if (i >= r.TargetAudioPids.size() || r.SourceAudioPids[i] != r.TargetAudioPids[i]) return true;
    }
    if (!r.TargetPesPids.empty()) {
        for (std::size_t i = 0; i < r.SourcePesPids.size(); ++i)
            if (i >= r.TargetPesPids.size() || r.SourcePesPids[i] != r.TargetPesPids[i]) return true;
    }
    return false;
}

}  // namespace tscard
