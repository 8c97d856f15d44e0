#pragma once
// What an engineer reads first about an analysed stream: the file, its
// packet size and first packet, the size it takes on a card, and per
// program its number, service names, PMT and PCR PIDs and elementary
// streams. Built from what a completed analysis leaves, in any mode.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/stream_state.h"
#include "ts/model.h"

namespace tscard {

// A service's names as the SDT gives them (8-bit text), found or not.
struct SdtNames {
    bool Found = false;
    std::string Provider;
    std::string Name;
};

// The names the SDT gives program_number. The name lists need not run
// parallel to ServiceIds (a service may carry no or several service
// descriptors): they are read only within their bounds.
SdtNames FindServiceNames(const StreamAnalysis& analysis, std::uint16_t program_number);

struct ProgramSummary {
    std::uint16_t ProgramNumber = 0;
    std::uint16_t PmtPid = 0;
    // The PID that carries the program's PCRs (which may differ from the
    // one its PMT names), as the description gives it.
    std::uint16_t PcrPid = kNullPid;
    SdtNames Names;
    std::vector<EsEntry> Streams;  // PMT order
};

struct StreamSummary {
    std::string FileName;
    std::uint64_t FileBytes = 0;
    unsigned PacketSize = kPacketSize;  // 188, or 192 for units with a prefix
    std::int64_t FirstPacketOffset = 0;  // where the sync search found the first packet
    std::int64_t StartOffset = 0;        // where the stream starts, past leading null packets
    std::uint64_t Packets = 0;           // whole units from the first packet on
    std::int64_t CardBytes = 0;          // what a card write takes (CardBytesOf)
    bool SdtRead = false;
    std::vector<ProgramSummary> Programs;  // empty unless the analysis completed
};

// The summary of the state an analysis left: the file's figures once its
// first packet was found, the programs once the description was built.
StreamSummary SummariseStream(const StreamState& state);

}  // namespace tscard
