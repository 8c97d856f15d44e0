#pragma once
// Shared helpers of the tests: fixture paths, scratch folders, building
// packets by hand, running the command line front end.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ts/packet.h"

namespace tscard::test {

// Path of a generated fixture (tests/fixtures/make_fixtures.sh).
std::filesystem::path Fixture(const std::string& name);
bool HasFixture(const std::string& name);

// A fresh folder removed with its content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Splits a byte image into 188-byte packets (a trailing part is dropped).
std::vector<Packet> SplitPackets(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> JoinPackets(const std::vector<Packet>& packets);

// Packs a section (table_id to CRC, CRC computed here over all but its
// last four bytes) into packets of the PID, first with PUSI and pointer 0.
std::vector<Packet> SectionPackets(std::uint16_t pid, std::vector<std::uint8_t> section,
                                   std::uint8_t first_counter = 0);
// A section from table_id to the byte before CRC_32, with the CRC appended.
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> section);

// Special files made in a test's own folder, never on a system node: a
// FIFO, and a character device with the numbers of the kernel's memory
// devices (making one needs root: false when the system refuses).
bool MakeFifo(const std::filesystem::path& path);
enum class MemoryDevice : unsigned { Null = 3, Zero = 5, Full = 7 };
bool MakeMemoryDevice(const std::filesystem::path& path, MemoryDevice which);

struct CommandResult {
    int exit_code = -1;
    std::string out;
    std::string err;
    bool timed_out = false;  // killed at the end of its time (exit_code 137)
};

// Every program a test starts has a time of its own: one that hangs is
// killed then, and its test fails in seconds instead of holding the suite.
constexpr std::chrono::milliseconds kProgramLimit{10000};

struct RunOptions {
    std::chrono::milliseconds Limit = kProgramLimit;
    int ClosedFd = -1;  // 0, 1 or 2: the program starts with it closed
};

// Waits for a started child until it ends (true, status as waitpid gives
// it) or the limit has passed: then it is killed (false).
bool WaitForExit(pid_t pid, std::chrono::milliseconds limit, int& status);

// The descriptors under which a running child holds path open.
std::vector<int> OpenFds(pid_t pid, const std::filesystem::path& path);

// Waits until a started child holds path open (true) or the limit has
// passed (false): a readiness sign that needs no fixed wait.
bool WaitUntilOpen(pid_t pid, const std::filesystem::path& path, std::chrono::milliseconds limit);

// Runs tscard-cli with the arguments (no shell involved), stdin from
// /dev/null, stdout and stderr collected.
CommandResult RunCli(const std::vector<std::string>& args, const RunOptions& options = {});
// Runs any program with arguments, the same way.
CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options = {});

// True when a line of a report reads "label:", blanks, then exactly value
// (indented or not): the aligned "label: value" lines of the reports.
bool HasField(const std::string& report, const std::string& label, const std::string& value);

}  // namespace tscard::test
