#pragma once
// descriptor_tag of the PMT descriptors the system looks at
// (ISO/IEC 13818-1, ETSI EN 300 468).

#include <cstdint>

namespace tscard {

constexpr std::uint8_t kIso639LanguageTag = 0x0A;
constexpr std::uint8_t kVbiTeletextTag = 0x46;
constexpr std::uint8_t kTeletextTag = 0x56;
constexpr std::uint8_t kSubtitlingTag = 0x59;
constexpr std::uint8_t kAc3Tag = 0x6A;
constexpr std::uint8_t kEnhancedAc3Tag = 0x7A;
constexpr std::uint8_t kDtsTag = 0x7B;
constexpr std::uint8_t kAacTag = 0x7C;

}  // namespace tscard
