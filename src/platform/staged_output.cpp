#include "platform/staged_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

namespace tscard {
namespace {

std::atomic<unsigned> g_sequence{0};

constexpr const char* kPartSuffix = ".part";

struct OutputName {
    std::string Folder;  // "" or ending in '/'
    std::string Name;
};

OutputName SplitName(const std::string& output) {
    const std::size_t slash = output.find_last_of('/');
    if (slash == std::string::npos) return {std::string(), output};
    return {output.substr(0, slash + 1), output.substr(slash + 1)};
}

// The longest name the folder's file system takes.
std::size_t NameLimit(const std::string& folder) {
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// ".<name>.<pid>-<n>.part", the name cut (never inside a UTF-8 character)
// so that the whole fits in `limit` bytes: any name the file system takes
// can be staged.
std::string PartName(const std::string& name, const std::string& tag, std::size_t limit) {
    const std::size_t fixed = 2 + tag.size() + std::string_view(kPartSuffix).size();
    std::size_t keep = name.size();
    if (fixed + keep > limit) {
        keep = limit > fixed ? limit - fixed : 0;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    }
    return "." + name.substr(0, keep) + "." + tag + kPartSuffix;
}

std::string Tag(long pid, unsigned sequence) { return std::to_string(pid) + "-" + std::to_string(sequence); }

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A run killed outright (SIGKILL, a power cut) leaves its part behind.
// Parts of this output name whose process is gone are removed; a part of
// a process that still runs (or of one whose number was taken again) stays.
void RemoveStaleParts(const OutputName& output, std::size_t limit) {
    DIR* dir = ::opendir(output.Folder.empty() ? "." : output.Folder.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view part = entry->d_name;
        const std::string_view suffix = kPartSuffix;
        if (part.size() <= suffix.size() || part[0] != '.' || part.substr(part.size() - suffix.size()) != suffix)
            continue;
        const std::string_view body = part.substr(0, part.size() - suffix.size());
        const std::size_t dot = body.find_last_of('.');
        const std::size_t dash = body.find_last_of('-');
        if (dot == std::string_view::npos || dash == std::string_view::npos || dash < dot) continue;
        const std::string_view pid = body.substr(dot + 1, dash - dot - 1);
        const std::string_view sequence = body.substr(dash + 1);
        if (!AllDigits(pid) || !AllDigits(sequence)) continue;
        if (PartName(output.Name, std::string(pid) + "-" + std::string(sequence), limit) != part) continue;
        const long number = std::stol(std::string(pid));
        if (number <= 0 || number > std::numeric_limits<pid_t>::max()) continue;
        if (::kill(static_cast<pid_t>(number), 0) == 0 || errno != ESRCH) continue;
        stale.emplace_back(part);
    }
    ::closedir(dir);
    for (const std::string& part : stale) static_cast<void>(::unlink((output.Folder + part).c_str()));
}

}  // namespace

StagedOutput::~StagedOutput() { Discard(); }

Status StagedOutput::Create(const std::string& output_path) {
    Discard();
    output_ = output_path;
    const OutputName output = SplitName(output_path);
    const std::size_t limit = NameLimit(output.Folder);
    RemoveStaleParts(output, limit);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = output.Folder + PartName(output.Name, Tag(::getpid(), g_sequence++), limit);
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
