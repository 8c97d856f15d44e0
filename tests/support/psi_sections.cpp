#include "support/psi_sections.h"

#include "support/test_support.h"

namespace tscard::test {
namespace {

void Put16(std::vector<std::uint8_t>& v, unsigned value) {
    v.push_back(static_cast<std::uint8_t>(value >> 8));
    v.push_back(static_cast<std::uint8_t>(value));
}

// Fills in section_length (bytes 1-2, low 12 bits) for a section that will
// get its 4-byte CRC appended.
std::vector<std::uint8_t> Close(std::vector<std::uint8_t> s, std::uint8_t high_bits) {
    const std::size_t length = s.size() - 3 + 4;
    s[1] = static_cast<std::uint8_t>(high_bits | ((length >> 8) & 0x0F));
    s[2] = static_cast<std::uint8_t>(length);
    return WithCrc(std::move(s));
}

}  // namespace

std::vector<std::uint8_t> PatSection(const std::vector<PatProgram>& programs, std::uint16_t ts_id) {
    std::vector<std::uint8_t> s = {0x00, 0, 0};
    Put16(s, ts_id);
    s.insert(s.end(), {0xC1, 0x00, 0x00});
    for (const PatProgram& p : programs) {
        Put16(s, p.program_number);
        Put16(s, 0xE000 | p.pmt_pid);
    }
    return Close(std::move(s), 0xB0);
}

std::vector<std::uint8_t> PmtSection(std::uint16_t program_number, std::uint16_t pcr_pid,
                                     const std::vector<PmtStream>& streams,
                                     const std::vector<std::uint8_t>& program_descriptors) {
    std::vector<std::uint8_t> s = {0x02, 0, 0};
    Put16(s, program_number);
    s.insert(s.end(), {0xC1, 0x00, 0x00});
    Put16(s, 0xE000 | pcr_pid);
    Put16(s, 0xF000 | program_descriptors.size());
    s.insert(s.end(), program_descriptors.begin(), program_descriptors.end());
    for (const PmtStream& e : streams) {
        s.push_back(e.stream_type);
        Put16(s, 0xE000 | e.pid);
        Put16(s, 0xF000 | e.descriptors.size());
        s.insert(s.end(), e.descriptors.begin(), e.descriptors.end());
    }
    return Close(std::move(s), 0xB0);
}

std::vector<std::uint8_t> SdtSection(const std::vector<SdtService>& services, std::uint8_t section_number,
                                     std::uint8_t last_section_number, std::uint16_t ts_id) {
    std::vector<std::uint8_t> s = {0x42, 0, 0};
    Put16(s, ts_id);
    s.insert(s.end(), {0xC1, section_number, last_section_number});
    Put16(s, 0x0001);  // original_network_id
    s.push_back(0xFF);
    for (const SdtService& service : services) {
        Put16(s, service.service_id);
        s.push_back(0xFD);
        std::vector<std::uint8_t> loop;
        for (const auto& [provider, name] : service.descriptors) {
            loop.push_back(0x48);
            loop.push_back(static_cast<std::uint8_t>(3 + provider.size() + name.size()));
            loop.push_back(0x01);
            loop.push_back(static_cast<std::uint8_t>(provider.size()));
            loop.insert(loop.end(), provider.begin(), provider.end());
            loop.push_back(static_cast<std::uint8_t>(name.size()));
            loop.insert(loop.end(), name.begin(), name.end());
        }
        Put16(s, 0x8000 | loop.size());
        s.insert(s.end(), loop.begin(), loop.end());
    }
    return Close(std::move(s), 0xF0);
}

Packet PcrPacket(std::uint16_t pid, std::uint64_t pcr, std::uint8_t counter) {
    Packet p;
    p.fill(0xFF);
    p[0] = kSyncByte;
    p[1] = static_cast<std::uint8_t>(pid >> 8);
    p[2] = static_cast<std::uint8_t>(pid);
    p[3] = static_cast<std::uint8_t>(0x20 | (counter & 0x0F));  // adaptation field only
    p[4] = 183;
    p[5] = 0x10;
    const std::uint64_t base = pcr / 300;
    const std::uint64_t ext = pcr % 300;
    p[6] = static_cast<std::uint8_t>(base >> 25);
    p[7] = static_cast<std::uint8_t>(base >> 17);
    p[8] = static_cast<std::uint8_t>(base >> 9);
    p[9] = static_cast<std::uint8_t>(base >> 1);
    p[10] = static_cast<std::uint8_t>(((base & 1) << 7) | 0x7E | ((ext >> 8) & 1));
    p[11] = static_cast<std::uint8_t>(ext);
    return p;
}

Packet PayloadPacket(std::uint16_t pid, std::uint8_t fill, std::uint8_t counter, bool pusi) {
    Packet p;
    p.fill(fill);
    p[0] = kSyncByte;
    p[1] = static_cast<std::uint8_t>((pusi ? 0x40 : 0) | (pid >> 8));
    p[2] = static_cast<std::uint8_t>(pid);
    p[3] = static_cast<std::uint8_t>(0x10 | (counter & 0x0F));
    return p;
}

}  // namespace tscard::test
