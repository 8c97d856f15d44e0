#pragma once
// Reading PAT, PMT and SDT sections (ISO/IEC 13818-1, ETSI EN 300 468) out
// of transport packets into the program structure of an analysis.

#include <cstddef>
#include <cstdint>

#include "platform/stop_flag.h"
#include "psi/psi_state.h"
#include "ts/model.h"

namespace tscard {

// Where a packet's payload begins: the pointer_field of a section start, or
// the first continuation byte. present is false when the packet carries none.
struct PayloadPosition {
    bool present = false;
    std::size_t offset = 0;
};
PayloadPosition LocatePayload(const std::uint8_t* packet);

// Routes one 188-byte packet to the PAT, SDT or PMT reader and returns a
// PsiCode. Returns kPsiComplete once every PAT program has its PMT (checked
// before the packet is looked at), unless route_after_complete is set, in
// which case the packet is still routed (the analyzer keeps reading the SDT).
// A set stop flag is cleared and gives kPsiStopped.
std::int32_t ProcessPacket(StreamAnalysis& analysis, ResultLists& lists, const std::uint8_t* packet,
                           StopFlag* stop = nullptr, bool route_after_complete = false);

// True when the PAT has been read, it names at least one program and every
// one of them has its PMT.
bool DescriptionComplete(const StreamAnalysis& analysis, const ResultLists& lists);

// The three section readers; each returns a PsiCode.
std::int32_t ReadPat(StreamAnalysis& analysis, ResultLists& lists, const std::uint8_t* packet,
                     const PayloadPosition& payload);
std::int32_t ReadPmt(StreamAnalysis& analysis, ResultLists& lists, std::size_t slot,
                     const std::uint8_t* packet, const PayloadPosition& payload);
std::int32_t ReadSdt(StreamAnalysis& analysis, const std::uint8_t* packet, const PayloadPosition& payload);

}  // namespace tscard
