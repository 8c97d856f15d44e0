#pragma once
// The splice list: the output file and up to 128 input files, in the order
// they are joined. The front end shows one line per row (the file's name)
// and edits the list only through the functions below, so that list order
// and row order never part. Copying is SpliceChain's (splice_chain.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/output_file.h"
#include "platform/status.h"

namespace tscard {

constexpr std::size_t kSpliceMaxFiles = 128;
constexpr std::uint64_t kSpliceBlockSize = 65536;

struct StickFileEntry {
    File Handle;             // open for reading from adding until copied
    std::string Path;        // the name as the operator chose it
    std::string SizeText;    // SpliceSizeText of the size
    std::uint64_t Blocks = 0;     // whole 64 KiB blocks
    std::uint32_t TailBytes = 0;  // bytes after them
    // Found when the splice starts (ProbeSpliceEntry): 188-byte packets or
    // 192-byte units, and the offset of the first one.
    std::uint32_t UnitSize = 0;
    std::uint64_t FirstPacket = 0;
};

enum class SpliceOutputMode {
    Replace,  // the joined files replace an existing output when they are all copied
    Append,   // the joined files follow what an existing output holds
};

// The output follows the rules of platform/output_file.h ("-" is the
// standard output): set up names it, the splice opens it when it begins to
// copy and keeps it (renamed over the old file, or appended) at its end; a
// splice that fails leaves an existing output as it was.
struct StickJob {
    tscard::OutputFile Output;
    std::string OutputPath;
    SpliceOutputMode Mode = SpliceOutputMode::Replace;
    // Where this splice writes its first byte: 0, or the old size when the
    // files are appended to an existing output.
    std::uint64_t OutputStart = 0;
    std::array<StickFileEntry, kSpliceMaxFiles> Files;
    std::int32_t FileCount = 0;
    // From the start of a splice until it has finished; the list cannot be
    // edited (or set up again) meanwhile.
    bool Splicing = false;
};

// A fresh splice: closes every file of the job and names the output after
// checking it (a folder, a block device or a socket is refused); nothing is
// created or emptied yet. Refused while a splice is in progress.
Status SetUpSplice(StickJob& job, const std::string& output_path, SpliceOutputMode mode);
// "<path>: is the output of the splice; it cannot be one of its inputs".
Words OutputAsInput(const std::string& path);
// The output rules of a splice in this mode: "-" allowed, appending or not.
OutputRules SpliceOutputRules(SpliceOutputMode mode);
// Closes every file and empties the job (closing the panel). Does nothing
// while a splice is in progress.
void CloseSplice(StickJob& job);

// Appends the files in the given order, each opened for reading and sized.
// Refused as a whole, with the list unchanged, when the list would hold
// more than kSpliceMaxFiles, when a file cannot be opened or sized, when a
// file is the output itself, or while a splice is in progress.
Status AddSpliceFiles(StickJob& job, const std::vector<std::string>& paths);

// The focused entry one place down (up); the last (first) entry exchanges
// places with the first (last). Returns the entry's new index, which keeps
// the focus; -1 (nothing moved) when the index is not an entry or a splice
// is in progress.
int MoveSpliceEntryDown(StickJob& job, int focused);
int MoveSpliceEntryUp(StickJob& job, int focused);
// Closes and removes the entries of the indices; the rest keep their order.
void RemoveSpliceEntries(StickJob& job, const std::vector<int>& selected);
// Closes and removes every entry; the output stays.
void ClearSpliceEntries(StickJob& job);

// The paths of the entries, in list order: what the list shows.
std::vector<std::string> SpliceEntryPaths(const StickJob& job);
// Fills Blocks, TailBytes and SizeText of a row from its file's size now.
Status SizeSpliceEntry(StickFileEntry& entry);
// Fills UnitSize and FirstPacket of a row from its file's first bytes.
// Refused, naming the file, when no packets are found there (an empty
// file, one shorter than a packet, bytes that are no transport stream).
Status ProbeSpliceEntry(StickFileEntry& entry);

// Whole mebibytes (integer division) with three decimals: "1.000" for
// 1,572,863 bytes.
std::string SpliceSizeText(std::uint64_t bytes, char decimal_separator = '.');
// The output name: a chosen name without extension gets the one of the
// file-type entry chosen with it (1 ".m2ts", 2 ".m4ts", 3 ".mpg", 4 and
// 5 ".ts").
std::string SpliceOutputName(const std::string& chosen, int file_type_index);

}  // namespace tscard
