#pragma once
// The rules every command and panel follows for a file it writes (the
// prepared stream, each split program, a splice, a stream read from a card):
//
//   - a new file, or an existing regular file, is written under a temporary
//     name beside it and renamed over it only when the run keeps its result;
//     the file it replaces keeps its permissions; a run that fails leaves an
//     existing file exactly as it was and no partial file behind; two runs
//     writing the same name each write their own file, the last rename wins;
//   - a symbolic link is followed: the file it leads to is the one written
//     (and staged beside it), the link stays a link;
//   - a character device or a FIFO is written in place, front to back: no
//     temporary name, nothing renamed or emptied, and what a failed run
//     wrote cannot be taken back. Opening a FIFO waits for its reader; the
//     stop request ends the wait;
//   - "-" is the standard output, where the command allows it (written in
//     place as a pipe is);
//   - a block device is refused (cards are written by card write, which
//     checks what it writes to), and so are a folder and a socket;
//   - appending (a splice added to an existing file) writes an existing
//     regular file in place after what it holds, locked against a second
//     run doing the same; a run that fails cuts it back to its old length.
//
// Messages name the output as it was given.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_identity.h"
#include "platform/file_io.h"
#include "platform/staged_output.h"
#include "platform/status.h"
#include "platform/stop_flag.h"

namespace tscard {

enum class OutputMode {
    Replace,  // the output gets the run's bytes only
    Append,   // the run's bytes follow what an existing regular file holds
};

struct OutputRules {
    OutputMode Mode = OutputMode::Replace;
    bool AllowStandardOutput = false;  // "-" names the standard output
};

// The name of the standard output in OutputFile::Open.
constexpr const char* kStandardOutputName = "-";

// The refusals of Open, without opening or creating anything: what a front
// end checks when the operator names an output.
Status CheckOutputPath(const std::string& path, const OutputRules& rules = {});

// The file an output name leads to now ("-": whatever the standard output
// is), to tell an output from the run's inputs; nullopt when nothing is
// there yet.
std::optional<FileIdentity> OutputIdentity(const std::string& path);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // discards what was not committed

    // Opens the output by the rules above. stop, when given, ends the wait
    // for a FIFO's reader.
    Status Open(const std::string& path, const OutputRules& rules = {}, const StopFlag* stop = nullptr);

    bool IsOpen() const { return Output().IsOpen(); }
    File& Output();
    const File& Output() const;
    // The name as given.
    const std::string& Path() const { return path_; }
    // Written in place, front to back (a device, a FIFO, the standard
    // output): nothing can be read back, cut or taken back.
    bool InPlace() const { return kind_ == Kind::InPlace; }
    // Where the run's first byte goes: the old length when appending, else 0.
    std::uint64_t StartOffset() const { return start_; }

    // Keeps what was written: renamed over the output, or closed.
    Status Commit();
    // Takes back what can be: the temporary file is removed, an appended
    // file cut back to its old length; an output written in place is closed.
    void Discard();

private:
    enum class Kind { None, Staged, InPlace, Append };

    Status OpenInPlace(const std::string& target, bool fifo, const StopFlag* stop);
    Status OpenAppend(const std::string& target);

    Kind kind_ = Kind::None;
    std::string path_;
    StagedOutput staged_;
    File file_;  // in place or appended
    std::uint64_t start_ = 0;
};

}  // namespace tscard
