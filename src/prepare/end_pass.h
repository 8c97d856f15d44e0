#pragma once
// The repair of an MPEG-2 output's tail: the output is cut before its last
// group-of-pictures header, the group that is now last gets broken_link,
// and the B pictures after its last I or P picture become P pictures, so
// that the stream ends on pictures a decoder can show.

#include <cstdint>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

// Output offsets of the last two packets written in which a
// group-of-pictures header was found.
struct GopOffsets {
    std::uint64_t Last = 0;
    std::uint64_t Prev = 0;
    std::uint64_t Count = 0;

    void Record(std::uint64_t offset) {
        Prev = Last;
        Last = offset;
        ++Count;
    }
};

struct EndPassResult {
    bool Run = false;  // false: fewer than two GOP packets were written
    std::uint64_t TruncatedAt = 0;
    bool BrokenLinkSet = false;
    bool PictureFound = false;  // an I or P picture lies in the last group
    std::uint64_t DemotedPictures = 0;
};

// Works on the output file in place, in constant memory. With fewer than
// two recorded GOP packets nothing is done; with no I or P picture in the
// new last group nothing is demoted.
Status RepairTail(File& output, const GopOffsets& gops, EndPassResult& result);

}  // namespace tscard
