#pragma once
// table_id of the sections the system reads and writes.

#include <cstdint>

namespace tscard {

constexpr std::uint8_t kPatTableId = 0x00;  // program_association_section (ISO/IEC 13818-1)
constexpr std::uint8_t kPmtTableId = 0x02;  // TS_program_map_section (ISO/IEC 13818-1)
constexpr std::uint8_t kSdtTableId = 0x42;  // service_description_section of this stream (EN 300 468)

}  // namespace tscard
