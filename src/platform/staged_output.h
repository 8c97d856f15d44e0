#pragma once
// An output written under a temporary name beside it and renamed over it
// only when the run keeps its result (the prepared file). A run that fails
// (no space, a write error, a refused source) leaves no file that looks
// complete, and an earlier file of the same name stays as it was until the
// new one replaces it in one step.

#include <string>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

class StagedOutput {
public:
    StagedOutput() = default;
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;
    ~StagedOutput();  // discards what was not committed

    // Creates the temporary file in the output's folder, hidden:
    // ".<name>.<pid>-<n>.part", the name cut to fit the file system's
    // limit. Parts of the same output name left by a process that no longer
    // exists are removed first.
    Status Create(const std::string& output_path);
    File& Output() { return file_; }
    const File& Output() const { return file_; }
    const std::string& TemporaryPath() const { return temporary_; }

    // Closes the file and renames it to the output path. A regular file
    // replaced this way leaves its permission bits (and, where the system
    // allows, its owner) to the new one.
    Status Commit();
    // Closes and removes the temporary file.
    void Discard();

private:
    File file_;
    std::string output_;
    std::string temporary_;
};

}  // namespace tscard
