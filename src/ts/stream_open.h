#pragma once
// What opening a stream shows before its analysis runs: the one message
// for a stream that does not open, the size the stream takes on a card, as
// MB or bytes, and the name proposed for a prepared copy.

#include <cstdint>
#include <string>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

// The operator's text when a stream file cannot be opened.
constexpr const char* kFileInUse = N_("File in use from other application");

// Opens a stream file for reading. Every command and panel that reads a
// stream says the same when it does not open: "clip.ts: File in use from
// other application (No such file or directory)"; a file that is not a
// regular file or block device is refused: "clip.ts: is not a regular
// file (a FIFO)".
[[nodiscard]] Status OpenStreamFile(const std::string& path, File& out);

// (BigBlocks x 8 + MidBlocks) x 8,192 of the whole file size: the bytes
// the stream takes in the card's 8,192-byte blocks.
std::int64_t CardBytesOf(std::uint64_t file_size);

enum class SizeUnit { MBytes, Bytes };

// Card writing: MBytes shows whole mebibytes divided by the size ratio with
// three decimals; Bytes the byte count divided by it, integer part.
std::string CardWriteSizeText(std::int64_t card_bytes, SizeUnit unit, double size_ratio);
// Parsing: MBytes shows mebibytes with three decimals; Bytes the count.
std::string ParseSizeText(std::int64_t card_bytes, SizeUnit unit);

// The source path with "_pre" before its extension ("clip.m2ts" gives
// "clip_pre.m2ts"); a name without extension gets "_pre" appended. Only the
// file name is looked at, never the folders.
std::string PreparedOutputName(const std::string& path);

}  // namespace tscard
