#pragma once
// Telling whether two names or handles are the same file (same device and
// inode), so that a run never writes over one of its own inputs, whatever
// path, link or relative name leads to it; and what a name is.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_io.h"
#include "platform/status.h"

namespace tscard {

struct FileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// nullopt when the handle is closed or cannot be looked at.
std::optional<FileIdentity> IdentityOf(const File& file);
// nullopt when nothing of that name exists (or it cannot be looked at).
std::optional<FileIdentity> IdentityOf(const std::string& path);

// True when both paths name the same existing file (hard and symbolic
// links included).
bool SameFile(const std::string& a, const std::string& b);
// The same, and true as well for two names of one block device: a card is
// never its own source or output.
bool SameFileOrDevice(const std::string& a, const std::string& b);
// True when the path exists and is a folder.
bool IsFolder(const std::string& path);
// What a file of this st_mode is, for messages: "a folder", "a FIFO",
// "a character device", "a block device", "a socket", "a regular file".
Words FileKindText(unsigned mode);

}  // namespace tscard
