#include "psi/pes_payload.h"

namespace tscard {

bool PesPayloadOffset(const std::uint8_t* packet, std::size_t& offset) {
    switch (AdaptationFieldControl(packet)) {
        case 1: offset = 4; return true;
        case 3: offset = 5 + std::size_t(AdaptationFieldLength(packet)); return true;
        case 0: offset = 5; return true;
        default: return false;
    }
}

bool RefusedForPes(const std::uint8_t* packet) {
    return TransportErrorIndicator(packet) ||
           (AdaptationFieldControl(packet) == 3 && AdaptationFieldLength(packet) == 0);
}

bool PesHeaderAt(const std::uint8_t* packet, std::size_t offset) {
    return offset + 9 <= kPacketSize && packet[offset] == 0x00 && packet[offset + 1] == 0x00 &&
           packet[offset + 2] == 0x01;
}

std::size_t FindStartCode(const std::uint8_t* packet, std::size_t from, std::uint8_t code) {
    for (std::size_t at = from; at <= kLastStartCodeByte; ++at)
        if (StartCodeAt(packet, at, code)) return at;
    return kPacketSize;
}

}  // namespace tscard
