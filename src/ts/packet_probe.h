#pragma once
// Finding the packet size and the first packet of a stream file: plain
// 188-byte packets, or 192-byte units (a 4-byte prefix before each packet).
// Shared by the analyzer, the bit-rate measurements and every command that
// must know the packet size before an analysis.

#include <cstdint>
#include <span>
#include <string>

#include "platform/file_io.h"
#include "platform/stop_flag.h"

namespace tscard {

// The search looks for a packet start within this many bytes of the start
// of the file; a candidate beyond it ends the search.
constexpr std::uint64_t kSyncSearchLimit = 65536;
// Bytes of the file the search can ever look at: the last candidate plus
// its seven probes at 192-byte spacing.
constexpr std::size_t kSyncHeadBytes = kSyncSearchLimit + 1 + 7 * 192;

// Result of one sync test: Code is the number of bad probes (0..5), or the
// give-up code (Check188: 7, no 0x47 within 65,536 bytes; Check192: 5, the
// 0x47 has no room for its unit's prefix). Candidate is the 0x47 found
// (Check188) or the start of its unit's prefix (Check192).
struct [[nodiscard]] SyncCheck {
    int Code = 0;
    std::uint64_t Candidate = 0;
};
constexpr int kCheck188GaveUp = 7;
constexpr int kCheck192GaveUp = 5;

// head holds the file's first bytes (all of it when file_size fits).
// From `from`, finds the next 0x47 within 65,536 bytes and probes the bytes
// at +188k for k = 1..7. The probe k (2..6) is bad when it is not 0x47 and
// a neighbour probe is not either, so a single damaged sync byte between
// two good ones is tolerated. Probes past the end of the file are bad.
SyncCheck Check188(std::span<const std::uint8_t> head, std::uint64_t file_size, std::uint64_t from);
// The same test at 192-byte spacing for the 0x47 at `sync_byte`.
SyncCheck Check192(std::span<const std::uint8_t> head, std::uint64_t file_size, std::uint64_t sync_byte);

enum class ProbeOutcome {
    Found,          // PacketSize and SyncOffset are valid
    UnknownFormat,  // no 188- or 192-byte pattern: "Unknow stream format"
    Stopped,        // the stop request was seen (and cleared)
    Failed,         // the file could not be opened or read; Message says why
};

struct [[nodiscard]] PacketProbe {
    ProbeOutcome Outcome = ProbeOutcome::Failed;
    std::uint32_t PacketSize = 188;  // 188 or 192
    // First confirmed packet; for 192-byte units the offset of its prefix.
    std::int64_t SyncOffset = 0;
    // For UnknownFormat: what the file looked like (empty file, too short,
    // no sync pattern). For Failed: the error naming the file.
    Words Message;
};

// The operator's texts for a failed search.
constexpr const char* kUnknownStreamFormat = N_("Unknow stream format");
constexpr const char* kSynchronizationErrorCaption = N_("Synhronization error");
// "clip.ts: Unknow stream format (the file is empty)": what the probe found.
Words UnknownStreamFormat(const std::string& path, const Words& found);

// The sync search: candidates at each 0x47 from the start; a candidate with
// at most 3 bad probes is a 188-byte packet start. Any other candidate is
// tried as a 192-byte unit (0 bad probes needed) before the search moves
// on. A candidate beyond 65,536, or no further 0x47, ends the
// search with UnknownFormat. The stop flag is polled per candidate.
PacketProbe FindPacketStart(std::span<const std::uint8_t> head, std::uint64_t file_size, StopFlag* stop);

// Reads the head of an open file and runs the search.
PacketProbe ProbePacketSize(const File& file, StopFlag* stop);
// Opens the file for reading, probes it and closes it.
PacketProbe ProbePacketSize(const std::string& path, StopFlag* stop);

}  // namespace tscard
