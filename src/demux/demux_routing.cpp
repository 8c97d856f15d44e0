#include "demux/demux_routing.h"

#include <algorithm>

namespace tscard {

DemuxRouting::DemuxRouting(const std::vector<DemuxOutput>& outputs) {
    const std::size_t count = std::min(outputs.size(), kMaxDemuxOutputs);
    for (std::uint32_t pid = 0; pid < routes_.size(); ++pid) {
        DemuxRoute& route = routes_[pid];
        if (pid == kPatPid) {
            route.Rule = DemuxRule::Pat;
            continue;
        }
        if (pid == kSdtPid) {
            route.Rule = DemuxRule::Sdt;
            continue;
        }
        // A PCR on a PID of its own goes to the first program that uses it.
        bool found = false;
        for (std::size_t i = 0; i < count && !found; ++i) {
            if (outputs[i].PcrPid == pid && !outputs[i].PcrInEs) {
                route = {DemuxRule::Pcr, static_cast<std::uint8_t>(i), 0};
                found = true;
            }
        }
        for (std::size_t i = 0; i < count && !found; ++i) {
            if (outputs[i].PmtPid == pid) {
                route = {DemuxRule::Pmt, static_cast<std::uint8_t>(i), 0};
                found = true;
            }
        }
        if (found) continue;
        std::uint64_t mask = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const auto& es = outputs[i].EsPids;
            if (std::find(es.begin(), es.end(), pid) != es.end()) mask |= std::uint64_t{1} << i;
        }
        if (mask != 0) route = {DemuxRule::Es, 0, mask};
    }
}

}  // namespace tscard
