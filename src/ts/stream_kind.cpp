#include "ts/stream_kind.h"

#include <algorithm>

#include "ts/descriptor_tags.h"

namespace tscard {
namespace {

bool Has(const EsEntry& stream, std::uint8_t tag) {
    return std::find(stream.DescriptorTags.begin(), stream.DescriptorTags.end(), tag) != stream.DescriptorTags.end();
}

std::string_view PrivateKind(const EsEntry& stream) {
    if (Has(stream, kAc3Tag)) return "AC-3 audio";
    if (Has(stream, kEnhancedAc3Tag)) return "E-AC-3 audio";
    if (Has(stream, kDtsTag)) return "DTS audio";
    if (Has(stream, kAacTag)) return "AAC audio";
    if (Has(stream, kTeletextTag) || Has(stream, kVbiTeletextTag)) return "teletext";
    if (Has(stream, kSubtitlingTag)) return "DVB subtitles";
    return "private data";
}

}  // namespace

std::string_view StreamKindText(const EsEntry& stream) {
    switch (stream.StreamType) {
        case 0x01: return "MPEG-1 video";
        case 0x02: return "MPEG-2 video";
        case 0x03: return "MPEG-1 audio";
        case 0x04: return "MPEG-2 audio";
        case 0x05: return "private sections";
        case 0x06: return PrivateKind(stream);
        case 0x0B:
        case 0x0C:
        case 0x0D: return "DSM-CC data";
        case 0x0F: return "AAC audio";
        case 0x10: return "MPEG-4 video";
        case 0x11: return "AAC audio (LATM)";
        case 0x15: return "metadata";
        case 0x1B: return "H.264 video";
        case 0x24: return "HEVC video";
        case 0x81: return "AC-3 audio";
        case 0x87: return "E-AC-3 audio";
        default: return "data";
    }
}

}  // namespace tscard
