#include "card/mounts.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tscard {
namespace {

std::vector<std::string_view> SplitSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at >= line.size()) break;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

// The kernel writes space, tab, newline and backslash as \ooo.
std::string DecodeOctalEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

bool IsUnder(std::string_view path, std::string_view folder) {
    return path == folder || (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
                              path[folder.size()] == '/');
}

}  // namespace

bool ParseDeviceNumber(std::string_view text, DeviceNumber& out) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    DeviceNumber number;
    const char* first = text.data();
    auto r1 = std::from_chars(first, first + colon, number.Major);
    auto r2 = std::from_chars(first + colon + 1, first + text.size(), number.Minor);
    if (r1.ec != std::errc() || r1.ptr != first + colon || r2.ec != std::errc() || r2.ptr != first + text.size())
        return false;
    out = number;
    return true;
}

bool BlockDeviceNumber(const std::string& path, DeviceNumber& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    out = {::major(st.st_rdev), ::minor(st.st_rdev)};
    return true;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> fields = SplitSpaces(text.substr(at, end - at));
        at = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3 || dash - fields.begin() < 6) continue;
        MountEntry entry;
        if (!ParseDeviceNumber(fields[2], entry.Number)) continue;
        entry.MountPoint = DecodeOctalEscapes(fields[4]);
        entry.FileSystem = DecodeOctalEscapes(dash[1]);
        entry.Source = DecodeOctalEscapes(dash[2]);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<std::string> ParseSwaps(std::string_view text) {
    std::vector<std::string> devices;
    std::size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> fields = SplitSpaces(text.substr(at, end - at));
        at = end + 1;
        if (header) {
            header = false;
            continue;
        }
        if (!fields.empty()) devices.push_back(DecodeOctalEscapes(fields[0]));
    }
    return devices;
}

bool IsRemovableMediaMountPoint(std::string_view mount_point) {
    return IsUnder(mount_point, "/media") || IsUnder(mount_point, "/run/media") || IsUnder(mount_point, "/mnt");
}

Status ReadSystemUse(const SystemRoots& roots, SystemUse& out) {
    std::string text;
    if (!ReadWholeFile(roots.MountInfo(), text))
        return Status::Fail(Words(N_("%1: cannot read the list of mounted file systems"), {roots.MountInfo()}));
    out.Mounts = ParseMountInfo(text);
    out.SwapDevices.clear();
    if (ReadWholeFile(roots.Swaps(), text)) {
        for (const std::string& device : ParseSwaps(text)) {
            DeviceNumber number;
            if (BlockDeviceNumber(device, number)) out.SwapDevices.push_back(number);
        }
    }
    out.SystemDevices.clear();
    for (const SystemRoots::SystemFile& file : roots.SystemFiles()) {
        struct stat st {};
        if (::stat(file.Path.c_str(), &st) != 0) continue;
        out.SystemDevices.push_back({{::major(st.st_dev), ::minor(st.st_dev)}, file.What});
    }
    return Status::Ok();
}

std::vector<MountEntry> MountsOfDevices(const SystemUse& use, const std::vector<DeviceNumber>& numbers,
                                        const SystemRoots& roots) {
    const auto listed = [&](const DeviceNumber& n) { return std::find(numbers.begin(), numbers.end(), n) != numbers.end(); };
    std::vector<MountEntry> found;
    for (const MountEntry& mount : use.Mounts) {
        bool match = listed(mount.Number);
        if (!match && mount.Number.Major == 0 && mount.Source.rfind("/dev/", 0) == 0) {
            DeviceNumber source;
            if (BlockDeviceNumber(roots.Dev + mount.Source.substr(4), source)) match = listed(source);
        }
        if (match) found.push_back(mount);
    }
    return found;
}

Status UnmountAll(const std::vector<MountEntry>& mounts) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (::umount2(it->MountPoint.c_str(), UMOUNT_NOFOLLOW) == 0) continue;
        const int error = errno;
        if (error == EINVAL) continue;  // no longer mounted there (gone with an earlier one)
        const Words failed(N_("cannot unmount %1 (%2): %3"),
                           {it->MountPoint, it->Source, std::string(std::strerror(error))});
        if (error == EPERM)
            return Status::Fail(Words(N_("%1; without root, a card is unmounted through the UDisks2 service, which is "
                                         "not running here (package udisks2)"),
                                      {failed}));
        if (error == EBUSY) return Status::Fail(Words(N_("%1; close the programs that use it"), {failed}));
        return Status::Fail(failed);
    }
    return Status::Ok();
}

}  // namespace tscard
