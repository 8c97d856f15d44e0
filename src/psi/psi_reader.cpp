#include "psi/psi_reader.h"

#include <algorithm>
#include <cstring>

#include "psi/crc32.h"
#include "psi/table_ids.h"
#include "ts/descriptor_tags.h"

namespace tscard {
namespace {

constexpr std::uint16_t kMaxSectionLength = 1024;

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

const std::uint8_t* Section(const SectionBuffer& buffer) { return buffer.Data.data() + buffer.SectionStart; }

// Bytes of the section collected so far.
std::size_t Collected(const SectionBuffer& buffer) { return buffer.WritePos - buffer.SectionStart; }

bool SectionComplete(const SectionBuffer& buffer) {
    return Collected(buffer) >= std::size_t(buffer.SectionLength) + 3;
}

enum class Start { Ok, NoHeader };

// First packet of a section: keep the packet, find the section after the
// pointer_field and take its section_length. The section header must lie
// in this packet (header_bytes of it).
Start BeginSection(SectionBuffer& buffer, const std::uint8_t* packet, const PayloadPosition& payload,
                   std::size_t header_bytes) {
    const std::size_t start = payload.offset + 1 + packet[payload.offset];
    if (start + header_bytes > kPacketSize) return Start::NoHeader;
    buffer.Data.fill(0xFF);
    std::memcpy(buffer.Data.data(), packet, kPacketSize);
    buffer.WritePos = kPacketSize;
    buffer.SectionStart = start;
    buffer.Packets = 1;
    buffer.SectionLength = Read16(buffer.Data.data() + start + 1) & 0x0FFF;
    buffer.Assembling = false;
    return Start::Ok;
}

// Continuation packet: append its payload. Returns false when the buffer
// cannot take the rest of the section (the section is then abandoned).
bool AppendContinuation(SectionBuffer& buffer, const std::uint8_t* packet, const PayloadPosition& payload) {
    const std::size_t len = kPacketSize - payload.offset;
    const std::size_t room = SectionBuffer::kCapacity - buffer.WritePos;
    const std::size_t take = std::min(len, room);
    std::memcpy(buffer.Data.data() + buffer.WritePos, packet + payload.offset, take);
    buffer.WritePos += take;
    ++buffer.Packets;
    if (!SectionComplete(buffer) && buffer.WritePos == SectionBuffer::kCapacity) {
        buffer.Assembling = false;
        return false;
    }
    return true;
}

bool CrcOk(const SectionBuffer& buffer) {
    return Crc32Mpeg2(Section(buffer), std::size_t(buffer.SectionLength) + 3) == 0;
}

// ---- PAT ----

void ReadPatBody(StreamAnalysis& analysis, ResultLists& lists) {
    const SectionBuffer& buffer = analysis.PatBuffer;
    const std::uint8_t* s = Section(buffer);
    if (buffer.SectionLength < 9) return;
    const std::size_t entries = (buffer.SectionLength - 9) / 4;
    for (std::size_t n = 0; n < entries; ++n) {
        const std::uint8_t* e = s + 8 + 4 * n;
        const std::uint16_t program_number = Read16(e);
        const std::uint16_t pid = Read16(e + 2) & 0x1FFF;
        if (program_number == 0) continue;
        if (std::find(lists.ProgramNumbers.begin(), lists.ProgramNumbers.end(), program_number) !=
            lists.ProgramNumbers.end())
            break;
        // The description has room for kMaxPrograms; further entries are refused.
        if (analysis.PatPrograms.size() >= kMaxPrograms) break;
        lists.ProgramNumbers.push_back(program_number);
        lists.PmtPids.push_back(pid);
        ProgramEntry entry;
        entry.PmtPid = pid;
        entry.ProgramNumber = program_number;
        analysis.PatPrograms.push_back(entry);
    }
}

// ---- PMT ----

// The descriptors of one elementary stream in section bytes [at, end):
// their tags, and the first ISO 639 language code. A descriptor that runs
// past end is not taken.
void ReadEsDescriptors(const std::uint8_t* s, int at, int end, EsEntry& es) {
    while (at + 2 <= end) {
        const std::uint8_t tag = s[at];
        const int next = at + 2 + s[at + 1];
        if (next > end) break;
        es.DescriptorTags.push_back(tag);
        if (tag == kIso639LanguageTag && s[at + 1] >= 3 && es.Language.empty())
            es.Language.assign(reinterpret_cast<const char*>(s + at + 2), 3);
        at = next;
    }
}

// Section bytes: 3-4 program_number, 8-9 PCR_PID, 10-11 program_info_length,
// then the program descriptors and the elementary-stream loop; the CRC_32
// closes it. Every read stays inside the section.
ProgramEntry ReadPmtBody(const SectionBuffer& buffer) {
    const std::uint8_t* s = Section(buffer);
    const int length = buffer.SectionLength;
    const int end = length + 3 - 4;  // first CRC byte
    ProgramEntry entry;
    entry.PmtPid = buffer.Pid;
    entry.ProgramNumber = Read16(s + 3);
    if (end < 12) return entry;
    entry.PcrPid = Read16(s + 8) & 0x1FFF;
    const int info_length = Read16(s + 10) & 0x0FFF;
    int pos = 12;
    int consumed = 0;
    while (consumed < info_length && pos + consumed + 2 <= end) consumed += 2 + s[pos + consumed + 1];
    pos += consumed;
    // The loop bound of the reader: three fewer than the loop's length, which
    // loses nothing since every entry takes at least five bytes.
    const int loop_bound = length - 16 - info_length;
    int used = 0;
    while (used < loop_bound && pos + used + 5 <= end) {
        const std::uint8_t* e = s + pos + used;
        EsEntry es;
        es.StreamType = e[0];
        es.Pid = Read16(e + 1) & 0x1FFF;
        const int es_info_length = Read16(e + 3) & 0x0FFF;
        ReadEsDescriptors(s, pos + used + 5, std::min(pos + used + 5 + es_info_length, end), es);
        entry.Streams.push_back(std::move(es));
        used += 5 + es_info_length;
    }
    return entry;
}

// A one-packet PMT whose section does not start at byte 5 (an adaptation
// field, or a pointer_field above 0) is stored as if it had neither: byte 3
// 0x11, pointer_field 0, the section from byte 5 on, 0xFF after the rest.
void NormaliseStoredPmt(SectionBuffer& buffer) {
    if (buffer.Packets != 1 || buffer.SectionStart == 5) return;
    std::uint8_t* d = buffer.Data.data();
    const std::size_t tail = kPacketSize - buffer.SectionStart;
    std::memmove(d + 5, d + buffer.SectionStart, tail);
    std::memset(d + 5 + tail, 0xFF, kPacketSize - 5 - tail);
    d[0] = kSyncByte;
    d[1] = static_cast<std::uint8_t>(0x40 | ((buffer.Pid >> 8) & 0x1F));
    d[2] = static_cast<std::uint8_t>(buffer.Pid & 0xFF);
    d[3] = 0x11;
    d[4] = 0x00;
    buffer.SectionStart = 5;
}

// ---- SDT ----

void ReadSdtBody(StreamAnalysis& analysis) {
    const SectionBuffer& buffer = analysis.SdtBuffer;
    const std::uint8_t* s = Section(buffer);
    const int length = buffer.SectionLength;
    const int end = length + 3 - 4;
    int pos = 11;  // after original_network_id and reserved_future_use
    while (pos + 5 <= end) {
        const std::uint16_t service_id = Read16(s + pos);
        const int loop_length = Read16(s + pos + 3) & 0x0FFF;
        analysis.ServiceIds.push_back(service_id);
        const int loop_end = std::min(pos + 5 + loop_length, end);
        int d = pos + 5;
        // Every descriptor is read as a service_descriptor, whatever its tag;
        // one whose names do not fit inside it contributes nothing.
        while (d + 2 <= loop_end) {
            const int descriptor_end = d + 2 + s[d + 1];
            if (descriptor_end > loop_end) break;
            const int provider_at = d + 3;
            if (provider_at + 1 <= descriptor_end) {
                const int provider_length = s[provider_at];
                const int name_at = provider_at + 1 + provider_length;
                if (name_at + 1 <= descriptor_end && name_at + 1 + s[name_at] <= descriptor_end) {
                    analysis.Providers.emplace_back(reinterpret_cast<const char*>(s + provider_at + 1),
                                                    provider_length);
                    analysis.ServiceNames.emplace_back(reinterpret_cast<const char*>(s + name_at + 1),
                                                       s[name_at]);
                }
            }
            d = descriptor_end;
        }
        pos += 5 + loop_length;
    }
}

// A verified SDT section has been read: done, or more sections to follow.
std::int32_t FinishSdtSection(StreamAnalysis& analysis) {
    SectionBuffer& buffer = analysis.SdtBuffer;
    buffer.Assembling = false;
    if (!CrcOk(buffer)) {
        // Expect the same section again.
        analysis.SdtExpectedSection = analysis.SdtSectionNumber;
        return kPsiCrcError;
    }
    ReadSdtBody(analysis);
    if (buffer.LastSectionNumber != 0 && buffer.LastSectionNumber != analysis.SdtSectionNumber) {
        buffer.Packets = 0;
        return kPsiNeedMore;
    }
    return kPsiSectionRead;
}

// The state machine shared by the PAT and the SDT.
template <typename Reader>
std::int32_t RunTableState(std::int32_t& state, bool& done, std::uint16_t pid, ResultLists& lists,
                           bool is_pat, Reader&& reader) {
    switch (state) {
        case kPsiInitial:
        case kPsiNeedMore:
        case kPsiCrcError:
        case kPsiRefused:
            state = reader();
            // Done as soon as the table has been read, not at its next packet.
            if (state == kPsiSectionRead && !done) {
                done = true;
                lists.KnownPids.push_back(pid);
            }
            return is_pat ? state : kPsiIgnored;
        case kPsiSectionRead:
            return state;
        default:
            return is_pat ? state : kPsiIgnored;
    }
}

std::int32_t WalkPmts(StreamAnalysis& analysis, ResultLists& lists, std::uint16_t pid, const std::uint8_t* packet,
                      const PayloadPosition& payload) {
    if (!analysis.PatDone) return kPsiNeedMore;
    if (!payload.present) return kPsiIgnored;
    for (std::size_t i = 0; i < analysis.PatPrograms.size(); ++i) {
        ProgramEntry& entry = analysis.PatPrograms[i];
        if (entry.PmtPid != pid || entry.PmtRead) continue;
        const std::int32_t code = ReadPmt(analysis, lists, i, packet, payload);
        if (code == kPsiSectionRead) {
            entry.PmtRead = true;
            return code;
        }
        if (code == kPsiInitial || code == kPsiNeedMore || code == kPsiCrcError) return code;
    }
    return kPsiNeedMore;
}

}  // namespace

PayloadPosition LocatePayload(const std::uint8_t* packet) {
    PayloadPosition payload;
    switch (AdaptationFieldControl(packet)) {
        case 2:
            return payload;
        case 3: {
            const std::size_t offset = 5 + std::size_t(AdaptationFieldLength(packet));
            if (offset >= kPacketSize) return payload;
            payload.present = true;
            payload.offset = offset;
            return payload;
        }
        default:
            payload.present = true;
            payload.offset = 4;
            return payload;
    }
}

bool DescriptionComplete(const StreamAnalysis& analysis, const ResultLists& lists) {
    return analysis.PatDone && !lists.ProgramNumbers.empty() &&
           lists.ParsedPrograms.size() == lists.ProgramNumbers.size();
}

std::int32_t ProcessPacket(StreamAnalysis& analysis, ResultLists& lists, const std::uint8_t* packet, StopFlag* stop,
                           bool route_after_complete) {
    if (stop != nullptr && stop->TakeIfSet()) return kPsiStopped;
    if (!route_after_complete && DescriptionComplete(analysis, lists)) return kPsiComplete;
    const std::uint16_t pid = FoldPid(packet);
    if (pid == kNullPid) return kPsiNeedMore;
    const PayloadPosition payload = LocatePayload(packet);
    if (pid == kPatPid) {
        return RunTableState(analysis.PatState, analysis.PatDone, kPatPid, lists, true,
                             [&] { return ReadPat(analysis, lists, packet, payload); });
    }
    if (pid == kNitPid) {
        analysis.NitState = kPsiIgnored;
        return kPsiIgnored;
    }
    if (pid == kSdtPid) {
        return RunTableState(analysis.SdtState, analysis.SdtDone, kSdtPid, lists, false,
                             [&] { return ReadSdt(analysis, packet, payload); });
    }
    if (pid < 32) return kPsiIgnored;
    return WalkPmts(analysis, lists, pid, packet, payload);
}

std::int32_t ReadPat(StreamAnalysis& analysis, ResultLists& lists, const std::uint8_t* packet,
                     const PayloadPosition& payload) {
    if (!payload.present) return kPsiNeedMore;
    SectionBuffer& buffer = analysis.PatBuffer;
    if (PayloadUnitStart(packet)) {
        if (BeginSection(buffer, packet, payload, 3) != Start::Ok) return kPsiNeedMore;
        if (buffer.SectionLength > kMaxSectionLength) return kPsiRefused;
        if (!SectionComplete(buffer)) {
            buffer.Assembling = true;
            return kPsiNeedMore;
        }
    } else {
        if (!buffer.Assembling) return kPsiNeedMore;
        if (!AppendContinuation(buffer, packet, payload)) return kPsiRefused;
        if (!SectionComplete(buffer)) return kPsiNeedMore;
    }
    buffer.Assembling = false;
    if (!CrcOk(buffer)) return kPsiCrcError;
    ReadPatBody(analysis, lists);
    return kPsiSectionRead;
}

std::int32_t ReadPmt(StreamAnalysis& analysis, ResultLists& lists, std::size_t slot, const std::uint8_t* packet,
                     const PayloadPosition& payload) {
    if (!payload.present || slot >= kMaxPrograms || slot >= analysis.PatPrograms.size()) return kPsiNeedMore;
    SectionBuffer& buffer = analysis.PmtSlots[slot];
    const std::uint16_t pid = FoldPid(packet);
    if (PayloadUnitStart(packet)) {
        // A new section start on this PID ends any section still being collected.
        if (buffer.Pid == pid) buffer.Assembling = false;
        const std::size_t start = payload.offset + 1 + packet[payload.offset];
        if (start + 5 > kPacketSize || packet[start] != kPmtTableId) return kPsiIgnored;
        const std::uint16_t program_number = Read16(packet + start + 3);
        // Only the PMT of this slot's own program fills it: programs may share
        // a PMT PID.
        if (program_number != analysis.PatPrograms[slot].ProgramNumber) return kPsiRefused;
        if ((Read16(packet + start + 1) & 0x0FFF) > kMaxSectionLength) return kPsiRefused;
        BeginSection(buffer, packet, payload, 5);
        buffer.Pid = pid;
        if (!SectionComplete(buffer)) {
            buffer.Assembling = true;
            return kPsiNeedMore;
        }
    } else {
        // Not this slot's section: let the walk offer it to the next entry.
        if (!buffer.Assembling) return kPsiIgnored;
        if (pid != buffer.Pid) return kPsiNeedMore;
        if (!AppendContinuation(buffer, packet, payload)) return kPsiRefused;
        if (!SectionComplete(buffer)) return kPsiNeedMore;
    }
    buffer.Assembling = false;
    if (!CrcOk(buffer)) return kPsiCrcError;
    lists.ParsedPrograms.push_back(ReadPmtBody(buffer));
    NormaliseStoredPmt(buffer);
    return kPsiSectionRead;
}

std::int32_t ReadSdt(StreamAnalysis& analysis, const std::uint8_t* packet, const PayloadPosition& payload) {
    if (!payload.present) return kPsiNeedMore;
    SectionBuffer& buffer = analysis.SdtBuffer;
    if (PayloadUnitStart(packet)) {
        const std::size_t start = payload.offset + 1 + packet[payload.offset];
        if (!analysis.PatDone || start + 8 > kPacketSize || packet[start] != kSdtTableId) return kPsiNeedMore;
        BeginSection(buffer, packet, payload, 8);
        const std::uint8_t* s = Section(buffer);
        buffer.SectionNumber = s[6];
        buffer.LastSectionNumber = s[7];
        analysis.SdtSectionNumber = buffer.SectionNumber;
        // Sections are read in order, from section 0.
        if (analysis.SdtSectionNumber != analysis.SdtExpectedSection) {
            analysis.SdtSectionNumber = 0xFF;
            analysis.SdtExpectedSection = 0;
            return kPsiNeedMore;
        }
        ++analysis.SdtExpectedSection;
        if (buffer.SectionLength > kMaxSectionLength) return kPsiComplete;
        if (!SectionComplete(buffer)) {
            buffer.Assembling = true;
            return kPsiNeedMore;
        }
        return FinishSdtSection(analysis);
    }
    if (analysis.SdtSectionNumber == 0xFF || !buffer.Assembling) return kPsiNeedMore;
    if (!AppendContinuation(buffer, packet, payload)) return kPsiRefused;
    if (!SectionComplete(buffer)) return kPsiNeedMore;
    return FinishSdtSection(analysis);
}

}  // namespace tscard
