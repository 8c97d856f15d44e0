#pragma once
// MPEG-2 video (ISO/IEC 13818-2) headers seen within one 188-byte packet:
// group-of-pictures headers and the coding type of pictures. Only packets
// that start a PES with a video stream_id (0xE0..0xFF) are looked into.

#include <cstdint>

namespace tscard {

// Whether the first group-of-pictures header of a run has had its
// broken_link set; cleared before each run.
struct GopMarking {
    bool FirstGopMarked = false;
};

// True when the payload, after the PES header, holds a group_start_code;
// the first one of a run also gets broken_link set (byte 7 of the header,
// when that byte lies in the packet) and marks `marking`.
bool DetectGop(std::uint8_t* packet, GopMarking& marking);

// Sets broken_link in the first group-of-pictures header found from the
// PES header's optional fields on, and discontinuity_indicator when the
// packet has an adaptation field. False, packet unchanged, when none.
bool MarkGopBrokenLink(std::uint8_t* packet);

enum PictureType : int { kNoPicture = 0, kIPicture = 1, kPPicture = 2, kBPicture = 3 };

// Coding type of the first I, P or B picture header of a video PES start
// packet ("I Frame", "P Frame", "B Frame" on the debug log), or kNoPicture.
int FirstPictureType(const std::uint8_t* packet);

// Turns the first picture of the packet into a P picture when it is a B
// picture; stops unchanged at an I or P picture or at the first slice.
// True when the packet changed.
bool DemoteTrailingB(std::uint8_t* packet);

}  // namespace tscard
