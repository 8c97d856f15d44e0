#pragma once
// Sections out of the packets of one PID: each packet's payload is added
// to the section in hand, and every section that completes is handed out
// with its bytes contiguous. The tables a check reads from them: the PAT's
// programs and a PMT's PCR PID and streams.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tscard {

// A section's table_id was seen (its first byte), or a section is complete.
class SectionSink {
public:
    virtual ~SectionSink() = default;
    virtual void OnSectionStart(std::uint8_t table_id) = 0;
    virtual void OnSection(const std::uint8_t* section, std::size_t length) = 0;
};

class SectionAssembler {
public:
    // One 188-byte packet of the PID, in order.
    void Feed(const std::uint8_t* packet, SectionSink& sink);
    // A packet was lost or damaged: the section in hand is dropped.
    void Abort() { active_ = false; }

private:
    // Adds bytes to the section in hand; returns how many it took.
    std::size_t Take(const std::uint8_t* data, std::size_t length, SectionSink& sink);

    std::vector<std::uint8_t> section_;
    std::size_t needed_ = 0;  // the whole section's length, once its header is in
    bool active_ = false;
};

// True for the tables whose sections end in a CRC_32 that the check tests:
// PAT, CAT, PMT on their PIDs, and NIT, SDT, BAT, EIT, TOT on theirs.
bool CarriesCrc(std::uint16_t pid, bool pmt_pid, std::uint8_t table_id);

struct PatEntry {
    std::uint16_t ProgramNumber;
    std::uint16_t PmtPid;
};
struct PmtStreamEntry {
    std::uint8_t StreamType;
    std::uint16_t Pid;
    std::vector<std::uint8_t> DescriptorTags;  // of its ES_info, in order
};
struct PmtTable {
    std::uint16_t ProgramNumber = 0;
    std::uint8_t Version = 0;
    std::uint16_t PcrPid = 0x1FFF;
    std::vector<PmtStreamEntry> Streams;
};

// The header fields every long section shares.
inline std::uint8_t SectionVersion(const std::uint8_t* s) { return (s[5] >> 1) & 0x1F; }
inline bool SectionCurrent(const std::uint8_t* s) { return (s[5] & 1) != 0; }

// A whole PAT or PMT section whose CRC passed; false when it is too short
// for what it claims or not current.
bool ReadPatSection(const std::uint8_t* s, std::size_t length, std::vector<PatEntry>& programs);
bool ReadPmtSection(const std::uint8_t* s, std::size_t length, PmtTable& pmt);

}  // namespace tscard
