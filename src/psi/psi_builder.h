#pragma once
// The PAT, PMT and SDT of a one-program stream, each one section in one
// packet, and the PID-level operations the prepare worker applies to the
// other packets.

#include <cstdint>
#include <string_view>
#include <vector>

#include "ts/model.h"

namespace tscard {

// PID 0: transport_stream_id 1, version 1, the one program; continuity 0.
Packet BuildPat(const ProgramRemap& remap);

// Rewrites a copy of the source's first PMT packet in place: PMT PID,
// program_number, PCR_PID, elementary PIDs by stream type, new CRC. False
// (packet untouched) when the section does not lie whole in the packet from
// byte 5, its stream loop is malformed, or a target list is too short.
[[nodiscard]] bool BuildPmt(const ProgramRemap& remap, Packet& pmt);

// Largest provider + service name length that fits in the SDT packet.
constexpr std::size_t kMaxSdtNameBytes = 158;
// PID 0x11 with the two names as given (8-bit bytes, no selector byte).
// False when the names together exceed kMaxSdtNameBytes.
[[nodiscard]] bool BuildSdt(const ProgramRemap& remap, std::string_view provider, std::string_view name, Packet& sdt);
// service_type for a VideoStreamType.
std::uint8_t ServiceTypeFor(std::uint32_t video_stream_type);

// table_id of the section that starts in the packet, or 0.
std::uint8_t SectionTableId(const std::uint8_t* packet);

enum class PsiKind { None, Pat, Sdt, Pmt };
// Which generated packet replaces this one; only PIDs in known_pids qualify.
PsiKind ClassifyPsiPid(std::uint16_t pid, std::uint8_t table_id, const std::vector<std::uint16_t>& known_pids,
                       const std::vector<std::uint16_t>& pmt_pids);

// Rewrites the packet's PID to its target value; source PIDs 0 (no such
// stream) and 0x1FFF are never matched.
void RemapPids(std::uint8_t* packet, const ProgramRemap& remap);
bool RemapDiffers(const ProgramRemap& remap);

}  // namespace tscard
