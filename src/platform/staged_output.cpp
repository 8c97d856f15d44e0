#include "platform/staged_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace tscard {
namespace {

std::atomic<unsigned> g_sequence{0};

// "<folder>/.<name>.<pid>-<n>.part": hidden, and unique among runs.
std::string TemporaryNameFor(const std::string& output) {
    const std::size_t slash = output.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(g_sequence++) + ".part";
}

}  // namespace

StagedOutput::~StagedOutput() { Discard(); }

Status StagedOutput::Create(const std::string& output_path) {
    Discard();
    output_ = output_path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = TemporaryNameFor(output_path);
        int fd;
        do {
            fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            temporary_ = candidate;
            file_ = File::Adopt(fd, output_path);
            return Status::Ok();
        }
        if (errno != EEXIST) return Status::Fail(FileError(output_path, N_("cannot create the output file")));
    }
    return Status::Fail(Words(N_("%1: cannot create the output file: no free temporary name"), {output_path}));
}

Status StagedOutput::Commit() {
    if (temporary_.empty()) return Status::Fail(Words(N_("%1: nothing to commit"), {output_}));
    // The file it replaces keeps its permissions (and, where allowed, its
    // owner): replacing a file must not change who may read it.
    struct stat old {};
    if (::stat(output_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        struct stat now {};
        if (::fstat(file_.Fd(), &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
            static_cast<void>(::fchown(file_.Fd(), old.st_uid, old.st_gid));
        if (::fchmod(file_.Fd(), old.st_mode & 07777) != 0) {
            Status failed = Status::Fail(FileError(output_, N_("cannot keep the output's permissions")));
            Discard();
            return failed;
        }
    }
    if (Status closed = file_.Close(); !closed) {
        Discard();
        return closed;
    }
    if (::rename(temporary_.c_str(), output_.c_str()) != 0) {
        Status failed = Status::Fail(FileError(output_, N_("cannot replace the output")));
        Discard();
        return failed;
    }
    temporary_.clear();
    return Status::Ok();
}

void StagedOutput::Discard() {
    file_.CloseQuietly();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace tscard
