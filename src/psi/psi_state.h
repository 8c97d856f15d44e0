#pragma once
// The PSI state of one analysis: the sections being assembled, the state
// code of each reader, and what the PAT, PMT and SDT readers found. The
// readers (psi_reader.h) fill it; the analysis owns it, the prepare run and
// the bit-rate measurements read it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ts/model.h"
#include "ts/packet.h"

namespace tscard {

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
    bool Assembling = false;  // a multi-packet section is being collected
};

// The description has room for this many programs (PMT slots); a PAT that
// announces more is read up to them.
constexpr std::size_t kMaxPrograms = 32;

// Result codes of the PSI readers and of ProcessPacket.
enum PsiCode : std::int32_t {
    kPsiComplete = 0,       // every PAT program has its PMT (SDT reader: section_length above 1024)
    kPsiInitial = 100,      // nothing assembled yet
    kPsiSectionRead = 101,  // a section was completed, passed the CRC and was read
    kPsiNeedMore = 102,     // more packets needed, or nothing to do with this packet
    kPsiStopped = 106,      // the stop request was found set (and cleared)
    kPsiCrcError = 108,     // a section failed its CRC; the next one is awaited
    kPsiRefused = 113,      // section_length above 1024, or a PMT of another program
    kPsiIgnored = 124,      // a PID or table that is not read
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
    bool PatDone = false;  // the PAT has been read
    bool SdtDone = false;  // the SDT has been read
    double CardSizeRatio = 1.0;
    std::uint8_t SdtSectionNumber = 0;
    std::uint8_t SdtExpectedSection = 0;
    double MeasuredBitrate = 0.0;  // Mbit/s
};

}  // namespace tscard
