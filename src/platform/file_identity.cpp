#include "platform/file_identity.h"

#include <sys/stat.h>

namespace tscard {
namespace {

FileIdentity IdentityOfStat(const struct stat& st) {
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const File& file) {
    struct stat st {};
    if (!file.IsOpen() || ::fstat(file.Fd(), &st) != 0) return std::nullopt;
    return IdentityOfStat(st);
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityOfStat(st);
}

bool SameFile(const std::string& a, const std::string& b) {
    const auto first = IdentityOf(a);
    return first && IdentityOf(b) == first;
}

bool SameFileOrDevice(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    if (S_ISBLK(sa.st_mode) && S_ISBLK(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Words FileKindText(unsigned mode) {
    if (S_ISDIR(mode)) return N_("a folder");
    if (S_ISFIFO(mode)) return N_("a FIFO");
    if (S_ISCHR(mode)) return N_("a character device");
    if (S_ISBLK(mode)) return N_("a block device");
    if (S_ISSOCK(mode)) return N_("a socket");
    if (S_ISLNK(mode)) return N_("a symbolic link");
    if (S_ISREG(mode)) return N_("a regular file");
    return N_("not a file");
}

}  // namespace tscard
