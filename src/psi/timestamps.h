#pragma once
// Reading and rewriting the PCR of an adaptation field and the PTS/DTS of a
// PES header, each within one 188-byte packet.

#include <array>
#include <cstdint>

namespace tscard {

// A PCR as the adaptation field carries it. Its 27 MHz value is
// Base x 300 + Extension.
struct PcrValue {
    std::uint64_t Base = 0;      // 33 bits, 90 kHz
    std::uint8_t Reserved = 0x3F;  // 6 bits
    std::uint16_t Extension = 0;   // 9 bits, 27 MHz

    std::uint64_t Ticks() const { return Base * 300 + Extension; }
    // Splits a 27 MHz value: base = v / 300, extension = v mod 300, the
    // reserved bits all 1.
    static PcrValue FromTicks(std::uint64_t ticks);
};

// True and `pcr` filled when the packet carries a PCR: no
// transport_error_indicator, an adaptation field of length above 0 with
// PCR_flag set.
bool ReadPcr(const std::uint8_t* packet, PcrValue& pcr);
// Rewrites bytes 6..11; the packet must already carry a PCR there.
void WritePcr(std::uint8_t* packet, const PcrValue& pcr);

constexpr std::uint8_t kAudioKind = 6;
constexpr std::uint8_t kVideoKind = 14;
// Every other stream whose PES header has the optional fields: private
// stream 1 (AC-3, E-AC-3, DVB subtitles, teletext), and the rest of
// ISO/IEC 13818-1's list.
constexpr std::uint8_t kOtherPesKind = 1;

// True for a stream_id whose PES header carries the optional fields (and
// so may carry a PTS): 0xBD, 0xC0..0xEF, 0xF3..0xF7, 0xF9..0xFE. Not
// 0xBC, 0xBE, 0xBF, 0xF0..0xF2, 0xF8, 0xFF; a byte below 0xBC is no
// stream_id at all.
bool HasOptionalPesHeader(std::uint8_t stream_id);

// The timestamps of the PES headers read so far. A DTS slot keeps its value
// when a header of its kind carries a PTS only.
struct PesTimestamps {
    std::uint8_t PtsOffset = 0;  // packet offset of the first PTS byte
    std::uint8_t Kind = 0;       // kAudioKind, kVideoKind or kOtherPesKind of the last header read
    bool PtsOnly = false;        // the last header carries a PTS and no DTS
    // The last header read carries a PTS field (PTS_DTS_flags 10 or 11);
    // false for the forbidden value 01, which has none.
    bool HasPts = false;
    std::uint64_t AudioPts = 0;  // 27 MHz (PTS x 300)
    std::uint64_t AudioDts = 0;
    std::uint64_t VideoPts = 0;
    std::uint64_t VideoDts = 0;
    std::uint64_t OtherPts = 0;
    std::uint64_t OtherDts = 0;

    std::uint64_t Pts() const { return Kind == kAudioKind ? AudioPts : Kind == kVideoKind ? VideoPts : OtherPts; }
    std::uint64_t Dts() const { return Kind == kAudioKind ? AudioDts : Kind == kVideoKind ? VideoDts : OtherDts; }
};

// True when the packet starts a PES whose header has the optional fields
// (HasOptionalPesHeader: audio 0xC0..0xDF, video 0xE0..0xEF, and the
// others, private stream 1 among them) and whose PTS_DTS_flags are not 00;
// the timestamps of flags 10 and 11 are stored (x 300) in the slots of the
// header's kind. Flags 01 give true with HasPts false and no slot changed.
// Timestamp fields that would run past the packet are refused.
bool ReadPesTimestamps(const std::uint8_t* packet, PesTimestamps& timestamps);

// What WritePesTimestamps writes at Offset: the PTS in its 5-byte layout
// and, unless PtsOnly, the DTS in the next five bytes.
struct TimestampPatch {
    std::uint8_t Offset = 0;
    std::uint8_t PtsPrefix = 0x2;  // 0010 PTS only, 0011 PTS and DTS
    std::array<std::uint8_t, 3> PtsMarkers{1, 1, 1};
    std::uint64_t Pts = 0;  // 90 kHz, 33 bits
    std::uint8_t DtsPrefix = 0x1;
    std::array<std::uint8_t, 3> DtsMarkers{1, 1, 1};
    std::uint64_t Dts = 0;
    bool PtsOnly = true;
};

// Rewrites the timestamp bytes only (the flags and header length stay, so
// the patch must match the header). False, packet untouched, when the
// fields would run past the packet.
[[nodiscard]] bool WritePesTimestamps(std::uint8_t* packet, const TimestampPatch& patch);

// The 33-bit value of a 5-byte timestamp field.
std::uint64_t DecodeTimestamp(const std::uint8_t* field);

}  // namespace tscard
