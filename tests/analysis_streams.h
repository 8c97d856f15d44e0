#pragma once
// Hand-built streams for the analyzer and bit-rate tests: packets put
// together one by one and written as 188-byte packets or 192-byte units.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/psi_sections.h"
#include "support/test_support.h"
#include "ts/packet.h"

namespace tscard::test {

// One program 1 on PMT PID 0x100: video 0x101 (PCR), audio 0x102.
constexpr std::uint16_t kPmtPid = 0x100;
constexpr std::uint16_t kVideoPid = 0x101;
constexpr std::uint16_t kAudioPid = 0x102;
constexpr std::uint16_t kFillerPid = 0x300;

struct StreamBuilder {
    std::vector<Packet> packets;

    StreamBuilder& Add(const Packet& p) {
        packets.push_back(p);
        return *this;
    }
    StreamBuilder& Add(const std::vector<Packet>& ps) {
        packets.insert(packets.end(), ps.begin(), ps.end());
        return *this;
    }
    StreamBuilder& Filler(std::size_t n, std::uint16_t pid = kFillerPid) {
        for (std::size_t i = 0; i < n; ++i) packets.push_back(PayloadPacket(pid, 0x00, std::uint8_t(i)));
        return *this;
    }
    StreamBuilder& Nulls(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) packets.push_back(NullPacket());
        return *this;
    }
    StreamBuilder& Pat(const std::vector<PatProgram>& programs = {{1, kPmtPid}}) {
        return Add(SectionPackets(kPatPid, PatSection(programs)));
    }
    StreamBuilder& Pmt(std::uint16_t program = 1, std::uint16_t pmt_pid = kPmtPid,
                       std::vector<PmtStream> streams = {{0x02, kVideoPid, {}}, {0x03, kAudioPid, {}}},
                       std::uint16_t pcr_pid = kVideoPid) {
        return Add(SectionPackets(pmt_pid, PmtSection(program, pcr_pid, streams)));
    }
    StreamBuilder& Sdt(const std::vector<SdtService>& services = {{1, {{"Provider", "Channel"}}}}) {
        return Add(SectionPackets(kSdtPid, SdtSection(services)));
    }
    StreamBuilder& Pcr(std::uint64_t ticks, std::uint16_t pid = kVideoPid) { return Add(PcrPacket(pid, ticks)); }

    std::vector<std::uint8_t> Bytes188() const { return JoinPackets(packets); }
    // Each packet behind a 4-byte prefix (a running counter).
    std::vector<std::uint8_t> Bytes192() const {
        std::vector<std::uint8_t> out;
        std::uint32_t n = 0;
        for (const Packet& p : packets) {
            out.push_back(0x00);
            out.push_back(std::uint8_t(n >> 16));
            out.push_back(std::uint8_t(n >> 8));
            out.push_back(std::uint8_t(n));
            out.insert(out.end(), p.begin(), p.end());
            ++n;
        }
        return out;
    }
};

inline std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Writes bytes at an offset of a file, leaving a hole before them when the
// file was shorter (a sparse file: holes read as zeros and take no space).
inline void WriteAt(const std::filesystem::path& path, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) throw std::runtime_error("cannot open " + path.string());
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    ::close(fd);
    if (n != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("cannot write " + path.string());
}

inline void ResizeFile(const std::filesystem::path& path, std::uint64_t size) {
    std::filesystem::resize_file(path, size);
}

}  // namespace tscard::test
