#include "ts/model.h"

namespace tscard {

void ComputeBlockFigures(std::uint64_t bytes, bool packet192, StreamLayout& layout) {
    layout.BigBlocks = bytes / kBigBlockBytes;
    std::uint64_t rest = bytes % kBigBlockBytes;
    layout.MidBlocks = 0;
    if (rest > kMidBlockBytes) {
        layout.MidBlocks = rest / kMidBlockBytes;
        rest %= kMidBlockBytes;
    }
    layout.TailPackets = static_cast<std::uint8_t>(rest / (packet192 ? kUnit192Size : kPacketSize));
}

void ComputeWindowFigures(std::uint64_t bytes, StreamLayout& layout) {
    layout.WindowCount = bytes / kWindowSize;
    layout.TailBytes = static_cast<std::uint32_t>(bytes % kWindowSize);
}

void ResultLists::Clear() {
    ProgramNumbers.clear();
    PmtPids.clear();
    ParsedPrograms.clear();
    PcrPids.clear();
    KnownPids.clear();
    ProgramList.clear();
}

StreamClass ClassifyStreamType(std::uint8_t stream_type) {
    if (stream_type >= 0x80 && stream_type <= 0xFE) return StreamClass::UserDefined;
    switch (stream_type) {
        case 0x01:
        case 0x02: return StreamClass::Video;
        case 0x03:
        case 0x04:
        case 0x0F: return StreamClass::Audio;
        case 0x05: return StreamClass::VideoNvod;
        case 0x06: return StreamClass::PesPacket;
        case 0x1B: return StreamClass::VideoHd;
        default: return StreamClass::None;
    }
}

std::string_view StreamClassText(std::uint8_t stream_type) {
    switch (ClassifyStreamType(stream_type)) {
        case StreamClass::Video: return "video)";
        case StreamClass::Audio: return "audio)";
        case StreamClass::VideoNvod: return "video NVOD)";
        case StreamClass::PesPacket: return "PES packet)";
        case StreamClass::VideoHd: return "video HD)";
        case StreamClass::UserDefined: return "define by user)";
        case StreamClass::None: break;
    }
    return "";
}

}  // namespace tscard
