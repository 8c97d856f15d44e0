#pragma once
// CRC-32/MPEG-2 of ISO/IEC 13818-1: polynomial 0x04C11DB7, register preset
// to 0xFFFFFFFF, most significant bit first, no final inversion. A section
// is intact when the CRC over all of it, CRC_32 field included, is 0.

#include <cstddef>
#include <cstdint>

namespace tscard {

std::uint32_t Crc32Mpeg2(const std::uint8_t* data, std::size_t length);

}  // namespace tscard
