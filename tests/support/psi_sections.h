#pragma once
// Hand-built PSI sections for tests: each function returns the section from
// table_id to CRC_32 with a correct CRC (see SectionPackets to packetise).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ts/packet.h"

namespace tscard::test {

struct PatProgram {
    std::uint16_t program_number;
    std::uint16_t pmt_pid;
};
std::vector<std::uint8_t> PatSection(const std::vector<PatProgram>& programs, std::uint16_t ts_id = 1);

struct PmtStream {
    std::uint8_t stream_type;
    std::uint16_t pid;
    std::vector<std::uint8_t> descriptors;
};
std::vector<std::uint8_t> PmtSection(std::uint16_t program_number, std::uint16_t pcr_pid,
                                     const std::vector<PmtStream>& streams,
                                     const std::vector<std::uint8_t>& program_descriptors = {});

struct SdtService {
    std::uint16_t service_id;
    // Each pair is one service_descriptor: provider, name.
    std::vector<std::pair<std::string, std::string>> descriptors;
};
std::vector<std::uint8_t> SdtSection(const std::vector<SdtService>& services, std::uint8_t section_number = 0,
                                     std::uint8_t last_section_number = 0, std::uint16_t ts_id = 1);

// A packet with an adaptation field carrying a PCR (27 MHz value).
Packet PcrPacket(std::uint16_t pid, std::uint64_t pcr, std::uint8_t counter = 0);
// A payload-only packet of the PID filled with a byte.
Packet PayloadPacket(std::uint16_t pid, std::uint8_t fill = 0x00, std::uint8_t counter = 0, bool pusi = false);

}  // namespace tscard::test
