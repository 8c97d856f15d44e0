#pragma once
// Where each PID of the input goes, decided once per run: the packet rules
// (PAT, SDT, PCR, PMT, elementary streams, everything else) are tried in
// that order, so looking a PID up gives what trying them packet by packet
// would.

#include <array>
#include <cstdint>
#include <vector>

#include "demux/demux_output.h"

namespace tscard {

// Outputs are addressed by bit in a 64-bit mask.
constexpr std::size_t kMaxDemuxOutputs = 64;

enum class DemuxRule : std::uint8_t {
    Pat,    // every output gets its own PAT
    Sdt,    // every output gets its own SDT, with the running counter
    Pcr,    // the packet goes to Target, the others get null packets
    Pmt,    // Target gets its stored PMT, the others null packets
    Es,     // the outputs of Mask get the packet, the others null packets
    Other,  // every output gets a null packet
};

struct DemuxRoute {
    DemuxRule Rule = DemuxRule::Other;
    std::uint8_t Target = 0;
    std::uint64_t Mask = 0;
};

class DemuxRouting {
public:
    // At most kMaxDemuxOutputs outputs.
    explicit DemuxRouting(const std::vector<DemuxOutput>& outputs);
    // pid as FoldPid reads it (0..0x1FFF).
    const DemuxRoute& For(std::uint16_t pid) const { return routes_[pid & 0x1FFF]; }

private:
    std::array<DemuxRoute, 0x2000> routes_{};
};

}  // namespace tscard
