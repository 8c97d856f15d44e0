#include "platform/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/file_identity.h"

namespace tscard {
namespace {

constexpr int kMaxLinks = 40;
constexpr auto kReaderPoll = std::chrono::milliseconds(50);

Status Failure(const std::string& path, const char* what) {
    const int error = errno;
    return Status::Fail(FileError(path, what), error);
}

// The file a name leads to: symbolic links followed, also a link whose
// target does not exist yet (the target is then created).
Status FollowLinks(const std::string& path, std::string& target) {
    std::string at = path;
    for (int level = 0; level < kMaxLinks; ++level) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = at;
            return Status::Ok();
        }
        std::vector<char> buffer(PATH_MAX);
        const ssize_t n = ::readlink(at.c_str(), buffer.data(), buffer.size());
        if (n < 0) return Failure(path, N_("cannot follow the link"));
        std::string next(buffer.data(), static_cast<std::size_t>(n));
        if (next.empty() || next[0] != '/') {
            const std::size_t slash = at.find_last_of('/');
            next = (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + next;
        }
        at = next;
    }
    errno = ELOOP;
    return Failure(path, N_("cannot follow the link"));
}

enum class Target { Missing, Regular, InPlace, Fifo };

// What the output is, or why it is refused.
Status Classify(const std::string& path, const OutputRules& rules, std::string& target, Target& kind) {
    if (path.empty()) return Status::Fail(Words(N_("no output file named")));
    if (path == kStandardOutputName) {
        if (!rules.AllowStandardOutput)
            return Status::Fail(Words(N_("%1: this output cannot go to the standard output; name a file"), {path}));
        kind = Target::InPlace;
        return Status::Ok();
    }
    if (Status st = FollowLinks(path, target); !st) return st;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return Failure(path, N_("cannot look at the output"));
        // A new file needs its folder.
        const std::size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
        struct stat in {};
        if (::stat(folder.c_str(), &in) != 0) return Failure(path, N_("cannot create the output file"));
        if (!S_ISDIR(in.st_mode)) {
            errno = ENOTDIR;
            return Failure(path, N_("cannot create the output file"));
        }
        kind = Target::Missing;
        return Status::Ok();
    }
    if (S_ISREG(st.st_mode)) {
        kind = Target::Regular;
    } else if (S_ISCHR(st.st_mode)) {
        kind = Target::InPlace;
    } else if (S_ISFIFO(st.st_mode)) {
        kind = Target::Fifo;
    } else if (S_ISBLK(st.st_mode)) {
        return Status::Fail(
            Words(N_("%1: is a block device; a file is written, not a device (use card write for cards)"), {path}));
    } else {
        return Status::Fail(Words(N_("%1: is %2; the output must be a file"), {path, FileKindText(st.st_mode)}));
    }
    return Status::Ok();
}

Status ClearNonBlocking(int fd, const std::string& path) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return Failure(path, N_("cannot open for writing"));
    return Status::Ok();
}

}  // namespace

Status CheckOutputPath(const std::string& path, const OutputRules& rules) {
    std::string target;
    Target kind = Target::Missing;
    return Classify(path, rules, target, kind);
}

std::optional<FileIdentity> OutputIdentity(const std::string& path) {
    if (path != kStandardOutputName) return IdentityOf(path);
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

OutputFile::~OutputFile() { Discard(); }

File& OutputFile::Output() { return kind_ == Kind::Staged ? staged_.Output() : file_; }

const File& OutputFile::Output() const {
    return kind_ == Kind::Staged ? staged_.Output() : file_;
}

Status OutputFile::Open(const std::string& path, const OutputRules& rules, const StopFlag* stop) {
    Discard();
    path_ = path;
    start_ = 0;
    std::string target;
    Target kind = Target::Missing;
    if (Status st = Classify(path, rules, target, kind); !st) return st;
    if (path == kStandardOutputName) {
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) return Failure("the standard output", N_("cannot write"));
        file_ = File::AdoptStream(fd, "the standard output");
        kind_ = Kind::InPlace;
        return Status::Ok();
    }
    switch (kind) {
        case Target::InPlace: return OpenInPlace(target, false, stop);
        case Target::Fifo: return OpenInPlace(target, true, stop);
        case Target::Regular:
            if (rules.Mode == OutputMode::Append) return OpenAppend(target);
            break;
        case Target::Missing: break;
    }
    if (Status st = staged_.Create(target); !st) return st;
    kind_ = Kind::Staged;
    return Status::Ok();
}

Status OutputFile::OpenInPlace(const std::string& target, bool fifo, const StopFlag* stop) {
    for (;;) {
        // Non-blocking: a FIFO without a reader refuses (ENXIO) instead of
        // holding the run where no stop request reaches it.
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            File file = File::AdoptStream(fd, path_);
            if (Status st = ClearNonBlocking(fd, path_); !st) return st;
            file_ = std::move(file);
            kind_ = Kind::InPlace;
            return Status::Ok();
        }
        if (errno == EINTR) continue;
        if (errno != ENXIO || !fifo) return Failure(path_, N_("cannot open for writing"));
        if (stop != nullptr && stop->IsSet()) return Status::Fail(path_ + ": stopped while waiting for a reader");
        std::this_thread::sleep_for(kReaderPoll);
    }
}

Status OutputFile::OpenAppend(const std::string& target) {
    int fd;
    do {
        fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Failure(path_, N_("cannot open for writing"));
    File file = File::Adopt(fd, path_);
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        if (errno == EWOULDBLOCK) return Status::Fail(path_ + ": another run is adding to this file; try again when it has finished");
        return Failure(path_, N_("cannot lock the output"));
    }
    if (Status st = file.Size(start_); !st) return st;
    file_ = std::move(file);
    kind_ = Kind::Append;
    return Status::Ok();
}

Status OutputFile::Commit() {
    const Kind kind = kind_;
    kind_ = Kind::None;
    switch (kind) {
        case Kind::None: return Status::Fail(path_ + ": no output is open");
        case Kind::Staged: return staged_.Commit();
        case Kind::InPlace:
        case Kind::Append: return file_.Close();
    }
    return Status::Ok();
}

void OutputFile::Discard() {
    const Kind kind = kind_;
    kind_ = Kind::None;
    switch (kind) {
        case Kind::None: break;
        case Kind::Staged: staged_.Discard(); break;
        case Kind::Append: static_cast<void>(file_.Truncate(start_)); [[fallthrough]];
        case Kind::InPlace: file_.CloseQuietly(); break;
    }
}

}  // namespace tscard
