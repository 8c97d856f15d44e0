#include "splice/splice_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/file_identity.h"
#include "ts/packet_probe.h"
#include "ts/stream_open.h"

namespace tscard {
namespace {

void CloseInputs(StickJob& job) {
    for (StickFileEntry& entry : job.Files) entry.Handle.CloseQuietly();
}

void EmptyRows(StickJob& job) {
    for (StickFileEntry& entry : job.Files) entry = StickFileEntry{};
    job.FileCount = 0;
}

bool IsEntry(const StickJob& job, int index) { return index >= 0 && index < job.FileCount; }

}  // namespace

OutputRules SpliceOutputRules(SpliceOutputMode mode) {
    OutputRules rules;
    rules.Mode = mode == SpliceOutputMode::Append ? OutputMode::Append : OutputMode::Replace;
    rules.AllowStandardOutput = true;
    return rules;
}

Words OutputAsInput(const std::string& path) {
    return Words(N_("%1: is the output of the splice; it cannot be one of its inputs"), {path});
}

Status SetUpSplice(StickJob& job, const std::string& output_path, SpliceOutputMode mode) {
    if (job.Splicing) return Status::Fail(Words(N_("%1: refused, a splice is in progress"), {output_path}));
    CloseSplice(job);
    if (Status st = CheckOutputPath(output_path, SpliceOutputRules(mode)); !st) return st;
    std::uint64_t start = 0;
    struct stat st {};
    if (mode == SpliceOutputMode::Append && ::stat(output_path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        start = static_cast<std::uint64_t>(st.st_size);
    job.OutputPath = output_path;
    job.Mode = mode;
    job.OutputStart = start;
    return Status::Ok();
}

void CloseSplice(StickJob& job) {
    if (job.Splicing) return;
    CloseInputs(job);
    EmptyRows(job);
    job.Output.Discard();
    job.OutputPath.clear();
    job.Mode = SpliceOutputMode::Replace;
    job.OutputStart = 0;
}

Status SizeSpliceEntry(StickFileEntry& entry) {
    std::uint64_t size = 0;
    if (Status st = entry.Handle.Size(size); !st) return st;
    entry.Blocks = size / kSpliceBlockSize;
    entry.TailBytes = static_cast<std::uint32_t>(size % kSpliceBlockSize);
    entry.SizeText = SpliceSizeText(size);
    return Status::Ok();
}

Status ProbeSpliceEntry(StickFileEntry& entry) {
    const PacketProbe probe = ProbePacketSize(entry.Handle, nullptr);
    switch (probe.Outcome) {
        case ProbeOutcome::Found: break;
        case ProbeOutcome::UnknownFormat:
            return Status::Fail(Words(N_("%1; only transport streams can be spliced"),
                                      {UnknownStreamFormat(entry.Path, probe.Message)}));
        case ProbeOutcome::Stopped:
        case ProbeOutcome::Failed: return Status::Fail(probe.Message);
    }
    entry.UnitSize = probe.PacketSize;
    entry.FirstPacket = static_cast<std::uint64_t>(probe.SyncOffset);
    return Status::Ok();
}

Status AddSpliceFiles(StickJob& job, const std::vector<std::string>& paths) {
    if (job.Splicing) return Status::Fail(Words(N_("refused, a splice is in progress")));
    const std::size_t room = kSpliceMaxFiles - static_cast<std::size_t>(job.FileCount);
    if (paths.size() > room)
        return Status::Fail(Words(N_("the splice list holds at most %1 files; it has %2 and %3 more were chosen; "
                                     "nothing was added"),
                                  {std::to_string(kSpliceMaxFiles), std::to_string(job.FileCount),
                                   std::to_string(paths.size())}));
    const auto output = OutputIdentity(job.OutputPath);
    std::vector<StickFileEntry> added(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        StickFileEntry& entry = added[i];
        entry.Path = paths[i];
        if (Status st = OpenStreamFile(paths[i], entry.Handle); !st) return st;
        if (output && IdentityOf(entry.Handle) == output)
            return Status::Fail(OutputAsInput(paths[i]));
        if (Status st = SizeSpliceEntry(entry); !st) return st;
    }
    for (StickFileEntry& entry : added) job.Files[static_cast<std::size_t>(job.FileCount++)] = std::move(entry);
    return Status::Ok();
}

int MoveSpliceEntryDown(StickJob& job, int focused) {
    if (job.Splicing || !IsEntry(job, focused)) return -1;
    const int target = focused == job.FileCount - 1 ? 0 : focused + 1;
    std::swap(job.Files[static_cast<std::size_t>(focused)], job.Files[static_cast<std::size_t>(target)]);
    return target;
}

int MoveSpliceEntryUp(StickJob& job, int focused) {
    if (job.Splicing || !IsEntry(job, focused)) return -1;
    const int target = focused == 0 ? job.FileCount - 1 : focused - 1;
    std::swap(job.Files[static_cast<std::size_t>(focused)], job.Files[static_cast<std::size_t>(target)]);
    return target;
}

void RemoveSpliceEntries(StickJob& job, const std::vector<int>& selected) {
    if (job.Splicing) return;
    std::size_t kept = 0;
    for (int i = 0; i < job.FileCount; ++i) {
        StickFileEntry& entry = job.Files[static_cast<std::size_t>(i)];
        if (std::find(selected.begin(), selected.end(), i) != selected.end()) {
            entry = StickFileEntry{};
            continue;
        }
        if (kept != static_cast<std::size_t>(i)) {
            job.Files[kept] = std::move(entry);
            entry = StickFileEntry{};
        }
        ++kept;
    }
    job.FileCount = static_cast<std::int32_t>(kept);
}

void ClearSpliceEntries(StickJob& job) {
    if (job.Splicing) return;
    CloseInputs(job);
    EmptyRows(job);
}

std::vector<std::string> SpliceEntryPaths(const StickJob& job) {
    std::vector<std::string> paths;
    for (int i = 0; i < job.FileCount; ++i) paths.push_back(job.Files[static_cast<std::size_t>(i)].Path);
    return paths;
}

std::string SpliceSizeText(std::uint64_t bytes, char decimal_separator) {
    return std::to_string(bytes / 1048576) + decimal_separator + "000";
}

std::string SpliceOutputName(const std::string& chosen, int file_type_index) {
    if (std::filesystem::path(chosen).has_extension()) return chosen;
    switch (file_type_index) {
        case 1: return chosen + ".m2ts";
        case 2: return chosen + ".m4ts";
        case 3: return chosen + ".mpg";
        case 4:
        case 5: return chosen + ".ts";
        default: return chosen;
    }
}

}  // namespace tscard
