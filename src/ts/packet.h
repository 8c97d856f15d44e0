#pragma once
// Transport packet conventions (ISO/IEC 13818-1): 188-byte packets, or
// 192-byte units whose 4-byte prefix is skipped and never interpreted.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tscard {

constexpr std::size_t kPacketSize = 188;
constexpr std::size_t kUnit192Size = 192;
constexpr std::size_t kUnitPrefixSize = 4;
constexpr std::uint8_t kSyncByte = 0x47;
constexpr std::uint16_t kNullPid = 0x1FFF;
constexpr std::uint16_t kPatPid = 0x0000;
constexpr std::uint16_t kNitPid = 0x0010;
constexpr std::uint16_t kSdtPid = 0x0011;
constexpr std::uint64_t kSystemClockHz = 27000000;
// Bits in one packet (188 x 8).
constexpr double kBitsPerPacket = 1504.0;
// 27 MHz ticks in a microsecond: bits over ticks, times this, is Mbit/s.
constexpr double kTicksPerMicrosecond = 27.0;

using Packet = std::array<std::uint8_t, kPacketSize>;

// The PID of bytes 1 and 2, with the reserved values 4..15 read as 15 and
// 22..29 as 29. Every packet consumer reads PIDs through this; the PSI
// dispatch depends on the folding.
inline std::uint16_t FoldPid(const std::uint8_t* packet) {
    const std::uint16_t pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
    if (pid >= 4 && pid <= 15) return 15;
    if (pid >= 22 && pid <= 29) return 29;
    return pid;
}

inline bool TransportErrorIndicator(const std::uint8_t* packet) { return (packet[1] & 0x80) != 0; }
inline bool PayloadUnitStart(const std::uint8_t* packet) { return (packet[1] & 0x40) != 0; }
inline unsigned AdaptationFieldControl(const std::uint8_t* packet) { return (packet[3] >> 4) & 3; }
inline unsigned ContinuityCounter(const std::uint8_t* packet) { return packet[3] & 0x0F; }
inline unsigned AdaptationFieldLength(const std::uint8_t* packet) { return packet[4]; }

// Overwrites the 13 PID bits (low 5 bits of byte 1, byte 2); bits 7-5 of
// byte 1 keep their value.
inline void SetPid(std::uint8_t* packet, std::uint16_t pid) {
    packet[1] = static_cast<std::uint8_t>((packet[1] & 0xE0) | ((pid >> 8) & 0x1F));
    packet[2] = static_cast<std::uint8_t>(pid & 0xFF);
}

inline void SetContinuityCounter(std::uint8_t* packet, unsigned counter) {
    packet[3] = static_cast<std::uint8_t>((packet[3] & 0xF0) | (counter & 0x0F));
}

// True when the packet has an adaptation field of length above 0 with
// PCR_flag set (bytes 6..11 then hold the PCR).
inline bool HasPcr(const std::uint8_t* packet) {
    return AdaptationFieldControl(packet) >= 2 && packet[4] > 0 && (packet[5] & 0x10) != 0;
}

// The PCR of bytes 6..11 in 27 MHz ticks: base x 300 + extension.
inline std::uint64_t PcrTicks(const std::uint8_t* packet) {
    const std::uint64_t base = (std::uint64_t(packet[6]) << 25) | (std::uint64_t(packet[7]) << 17) |
                               (std::uint64_t(packet[8]) << 9) | (std::uint64_t(packet[9]) << 1) |
                               (std::uint64_t(packet[10]) >> 7);
    const std::uint64_t extension = (std::uint64_t(packet[10] & 1) << 8) | packet[11];
    return base * 300 + extension;
}

// 0x47 0x1F 0xFF 0x1F and 184 bytes 0xFF: PID 0x1FFF, payload only,
// continuity_counter 15.
const Packet& NullPacket();
// 0xA1 0xA1 0xA1 0xA1 and 184 zero bytes: written between spliced files.
const Packet& SeparatorPacket();
inline bool IsSeparator(const std::uint8_t* block) {
    return block[0] == 0xA1 && block[1] == 0xA1 && block[2] == 0xA1 && block[3] == 0xA1;
}

}  // namespace tscard
