#pragma once
// Where a packet's payload lies for the PES-level operations (timestamps,
// picture and group-of-pictures headers). Everything here looks at one
// 188-byte packet only; nothing is reassembled across packets.

#include <cstddef>
#include <cstdint>

#include "ts/packet.h"

namespace tscard {

// Payload offset by adaptation_field_control: 01 -> 4, 11 -> 5 + length,
// 00 -> 5; 10 carries no payload (false). The offset may lie past the
// packet when the adaptation field length is out of range; callers check.
bool PesPayloadOffset(const std::uint8_t* packet, std::size_t& offset);

// A packet the PES operations never look into: transport_error_indicator
// set, or an adaptation field (control 11) of length 0.
bool RefusedForPes(const std::uint8_t* packet);

// True when at least 9 bytes follow `offset` and they begin with the
// packet_start_code_prefix 00 00 01.
bool PesHeaderAt(const std::uint8_t* packet, std::size_t offset);

// Start codes are looked for only where all four bytes lie in the packet.
constexpr std::size_t kLastStartCodeByte = 184;

// First position >= from (and <= kLastStartCodeByte) where 00 00 01 code
// begins, or kPacketSize when there is none.
std::size_t FindStartCode(const std::uint8_t* packet, std::size_t from, std::uint8_t code);

inline bool StartCodeAt(const std::uint8_t* packet, std::size_t at, std::uint8_t code) {
    return packet[at] == 0x00 && packet[at + 1] == 0x00 && packet[at + 2] == 0x01 && packet[at + 3] == code;
}

}  // namespace tscard
