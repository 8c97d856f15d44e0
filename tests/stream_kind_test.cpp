// The kind a report names for an elementary stream: by stream_type, and
// for a private stream by its descriptors.

#include <gtest/gtest.h>

#include "ts/stream_kind.h"

namespace tscard {
namespace {

TEST(StreamKind, NamedByTypeOrByTheDescriptorsOfAPrivateStream) {
    struct Case {
        std::uint8_t type;
        std::vector<std::uint8_t> tags;
        const char* kind;
    };
    const Case cases[] = {
        {0x01, {}, "MPEG-1 video"},
        {0x02, {}, "MPEG-2 video"},
        {0x1B, {}, "H.264 video"},
        {0x24, {}, "HEVC video"},
        {0x03, {}, "MPEG-1 audio"},
        {0x04, {}, "MPEG-2 audio"},
        {0x0F, {}, "AAC audio"},
        {0x11, {}, "AAC audio (LATM)"},
        {0x81, {}, "AC-3 audio"},
        {0x87, {}, "E-AC-3 audio"},
        // A private stream is what its descriptors say, whatever else it carries.
        {0x06, {0x0A, 0x6A}, "AC-3 audio"},
        {0x06, {0x7A, 0x0A}, "E-AC-3 audio"},
        {0x06, {0x7B}, "DTS audio"},
        {0x06, {0x56}, "teletext"},
        {0x06, {0x46}, "teletext"},
        {0x06, {0x59}, "DVB subtitles"},
        {0x06, {0x0A}, "private data"},
        {0x06, {}, "private data"},
        // Descriptors tell nothing about a stream of another type.
        {0x02, {0x6A}, "MPEG-2 video"},
        {0x05, {}, "private sections"},
        {0x0D, {}, "DSM-CC data"},
        {0x86, {}, "data"},
        {0x00, {}, "data"},
    };
    for (const Case& c : cases) {
        EsEntry e;
        e.StreamType = c.type;
        e.DescriptorTags = c.tags;
        EXPECT_EQ(StreamKindText(e), c.kind) << int(c.type);
    }
}

}  // namespace
}  // namespace tscard
