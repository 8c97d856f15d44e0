#include "psi/frame_types.h"

#include "platform/log.h"
#include "psi/pes_payload.h"
#include "ts/packet.h"

namespace tscard {
namespace {

constexpr std::uint8_t kPictureStart = 0x00;
constexpr std::uint8_t kFirstSliceStart = 0x01;
constexpr std::uint8_t kSequenceHeader = 0xB3;
constexpr std::uint8_t kGroupStart = 0xB8;
// H.264 NAL unit starts of a non-IDR and an IDR slice.
constexpr std::uint8_t kH264NonIdrSlice = 0x41;
constexpr std::uint8_t kH264IdrSlice = 0x65;

// broken_link is bit 5 of the fourth byte after the group_start_code;
// picture_coding_type sits in bits 5..3 of the second byte after the
// picture_start_code.
constexpr std::size_t kBrokenLinkByte = 7;
constexpr std::uint8_t kBrokenLinkBit = 0x20;
constexpr std::size_t kCodingTypeByte = 5;
constexpr std::uint8_t kDiscontinuityIndicator = 0x80;

// The payload offset of a packet that starts a video PES, or false.
bool VideoPesStart(const std::uint8_t* packet, std::size_t& o) {
    if (RefusedForPes(packet) || !PesPayloadOffset(packet, o) || !PesHeaderAt(packet, o)) return false;
    return packet[o + 3] >= 0xE0;
}

bool InPacket(std::size_t at) { return at < kPacketSize; }

}  // namespace

bool DetectGop(std::uint8_t* packet, GopMarking& marking) {
    std::size_t o = 0;
    if (!VideoPesStart(packet, o)) return false;
    const std::size_t at = FindStartCode(packet, o + 9 + packet[o + 8], kGroupStart);
    if (at == kPacketSize) return false;
    if (!marking.FirstGopMarked) {
        // A header cut by the packet end keeps its flag: the byte is in the
        // next packet, which is never looked into.
        if (InPacket(at + kBrokenLinkByte)) packet[at + kBrokenLinkByte] |= kBrokenLinkBit;
        marking.FirstGopMarked = true;
    }
    return true;
}

bool MarkGopBrokenLink(std::uint8_t* packet) {
    std::size_t o = 0;
    if (!VideoPesStart(packet, o)) return false;
    const std::size_t at = FindStartCode(packet, o + 9, kGroupStart);
    if (at == kPacketSize) return false;
    if (InPacket(at + kBrokenLinkByte)) packet[at + kBrokenLinkByte] |= kBrokenLinkBit;
    if (AdaptationFieldControl(packet) == 3) packet[5] |= kDiscontinuityIndicator;
    return true;
}

int FirstPictureType(const std::uint8_t* packet) {
    if (TransportErrorIndicator(packet)) return kNoPicture;
    std::size_t o = 0;
    if (!PesPayloadOffset(packet, o) || !PesHeaderAt(packet, o) || packet[o + 3] < 0xE0) return kNoPicture;
    for (std::size_t at = o + 9; at <= kLastStartCodeByte;) {
        if (StartCodeAt(packet, at, kPictureStart)) {
            if (!InPacket(at + kCodingTypeByte)) return kNoPicture;
            switch ((packet[at + kCodingTypeByte] >> 3) & 7) {
                case kIPicture: DebugLog("I Frame"); return kIPicture;
                case kPPicture: DebugLog("P Frame"); return kPPicture;
                case kBPicture: DebugLog("B Frame"); return kBPicture;
                default: at += 4; continue;
            }
        }
        at += StartCodeAt(packet, at, kSequenceHeader) || StartCodeAt(packet, at, kGroupStart) ? 4 : 1;
    }
    return kNoPicture;
}

bool DemoteTrailingB(std::uint8_t* packet) {
    std::size_t o = 0;
    if (!VideoPesStart(packet, o)) return false;
    for (std::size_t at = o + 9; at <= kLastStartCodeByte; ++at) {
        if (StartCodeAt(packet, at, kFirstSliceStart) || StartCodeAt(packet, at, kH264NonIdrSlice) ||
            StartCodeAt(packet, at, kH264IdrSlice))
            return false;
        if (!StartCodeAt(packet, at, kPictureStart)) continue;
        if (!InPacket(at + kCodingTypeByte)) return false;
        const int type = (packet[at + kCodingTypeByte] >> 3) & 7;
        if (type == kIPicture || type == kPPicture) return false;
        if (type == kBPicture) {
            packet[at + kCodingTypeByte] &= static_cast<std::uint8_t>(~0x08);
            return true;
        }
    }
    return false;
}

}  // namespace tscard
