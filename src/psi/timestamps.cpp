#include "psi/timestamps.h"

#include "psi/pes_payload.h"
#include "ts/packet.h"

namespace tscard {
namespace {

void PutTimestamp(std::uint8_t* at, std::uint8_t prefix, std::uint64_t value,
                  const std::array<std::uint8_t, 3>& markers) {
    at[0] = static_cast<std::uint8_t>((prefix << 4) | (((value >> 30) & 7) << 1) | (markers[0] & 1));
    at[1] = static_cast<std::uint8_t>(value >> 22);
    at[2] = static_cast<std::uint8_t>((((value >> 15) & 0x7F) << 1) | (markers[1] & 1));
    at[3] = static_cast<std::uint8_t>(value >> 7);
    at[4] = static_cast<std::uint8_t>(((value & 0x7F) << 1) | (markers[2] & 1));
}

}  // namespace

PcrValue PcrValue::FromTicks(std::uint64_t ticks) {
    PcrValue pcr;
    pcr.Base = ticks / 300;
    pcr.Extension = static_cast<std::uint16_t>(ticks % 300);
    pcr.Reserved = 0x3F;
    return pcr;
}

bool ReadPcr(const std::uint8_t* packet, PcrValue& pcr) {
    if (TransportErrorIndicator(packet) || !HasPcr(packet)) return false;
    pcr.Base = (std::uint64_t(packet[6]) << 25) | (std::uint64_t(packet[7]) << 17) |
               (std::uint64_t(packet[8]) << 9) | (std::uint64_t(packet[9]) << 1) | (std::uint64_t(packet[10]) >> 7);
    pcr.Reserved = 0x3F;
    pcr.Extension = static_cast<std::uint16_t>(((packet[10] & 1) << 8) | packet[11]);
    return true;
}

void WritePcr(std::uint8_t* packet, const PcrValue& pcr) {
    packet[6] = static_cast<std::uint8_t>(pcr.Base >> 25);
    packet[7] = static_cast<std::uint8_t>(pcr.Base >> 17);
    packet[8] = static_cast<std::uint8_t>(pcr.Base >> 9);
    packet[9] = static_cast<std::uint8_t>(pcr.Base >> 1);
    packet[10] = static_cast<std::uint8_t>(((pcr.Base & 1) << 7) | ((pcr.Reserved & 0x3F) << 1) |
                                           ((pcr.Extension >> 8) & 1));
    packet[11] = static_cast<std::uint8_t>(pcr.Extension & 0xFF);
}

std::uint64_t DecodeTimestamp(const std::uint8_t* b) {
    return (std::uint64_t((b[0] >> 1) & 7) << 30) | (std::uint64_t(b[1]) << 22) | (std::uint64_t(b[2] >> 1) << 15) |
           (std::uint64_t(b[3]) << 7) | (std::uint64_t(b[4]) >> 1);
}

bool HasOptionalPesHeader(std::uint8_t stream_id) {
    if (stream_id < 0xBC) return false;
    switch (stream_id) {
        case 0xBC:  // program_stream_map
        case 0xBE:  // padding_stream
        case 0xBF:  // private_stream_2
        case 0xF0:  // ECM
        case 0xF1:  // EMM
        case 0xF2:  // DSMCC_stream
        case 0xF8:  // ITU-T H.222.1 type E
        case 0xFF:  // program_stream_directory
            return false;
        default: return true;
    }
}

bool ReadPesTimestamps(const std::uint8_t* packet, PesTimestamps& ts) {
    std::size_t o = 0;
    if (RefusedForPes(packet) || !PesPayloadOffset(packet, o) || !PesHeaderAt(packet, o)) return false;
    const std::uint8_t stream_id = packet[o + 3];
    if (!HasOptionalPesHeader(stream_id)) return false;
    if (stream_id >= 0xC0 && stream_id <= 0xDF)
        ts.Kind = kAudioKind;
    else if (stream_id >= 0xE0 && stream_id <= 0xEF)
        ts.Kind = kVideoKind;
    else
        ts.Kind = kOtherPesKind;
    ts.PtsOffset = static_cast<std::uint8_t>(o + 9);
    const std::size_t pts = o + 9;
    std::uint64_t& pts_slot = ts.Kind == kAudioKind ? ts.AudioPts : ts.Kind == kVideoKind ? ts.VideoPts : ts.OtherPts;
    std::uint64_t& dts_slot = ts.Kind == kAudioKind ? ts.AudioDts : ts.Kind == kVideoKind ? ts.VideoDts : ts.OtherDts;
    switch (packet[o + 7] >> 6) {
        case 0:
            return false;
        case 1:
            ts.HasPts = false;
            return true;
        case 2:
            if (pts + 5 > kPacketSize) return false;
            ts.PtsOnly = true;
            ts.HasPts = true;
            pts_slot = DecodeTimestamp(packet + pts) * 300;
            return true;
        default:
            if (pts + 10 > kPacketSize) return false;
            ts.PtsOnly = false;
            ts.HasPts = true;
            pts_slot = DecodeTimestamp(packet + pts) * 300;
            dts_slot = DecodeTimestamp(packet + pts + 5) * 300;
            return true;
    }
}

bool WritePesTimestamps(std::uint8_t* packet, const TimestampPatch& patch) {
    const std::size_t end = std::size_t(patch.Offset) + (patch.PtsOnly ? 5 : 10);
    if (end > kPacketSize) return false;
    PutTimestamp(packet + patch.Offset, patch.PtsPrefix, patch.Pts, patch.PtsMarkers);
    if (!patch.PtsOnly) PutTimestamp(packet + patch.Offset + 5, patch.DtsPrefix, patch.Dts, patch.DtsMarkers);
    return true;
}

}  // namespace tscard
