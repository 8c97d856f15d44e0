#pragma once
// What the system knows about an opened stream: the programs and streams
// the PSI tables announce, the result lists and the per-program records
// that preparing, demultiplexing and card writing read, and the layout
// figures of the file.
// All of it is plain data owned by whoever runs the analysis (the window or
// a command line command) and passed explicitly.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ts/packet.h"

namespace tscard {

struct EsEntry {
    std::uint16_t Pid = 0;
    std::uint8_t StreamType = 0;
    // The tags of the stream's ES_info descriptors, in PMT order: what a
    // private stream (type 0x06) carries is told only by them (AC-3 0x6A,
    // E-AC-3 0x7A, teletext 0x56, subtitles 0x59).
    std::vector<std::uint8_t> DescriptorTags;
    // The first ISO 639 language code (descriptor 0x0A), 8-bit text; empty
    // when the PMT gives none.
    std::string Language;
};

struct ProgramEntry {
    std::uint16_t PmtPid = 0;
    std::uint16_t ProgramNumber = 0;
    std::uint16_t PcrPid = kNullPid;  // 0x1FFF until the PMT has been read
    std::vector<EsEntry> Streams;     // PMT order (PMT reader only)
    bool PmtRead = false;             // PAT entries only
};

// One program as the system edits and uses it. Source fields hold what the
// stream carries, target fields what preparing writes. Names are 8-bit text.
struct ProgramRemap {
    std::uint32_t SourcePmtPid = 0;
    std::uint32_t SourceProgramNumber = 0;
    std::uint32_t SourcePcrPid = 0;
    std::uint32_t SourceVideoPid = 0;
    std::vector<std::uint16_t> SourceAudioPids;
    std::vector<std::uint16_t> SourcePesPids;
    std::vector<std::uint16_t> AllEsPids;
    std::uint32_t TargetPmtPid = 0;
    std::uint32_t TargetProgramNumber = 0;
    std::uint32_t TargetPcrPid = 0;
    std::uint32_t TargetVideoPid = 0;
    std::vector<std::uint16_t> TargetAudioPids;
    std::vector<std::uint16_t> TargetPesPids;
    bool PcrInVideo = false;  // the video PID carries the PCR
    std::uint32_t VideoStreamType = 0;
    std::string SourceProvider;
    std::string SourceName;
    std::string TargetProvider;
    std::string TargetName;
    Packet StoredPat{};
    Packet StoredSdt{};
    Packet StoredPmt{};
    bool Selected = false;  // to be demultiplexed
};

// Figures of the analysed file that the card writer uses.
struct StreamLayout {
    std::int64_t StartOffset = 0;
    std::uint64_t RemainingBytes = 0;
    std::uint64_t WindowCount = 0;
    std::uint32_t TailBytes = 0;
    std::uint64_t BigBlocks = 0;
    std::uint64_t MidBlocks = 0;
    std::uint8_t TailPackets = 0;
    std::string StreamFileName;
    std::uint64_t WindowOffset = 0;
};

constexpr std::uint64_t kWindowSize = 65536;
constexpr std::uint64_t kBigBlockBytes = 344 * kPacketSize;  // 64,672
constexpr std::uint64_t kMidBlockBytes = 43 * kPacketSize;   // 8,084

// BigBlocks, MidBlocks and TailPackets of a byte count.
void ComputeBlockFigures(std::uint64_t bytes, bool packet192, StreamLayout& layout);
// WindowCount and TailBytes of a byte count.
void ComputeWindowFigures(std::uint64_t bytes, StreamLayout& layout);

// The lists an analysis fills; a new analysis empties them.
struct ResultLists {
    std::vector<std::uint16_t> ProgramNumbers;   // PAT order, program 0 excluded
    std::vector<std::uint16_t> PmtPids;          // parallel to ProgramNumbers
    std::vector<ProgramEntry> ParsedPrograms;    // one per PMT section read
    std::vector<std::uint16_t> PcrPids;          // ProgramList order
    std::vector<std::uint16_t> KnownPids;
    std::vector<ProgramRemap> ProgramList;

    void Clear();
};

// Stream-type classes shown after the stream_type in the content view.
enum class StreamClass { None, Video, Audio, VideoNvod, PesPacket, VideoHd, UserDefined };
StreamClass ClassifyStreamType(std::uint8_t stream_type);
// "video)", "audio)", ... or "" for a type without class text.
std::string_view StreamClassText(std::uint8_t stream_type);

}  // namespace tscard
