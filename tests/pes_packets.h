#pragma once
// Hand-built packets that start a PES: a header with the chosen timestamps,
// then elementary-stream bytes, the rest 0xFF (which never forms a start
// code).

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "ts/packet.h"

namespace tscard::test {

struct PesFields {
    std::uint16_t pid = 0x101;
    std::uint8_t stream_id = 0xE0;
    std::uint8_t pts_dts_flags = 2;  // 2: PTS, 3: PTS and DTS
    std::uint64_t pts = 0;           // 90 kHz
    std::uint64_t dts = 0;
    std::uint8_t extra_header_bytes = 0;  // stuffing in PES_header_data_length
    std::size_t adaptation_bytes = 0;     // > 0: an adaptation field of this length
    bool pcr = false;                     // the adaptation field carries a PCR
    std::uint64_t pcr_ticks = 0;
    std::uint8_t counter = 0;
    std::vector<std::uint8_t> es;  // elementary-stream bytes after the header
};

// Five timestamp bytes with prefix and all marker bits 1.
inline void PutTimestampBytes(std::uint8_t* at, std::uint8_t prefix, std::uint64_t v) {
    at[0] = static_cast<std::uint8_t>((prefix << 4) | (((v >> 30) & 7) << 1) | 1);
    at[1] = static_cast<std::uint8_t>(v >> 22);
    at[2] = static_cast<std::uint8_t>((((v >> 15) & 0x7F) << 1) | 1);
    at[3] = static_cast<std::uint8_t>(v >> 7);
    at[4] = static_cast<std::uint8_t>(((v & 0x7F) << 1) | 1);
}

inline Packet PesPacket(const PesFields& s) {
    Packet p;
    p.fill(0xFF);
    p[0] = kSyncByte;
    p[1] = static_cast<std::uint8_t>(0x40 | (s.pid >> 8));
    p[2] = static_cast<std::uint8_t>(s.pid);
    std::size_t o = 4;
    if (s.adaptation_bytes > 0 || s.pcr) {
        const std::size_t length = std::max<std::size_t>(s.adaptation_bytes, s.pcr ? 7 : 1);
        p[3] = static_cast<std::uint8_t>(0x30 | (s.counter & 0x0F));
        p[4] = static_cast<std::uint8_t>(length);
        p[5] = s.pcr ? 0x10 : 0x00;
        if (s.pcr) {
            const std::uint64_t base = s.pcr_ticks / 300, ext = s.pcr_ticks % 300;
            p[6] = static_cast<std::uint8_t>(base >> 25);
            p[7] = static_cast<std::uint8_t>(base >> 17);
            p[8] = static_cast<std::uint8_t>(base >> 9);
            p[9] = static_cast<std::uint8_t>(base >> 1);
            p[10] = static_cast<std::uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
            p[11] = static_cast<std::uint8_t>(ext);
        }
        o = 5 + length;
    } else {
        p[3] = static_cast<std::uint8_t>(0x10 | (s.counter & 0x0F));
    }
    std::vector<std::uint8_t> h = {0x00, 0x00, 0x01, s.stream_id, 0x00, 0x00, 0x80,
                                   static_cast<std::uint8_t>(s.pts_dts_flags << 6)};
    std::vector<std::uint8_t> fields;
    if (s.pts_dts_flags >= 2) {
        std::uint8_t t[5];
        PutTimestampBytes(t, s.pts_dts_flags == 3 ? 3 : 2, s.pts);
        fields.insert(fields.end(), t, t + 5);
    }
    if (s.pts_dts_flags == 3) {
        std::uint8_t t[5];
        PutTimestampBytes(t, 1, s.dts);
        fields.insert(fields.end(), t, t + 5);
    }
    fields.insert(fields.end(), s.extra_header_bytes, 0xFF);
    h.push_back(static_cast<std::uint8_t>(fields.size()));
    h.insert(h.end(), fields.begin(), fields.end());
    h.insert(h.end(), s.es.begin(), s.es.end());
    for (std::size_t i = 0; i < h.size() && o + i < kPacketSize; ++i) p[o + i] = h[i];
    return p;
}

// MPEG-2 video headers.
inline std::vector<std::uint8_t> SequenceHeader() { return {0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x13}; }
inline std::vector<std::uint8_t> GopHeader(bool closed = false) {
    return {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, static_cast<std::uint8_t>(closed ? 0x40 : 0x00)};
}
inline std::vector<std::uint8_t> PictureHeader(int coding_type, std::uint16_t temporal_reference = 0) {
    return {0x00, 0x00, 0x01, 0x00, static_cast<std::uint8_t>(temporal_reference >> 2),
            static_cast<std::uint8_t>(((temporal_reference & 3) << 6) | ((coding_type & 7) << 3)), 0xFF, 0xF8};
}
inline std::vector<std::uint8_t> SliceStart() { return {0x00, 0x00, 0x01, 0x01, 0x12}; }

inline std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace tscard::test
