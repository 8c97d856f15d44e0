#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "psi/crc32.h"

namespace tscard::test {

std::filesystem::path Fixture(const std::string& name) { return std::filesystem::path(TSCARD_FIXTURE_DIR) / name; }

bool HasFixture(const std::string& name) { return std::filesystem::exists(Fixture(name)); }

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tscard-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<Packet> SplitPackets(const std::vector<std::uint8_t>& bytes) {
    std::vector<Packet> packets(bytes.size() / kPacketSize);
    for (std::size_t i = 0; i < packets.size(); ++i)
        std::memcpy(packets[i].data(), bytes.data() + i * kPacketSize, kPacketSize);
    return packets;
}

std::vector<std::uint8_t> JoinPackets(const std::vector<Packet>& packets) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(packets.size() * kPacketSize);
    for (const Packet& p : packets) bytes.insert(bytes.end(), p.begin(), p.end());
    return bytes;
}

std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> section) {
    const std::uint32_t crc = Crc32Mpeg2(section.data(), section.size());
    for (int shift = 24; shift >= 0; shift -= 8) section.push_back(static_cast<std::uint8_t>(crc >> shift));
    return section;
}

std::vector<Packet> SectionPackets(std::uint16_t pid, std::vector<std::uint8_t> section, std::uint8_t counter) {
    std::vector<Packet> packets;
    std::size_t at = 0;
    bool first = true;
    while (first || at < section.size()) {
        Packet p;
        p.fill(0xFF);
        p[0] = kSyncByte;
        p[1] = static_cast<std::uint8_t>((first ? 0x40 : 0x00) | (pid >> 8));
        p[2] = static_cast<std::uint8_t>(pid & 0xFF);
        p[3] = static_cast<std::uint8_t>(0x10 | (counter++ & 0x0F));
        std::size_t pos = 4;
        if (first) p[pos++] = 0x00;
        const std::size_t take = std::min(section.size() - at, kPacketSize - pos);
        std::memcpy(p.data() + pos, section.data() + at, take);
        at += take;
        first = false;
        packets.push_back(p);
    }
    return packets;
}

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

bool MakeMemoryDevice(const std::filesystem::path& path, MemoryDevice which) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, static_cast<unsigned>(which))) == 0;
}

namespace {

std::string ReadAll(int fd) {
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return data;
}

}  // namespace

bool WaitForExit(pid_t pid, std::chrono::milliseconds limit, int& status) {
    // Looked at every few milliseconds until it ends or its time is up.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) break;
        ::usleep(2000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}

std::vector<int> OpenFds(pid_t pid, const std::filesystem::path& path) {
    std::vector<int> fds;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::error_code read_error;
        if (std::filesystem::read_symlink(entry.path(), read_error) == path)
            fds.push_back(std::stoi(entry.path().filename().string()));
    }
    return fds;
}

bool WaitUntilOpen(pid_t pid, const std::filesystem::path& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (OpenFds(pid, path).empty()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ::usleep(10000);
    }
    return true;
}

CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    CommandResult result;
    char out_template[] = "/tmp/tscard-out-XXXXXX";
    char err_template[] = "/tmp/tscard-err-XXXXXX";
    const int out_fd = ::mkstemp(out_template);
    const int err_fd = ::mkstemp(err_template);
    ::unlink(out_template);
    ::unlink(err_template);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null_fd = ::open("/dev/null", O_RDONLY);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        ::dup2(null_fd, 0);
        for (int fd : {out_fd, err_fd, null_fd})
            if (fd > 2) ::close(fd);
        if (options.ClosedFd >= 0) ::close(options.ClosedFd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    result.timed_out = !WaitForExit(pid, options.Limit, status);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::lseek(out_fd, 0, SEEK_SET);
    ::lseek(err_fd, 0, SEEK_SET);
    result.out = ReadAll(out_fd);
    result.err = ReadAll(err_fd);
    if (result.timed_out)
        result.err += "\n[" + program + " was killed: still running after " +
                      std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(options.Limit).count()) +
                      " ms]\n";
    ::close(out_fd);
    ::close(err_fd);
    return result;
}

CommandResult RunCli(const std::vector<std::string>& args, const RunOptions& options) {
    return RunProgram(TSCARD_CLI_PATH, args, options);
}

bool HasField(const std::string& report, const std::string& label, const std::string& value) {
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, label.size() + 1, label + ":") != 0) continue;
        const std::size_t text = line.find_first_not_of(' ', at + label.size() + 1);
        if (text == std::string::npos ? value.empty() : line.compare(text, std::string::npos, value) == 0) return true;
    }
    return false;
}

}  // namespace tscard::test
