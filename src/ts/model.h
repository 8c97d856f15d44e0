#pragma once
// What the system knows about an opened stream: the request that starts an
// analysis, the PSI state of one analysis, the result lists and the
// per-program records that preparing, demultiplexing and card writing read.
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

enum class AnalysisMode : std::uint8_t {
    ModeCardWrite = 0,  // write to the card
    ModePrepare = 1,    // prepare one program
    ModeParse = 2,      // split a multi-program stream
};

struct AnalysisRequest {
    std::uint8_t Reserved = 0;
    AnalysisMode Mode = AnalysisMode::ModePrepare;
    std::string Path;  // full path of the stream file
};

struct EsEntry {
    std::uint16_t Pid = 0;
    std::uint8_t StreamType = 0;
};

struct ProgramEntry {
    std::uint16_t PmtPid = 0;
    std::uint16_t ProgramNumber = 0;
    std::uint16_t PcrPid = kNullPid;  // 0x1FFF until the PMT has been read
    std::vector<EsEntry> Streams;     // PMT order (PMT reader only)
    std::uint8_t PmtRead = 0;         // PAT entries only
};

// Assembly of one PSI section. Data holds the section's first packet as
// received, followed by the payload of each continuation packet, so the
// section's bytes are contiguous from SectionStart on.
struct SectionBuffer {
    // Room for the first packet and six continuations: enough for a
    // 1024-byte section whatever the first packet's header takes.
    static constexpr std::size_t kCapacity = kPacketSize + 6 * 184;

    std::array<std::uint8_t, kCapacity> Data{};
    std::size_t WritePos = 0;      // where the next continuation payload goes
    std::size_t SectionStart = 5;  // offset of table_id in Data
    std::uint16_t Pid = 0;         // PMT only
    std::uint8_t Packets = 0;
    std::uint8_t SectionNumber = 0;      // SDT only
    std::uint8_t LastSectionNumber = 0;  // SDT only
    std::uint16_t SectionLength = 0;
    std::uint16_t TsId = 0;           // PAT, SDT
    std::uint16_t ProgramNumber = 0;  // PMT only
    std::uint8_t Assembling = 0;      // 1 while a multi-packet section is collected
};

constexpr std::size_t kMaxPrograms = 32;

// Result codes of the PSI readers and of ProcessPacket.
enum PsiCode : std::int32_t {
    kPsiComplete = 0,       // every PAT program has its PMT (SDT reader: section_length above 1024)
    kPsiInitial = 100,      // nothing assembled yet
    kPsiSectionRead = 101,  // a section was completed, passed the CRC and was read
    kPsiNeedMore = 102,     // more packets needed, or nothing to do with this packet
    kPsiStopped = 106,      // the stop request was found set (and cleared)
    kPsiCrcError = 108,
    kPsiRefused = 113,  // section_length above 1024, or a PMT of another program
    kPsiIgnored = 124,  // a PID or table that is not read
};

// The PSI state of one analysis.
struct StreamAnalysis {
    std::vector<ProgramEntry> PatPrograms;  // PAT order, at most kMaxPrograms
    std::vector<std::uint16_t> ServiceIds;  // one per SDT service
    std::vector<std::string> Providers;     // one per service descriptor (8-bit bytes)
    std::vector<std::string> ServiceNames;  // one per service descriptor (8-bit bytes)
    SectionBuffer PatBuffer;
    std::int32_t PatState = kPsiInitial;
    SectionBuffer SdtBuffer;
    std::int32_t SdtState = kPsiInitial;
    std::int32_t NitState = kPsiInitial;
    std::array<SectionBuffer, kMaxPrograms> PmtSlots;
    std::array<std::int32_t, kMaxPrograms> PmtStates;
    std::uint8_t PatDone = 0;
    std::uint8_t SdtDone = 0;
    double CardSizeRatio = 1.0;
    std::uint8_t SdtSectionNumber = 0;
    std::uint8_t SdtExpectedSection = 0;
    double MeasuredBitrate = 0.0;  // Mbit/s

    StreamAnalysis() { PmtStates.fill(kPsiInitial); }
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
    std::uint8_t PcrInVideo = 0;
    std::uint32_t VideoStreamType = 0;
    std::string SourceProvider;
    std::string SourceName;
    std::string TargetProvider;
    std::string TargetName;
    Packet StoredPat{};
    Packet StoredSdt{};
    Packet StoredPmt{};
    std::uint8_t Selected = 0;
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
    std::int64_t CardBytes = 0;
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
