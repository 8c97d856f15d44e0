// Feeds arbitrary packet sequences to the PSI readers. The first byte picks
// whether routing goes on after the description is complete.

#include <cstddef>
#include <cstdint>

#include "psi/psi_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool route_after_complete = (data[0] & 1) != 0;
    ++data;
    --size;
    tscard::StreamAnalysis analysis;
    tscard::ResultLists lists;
    for (std::size_t at = 0; at + tscard::kPacketSize <= size; at += tscard::kPacketSize)
        tscard::ProcessPacket(analysis, lists, data + at, nullptr, route_after_complete);
    return 0;
}
