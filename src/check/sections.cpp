#include "check/sections.h"

#include <algorithm>

#include "ts/packet.h"

namespace tscard {
namespace {

constexpr std::size_t kLongestSection = 3 + 4093;  // section_length is 12 bits, at most 4093

}  // namespace

std::size_t SectionAssembler::Take(const std::uint8_t* data, std::size_t length, SectionSink& sink) {
    std::size_t taken = 0;
    while (taken < length && active_) {
        if (needed_ == 0) {
            // The header's three bytes may themselves straddle packets.
            section_.push_back(data[taken++]);
            if (section_.size() == 3) {
                needed_ = 3 + (((std::size_t(section_[1]) & 0x0F) << 8) | section_[2]);
                if (needed_ > kLongestSection) {
                    active_ = false;  // no section: the rest of the packet is not read
                    return length;
                }
            }
            continue;
        }
        const std::size_t n = std::min(needed_ - section_.size(), length - taken);
        section_.insert(section_.end(), data + taken, data + taken + n);
        taken += n;
        if (section_.size() == needed_) {
            active_ = false;
            sink.OnSection(section_.data(), section_.size());
        }
    }
    return taken;
}

void SectionAssembler::Feed(const std::uint8_t* packet, SectionSink& sink) {
    const unsigned control = AdaptationFieldControl(packet);
    if ((control & 1) == 0) return;
    std::size_t at = 4;
    if (control & 2) at += 1 + std::size_t(packet[4]);
    if (at >= kPacketSize) {
        active_ = false;
        return;
    }
    const std::uint8_t* payload = packet + at;
    std::size_t length = kPacketSize - at;
    if (!PayloadUnitStart(packet)) {
        Take(payload, length, sink);
        return;
    }
    const std::size_t pointer = payload[0];
    ++payload;
    --length;
    if (pointer > length) {
        active_ = false;
        return;
    }
    // The bytes before the pointer end the section in hand.
    if (active_) Take(payload, pointer, sink);
    active_ = false;
    std::size_t i = pointer;
    while (i < length && payload[i] != 0xFF) {
        section_.clear();
        needed_ = 0;
        active_ = true;
        sink.OnSectionStart(payload[i]);
        i += Take(payload + i, length - i, sink);
        if (active_) break;  // it goes on in the next packet
    }
}

bool CarriesCrc(std::uint16_t pid, bool pmt_pid, std::uint8_t table_id) {
    switch (pid) {
        case 0x0000: return table_id == 0x00;
        case 0x0001: return table_id == 0x01;
        case 0x0010: return table_id == 0x40 || table_id == 0x41;
        case 0x0011: return table_id == 0x42 || table_id == 0x46 || table_id == 0x4A;
        case 0x0012: return table_id >= 0x4E && table_id <= 0x6F;
        case 0x0014: return table_id == 0x73;
        default: return pmt_pid && table_id == 0x02;
    }
}

bool ReadPatSection(const std::uint8_t* s, std::size_t length, std::vector<PatEntry>& programs) {
    if (length < 12 || !SectionCurrent(s)) return false;
    for (std::size_t i = 8; i + 4 <= length - 4; i += 4) {
        const std::uint16_t number = static_cast<std::uint16_t>((s[i] << 8) | s[i + 1]);
        const std::uint16_t pid = static_cast<std::uint16_t>(((s[i + 2] & 0x1F) << 8) | s[i + 3]);
        if (number != 0) programs.push_back({number, pid});  // 0 names the NIT
    }
    return true;
}

bool ReadPmtSection(const std::uint8_t* s, std::size_t length, PmtTable& pmt) {
    if (length < 16 || !SectionCurrent(s)) return false;
    pmt.ProgramNumber = static_cast<std::uint16_t>((s[3] << 8) | s[4]);
    pmt.Version = SectionVersion(s);
    pmt.PcrPid = static_cast<std::uint16_t>(((s[8] & 0x1F) << 8) | s[9]);
    const std::size_t info = ((std::size_t(s[10]) & 0x0F) << 8) | s[11];
    const std::size_t end = length - 4;
    for (std::size_t i = 12 + info; i + 5 <= end;) {
        const std::size_t es_info = ((std::size_t(s[i + 3]) & 0x0F) << 8) | s[i + 4];
        PmtStreamEntry entry{s[i], static_cast<std::uint16_t>(((s[i + 1] & 0x1F) << 8) | s[i + 2]), {}};
        const std::size_t info_end = std::min(end, i + 5 + es_info);
        for (std::size_t d = i + 5; d + 2 <= info_end; d += 2 + s[d + 1]) entry.DescriptorTags.push_back(s[d]);
        pmt.Streams.push_back(std::move(entry));
        i += 5 + es_info;
    }
    return true;
}

}  // namespace tscard
