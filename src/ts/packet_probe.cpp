#include "ts/packet_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ts/packet.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

// Bad probes among k = 2..6 of the probes at sync_byte + spacing * k
// (k = 1..7): a probe is bad when it is not a sync byte and at least one of
// its neighbours is not either. Bytes past the end of the file are bad.
int CountBadProbes(std::span<const std::uint8_t> head, std::uint64_t file_size, std::uint64_t sync_byte,
                   std::uint64_t spacing) {
    bool good[8] = {};
    for (int k = 1; k <= 7; ++k) {
        const std::uint64_t at = sync_byte + spacing * std::uint64_t(k);
        good[k] = at < file_size && at < head.size() && head[at] == kSyncByte;
    }
    int bad = 0;
    for (int k = 2; k <= 6; ++k)
        if (!good[k] && (!good[k - 1] || !good[k + 1])) ++bad;
    return bad;
}

}  // namespace

SyncCheck Check188(std::span<const std::uint8_t> head, std::uint64_t file_size, std::uint64_t from) {
    const std::uint64_t available = std::min<std::uint64_t>(head.size(), file_size);
    const std::uint64_t end = std::min(available, from + kSyncSearchLimit);
    for (std::uint64_t at = from; at < end; ++at) {
        if (head[at] != kSyncByte) continue;
        return SyncCheck{CountBadProbes(head, file_size, at, kPacketSize), at};
    }
    return SyncCheck{kCheck188GaveUp, end};
}

SyncCheck Check192(std::span<const std::uint8_t> head, std::uint64_t file_size, std::uint64_t sync_byte) {
    // A unit's 0x47 follows its 4-byte prefix; one closer to the start of
    // the file has no unit around it.
    if (sync_byte < kUnitPrefixSize) return SyncCheck{kCheck192GaveUp, 0};
    return SyncCheck{CountBadProbes(head, file_size, sync_byte, kUnit192Size), sync_byte - kUnitPrefixSize};
}

Words UnknownStreamFormat(const std::string& path, const Words& found) {
    return Words(N_("%1: Unknow stream format (%2)"), {path, found});
}

PacketProbe FindPacketStart(std::span<const std::uint8_t> head, std::uint64_t file_size, StopFlag* stop) {
    PacketProbe probe;
    probe.Outcome = ProbeOutcome::UnknownFormat;
    if (file_size == 0) {
        probe.Message = Words(N_("the file is empty"));
        return probe;
    }
    if (file_size < kPacketSize) {
        probe.Message = Words(N_("the file holds %1 bytes, less than one packet"), {std::to_string(file_size)});
        return probe;
    }
    std::uint64_t from = 0;
    for (;;) {
        if (stop != nullptr && stop->TakeIfSet()) {
            probe.Outcome = ProbeOutcome::Stopped;
            return probe;
        }
        const SyncCheck c188 = Check188(head, file_size, from);
        if (c188.Code == kCheck188GaveUp || c188.Candidate > kSyncSearchLimit) break;
        if (c188.Code <= 3) {
            probe.Outcome = ProbeOutcome::Found;
            probe.PacketSize = kPacketSize;
            probe.SyncOffset = static_cast<std::int64_t>(c188.Candidate);
            return probe;
        }
        // Every rejected candidate is tried as a 192-byte unit before the
        // search moves on: a stray 0x47 where a 188-byte probe falls (some
        // m2ts muxers leave one) fails it with four bad probes, not five,
        // and the first unit must not be skipped for that.
        const SyncCheck c192 = Check192(head, file_size, c188.Candidate);
        if (c192.Code == 0) {
            probe.Outcome = ProbeOutcome::Found;
            probe.PacketSize = kUnit192Size;
            probe.SyncOffset = static_cast<std::int64_t>(c192.Candidate);
            return probe;
        }
        from = c188.Candidate + 1;
    }
    probe.Message = Words(N_("no 188- or 192-byte packets within the first 65536 bytes"));
    return probe;
}

PacketProbe ProbePacketSize(const File& file, StopFlag* stop) {
    PacketProbe probe;
    std::uint64_t size = 0;
    if (Status st = file.Size(size); !st) {
        probe.Message = st.words();
        return probe;
    }
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(size, kSyncHeadBytes)));
    const std::int64_t got = file.ReadAt(0, head.data(), head.size());
    if (got < 0 || std::uint64_t(got) != head.size()) {
        probe.Message = FileError(file.Path(), N_("cannot read"));
        return probe;
    }
    return FindPacketStart(head, size, stop);
}

PacketProbe ProbePacketSize(const std::string& path, StopFlag* stop) {
    File file;
    if (Status st = OpenStreamFile(path, file); !st) {
        PacketProbe probe;
        probe.Message = st.words();
        return probe;
    }
    return ProbePacketSize(file, stop);
}

}  // namespace tscard
