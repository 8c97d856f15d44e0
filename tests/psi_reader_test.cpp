// Reading PAT, PMT and SDT out of packets into an analysis.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "psi/psi_reader.h"
#include "support/psi_sections.h"
#include "support/test_support.h"

namespace tscard {
namespace {

using test::PatSection;
using test::PmtSection;
using test::SdtSection;
using test::SectionPackets;

struct Reader {
    StreamAnalysis analysis;
    ResultLists lists;
    StopFlag stop;

    std::int32_t Feed(const Packet& p) { return ProcessPacket(analysis, lists, p.data(), &stop); }
    std::int32_t Feed(const std::vector<Packet>& packets) {
        std::int32_t last = kPsiInitial;
        for (const Packet& p : packets) last = Feed(p);
        return last;
    }
};

std::vector<Packet> Pat(const std::vector<test::PatProgram>& programs) {
    return SectionPackets(kPatPid, PatSection(programs));
}

TEST(PatReading, ListsProgramsInPatOrderSkippingTheNetworkEntry) {
    struct Case {
        const char* what;
        std::vector<test::PatProgram> programs;
        std::vector<std::uint16_t> numbers;
        std::vector<std::uint16_t> pids;
    };
    const Case cases[] = {
        {"NIT entry and two programs", {{0, 0x10}, {1, 0x100}, {2, 0x101}}, {1, 2}, {0x100, 0x101}},
        {"a repeated program ends the loop", {{3, 0x100}, {3, 0x100}, {4, 0x101}}, {3}, {0x100}},
        {"only the network entry", {{0, 0x10}}, {}, {}},
    };
    for (const Case& c : cases) {
        Reader r;
        EXPECT_EQ(r.Feed(Pat(c.programs)), kPsiSectionRead) << c.what;
        EXPECT_EQ(r.lists.ProgramNumbers, c.numbers) << c.what;
        EXPECT_EQ(r.lists.PmtPids, c.pids) << c.what;
        EXPECT_EQ(r.analysis.PatDone, 1) << c.what;
        EXPECT_EQ(r.lists.KnownPids, std::vector<std::uint16_t>{0}) << c.what;
        ASSERT_EQ(r.analysis.PatPrograms.size(), c.numbers.size()) << c.what;
        for (const ProgramEntry& e : r.analysis.PatPrograms) EXPECT_EQ(e.PcrPid, kNullPid);
    }
}

TEST(PatReading, PatWithoutProgramsNeverCompletes) {
    Reader r;
    r.Feed(Pat({{0, 0x10}}));
    for (int i = 0; i < 3; ++i) EXPECT_NE(r.Feed(Pat({{0, 0x10}})), kPsiComplete);
}

TEST(PatReading, RefusesProgramsBeyondTheThirtySecond) {
    std::vector<test::PatProgram> programs;
    for (std::uint16_t n = 1; n <= 40; ++n) programs.push_back({n, static_cast<std::uint16_t>(0x100 + n)});
    Reader r;
    r.Feed(Pat(programs));
    EXPECT_EQ(r.lists.ProgramNumbers.size(), kMaxPrograms);
    EXPECT_EQ(r.analysis.PatPrograms.size(), kMaxPrograms);
    EXPECT_EQ(r.lists.ProgramNumbers.back(), 32);
}

TEST(PatReading, CrcErrorLeavesTheTableOpenForItsNextSection) {
    Reader r;
    std::vector<Packet> bad = Pat({{1, 0x100}});
    bad[0][10] ^= 0x01;
    EXPECT_EQ(r.Feed(bad), kPsiCrcError);
    EXPECT_EQ(r.analysis.PatDone, 0);
    EXPECT_EQ(r.Feed(Pat({{1, 0x100}})), kPsiSectionRead);
    EXPECT_EQ(r.lists.ProgramNumbers, std::vector<std::uint16_t>{1});
}

TEST(ProcessPacket, CompletesWhenEveryProgramHasItsPmt) {
    Reader r;
    const auto pmt = SectionPackets(0x100, PmtSection(1, 0x200, {{0x02, 0x200, {}}, {0x04, 0x201, {}}}));
    EXPECT_EQ(r.Feed(pmt), kPsiNeedMore) << "a PMT before the PAT is ignored";
    EXPECT_TRUE(r.lists.ParsedPrograms.empty());
    r.Feed(Pat({{1, 0x100}}));
    EXPECT_EQ(r.Feed(pmt), kPsiSectionRead) << "read from its next occurrence";
    EXPECT_TRUE(DescriptionComplete(r.analysis, r.lists));
    EXPECT_EQ(r.Feed(test::PayloadPacket(0x300)), kPsiComplete);
    ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u);
    const ProgramEntry& e = r.lists.ParsedPrograms[0];
    EXPECT_EQ(e.PmtPid, 0x100);
    EXPECT_EQ(e.ProgramNumber, 1);
    EXPECT_EQ(e.PcrPid, 0x200);
    ASSERT_EQ(e.Streams.size(), 2u);
    EXPECT_EQ(e.Streams[0].Pid, 0x200);
    EXPECT_EQ(e.Streams[0].StreamType, 0x02);
    EXPECT_EQ(e.Streams[1].Pid, 0x201);
    EXPECT_EQ(e.Streams[1].StreamType, 0x04);
}

TEST(ProcessPacket, PatSentOnceCompletesWithPmtsThatFollowIt) {
    Reader r;
    r.Feed(Pat({{1, 0x100}, {2, 0x101}}));
    r.Feed(SectionPackets(0x101, PmtSection(2, 0x210, {{0x02, 0x210, {}}})));
    r.Feed(SectionPackets(0x100, PmtSection(1, 0x200, {{0x02, 0x200, {}}})));
    EXPECT_TRUE(DescriptionComplete(r.analysis, r.lists));
    ASSERT_EQ(r.lists.ParsedPrograms.size(), 2u);
    EXPECT_EQ(r.lists.ParsedPrograms[0].ProgramNumber, 2) << "in the order the sections completed";
    EXPECT_EQ(r.lists.ParsedPrograms[1].ProgramNumber, 1);
}

TEST(ProcessPacket, ProgramsSharingAPmtPidEachGetTheirOwnPmt) {
    Reader r;
    r.Feed(Pat({{1, 0x100}, {2, 0x100}}));
    const auto pmt2 = SectionPackets(0x100, PmtSection(2, 0x210, {{0x02, 0x210, {}}}));
    const auto pmt1 = SectionPackets(0x100, PmtSection(1, 0x200, {{0x02, 0x200, {}}}));
    r.Feed(pmt2);
    r.Feed(pmt2);  // repeated: must not fill program 1's slot
    EXPECT_FALSE(DescriptionComplete(r.analysis, r.lists));
    r.Feed(pmt1);
    ASSERT_TRUE(DescriptionComplete(r.analysis, r.lists));
    EXPECT_EQ(r.lists.ParsedPrograms[0].ProgramNumber, 2);
    EXPECT_EQ(r.lists.ParsedPrograms[1].ProgramNumber, 1);
    EXPECT_EQ(r.analysis.PatPrograms[0].PmtRead, 1);
    EXPECT_EQ(r.analysis.PatPrograms[1].PmtRead, 1);
}

TEST(ProcessPacket, MultiPacketPmtIsReadAfterItsLastPacket) {
    // Section lengths that need two packets, including 181 and 182, which
    // do not fit the 183 payload bytes after the pointer_field.
    for (std::size_t es_info : {0u, 160u, 161u, 162u, 270u, 1000u}) {
        std::vector<std::uint8_t> descriptors;
        for (std::size_t left = es_info; left > 0;) {
            const std::size_t body = std::min<std::size_t>(left - 2, 255);
            descriptors.push_back(0x05);
            descriptors.push_back(static_cast<std::uint8_t>(body));
            descriptors.insert(descriptors.end(), body, 0x41);
            left -= body + 2;
        }
        const auto section = PmtSection(1, 0x200, {{0x02, 0x200, descriptors}, {0x03, 0x201, {}}});
        const auto packets = SectionPackets(0x100, section);
        Reader r;
        r.Feed(Pat({{1, 0x100}}));
        for (std::size_t i = 0; i + 1 < packets.size(); ++i) EXPECT_EQ(r.Feed(packets[i]), kPsiNeedMore);
        EXPECT_EQ(r.Feed(packets.back()), kPsiSectionRead) << "section_length " << section.size() - 3;
        ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u);
        ASSERT_EQ(r.lists.ParsedPrograms[0].Streams.size(), 2u);
        EXPECT_EQ(r.lists.ParsedPrograms[0].Streams[1].Pid, 0x201);
    }
}

TEST(ProcessPacket, ProgramDescriptorsAreSkippedBeforeTheStreamLoop) {
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    const std::vector<std::uint8_t> three_descriptors = {0x0E, 0x00, 0x0F, 0x00, 0x10, 0x00};
    r.Feed(SectionPackets(0x100, PmtSection(1, 0x1FFF, {{0x1B, 0x300, {}}}, three_descriptors)));
    ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u);
    ASSERT_EQ(r.lists.ParsedPrograms[0].Streams.size(), 1u);
    EXPECT_EQ(r.lists.ParsedPrograms[0].Streams[0].Pid, 0x300);
    EXPECT_EQ(r.lists.ParsedPrograms[0].Streams[0].StreamType, 0x1B);
}

TEST(ProcessPacket, EachStreamKeepsItsDescriptorTagsAndFirstLanguage) {
    struct Case {
        const char* what;
        test::PmtStream stream;
        std::vector<std::uint8_t> tags;
        std::string language;
    };
    const Case cases[] = {
        {"language and AC-3", {0x06, 0x101, {0x0A, 4, 'd', 'e', 'u', 0, 0x6A, 1, 0x00}}, {0x0A, 0x6A}, "deu"},
        {"no descriptors", {0x0F, 0x102, {}}, {}, ""},
        {"the first language counts", {0x03, 0x103, {0x0A, 4, 'e', 'n', 'g', 0, 0x0A, 4, 'f', 'r', 'a', 0}},
         {0x0A, 0x0A}, "eng"},
        {"a language too short to hold a code", {0x03, 0x104, {0x0A, 2, 'e', 'n'}}, {0x0A}, ""},
        {"a descriptor that runs past the stream's info", {0x06, 0x105, {0x59, 1, 0x00, 0x0A, 0x20, 'x'}}, {0x59}, ""},
    };
    for (const Case& c : cases) {
        Reader r;
        r.Feed(Pat({{1, 0x100}}));
        // A stream after the one under test shows that the loop went on
        // by the stream's info length, whatever its descriptors claimed.
        r.Feed(SectionPackets(0x100, PmtSection(1, 0x1FFF, {c.stream, {0x1B, 0x300, {}}})));
        ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u) << c.what;
        const auto& streams = r.lists.ParsedPrograms[0].Streams;
        ASSERT_EQ(streams.size(), 2u) << c.what;
        EXPECT_EQ(streams[0].DescriptorTags, c.tags) << c.what;
        EXPECT_EQ(streams[0].Language, c.language) << c.what;
        EXPECT_EQ(streams[1].Pid, 0x300) << c.what;
        EXPECT_TRUE(streams[1].DescriptorTags.empty()) << c.what;
    }
}

TEST(ProcessPacket, PmtWithoutStreamsIsReadEmpty) {
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    EXPECT_EQ(r.Feed(SectionPackets(0x100, PmtSection(1, 0x1FFF, {}))), kPsiSectionRead);
    ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u);
    EXPECT_TRUE(r.lists.ParsedPrograms[0].Streams.empty());
}

// A one-packet PMT behind an adaptation field (or a pointer_field above 0)
// is read, and kept as if the section began at byte 5.
TEST(ProcessPacket, StoredPmtPacketLosesItsAdaptationField) {
    const auto section = PmtSection(1, 0x200, {{0x02, 0x200, {}}});
    struct Case {
        const char* what;
        std::uint8_t adaptation_length;  // 0: none
        std::uint8_t pointer;
    };
    for (const Case& c : {Case{"adaptation field", 7, 0}, Case{"pointer_field 3", 0, 3}}) {
        Packet p;
        p.fill(0xFF);
        p[0] = 0x47;
        p[1] = 0x41;
        p[2] = 0x00;
        std::size_t at = 4;
        if (c.adaptation_length) {
            p[3] = 0x35;
            p[4] = c.adaptation_length;
            p[5] = 0x00;
            at = 5 + c.adaptation_length;
        } else {
            p[3] = 0x15;
        }
        p[at++] = c.pointer;
        at += c.pointer;
        std::copy(section.begin(), section.end(), p.begin() + at);
        Reader r;
        r.Feed(Pat({{1, 0x100}}));
        EXPECT_EQ(r.Feed(p), kPsiSectionRead) << c.what;
        const auto& stored = r.analysis.PmtSlots[0].Data;
        EXPECT_EQ(stored[0], 0x47);
        EXPECT_EQ(stored[1], 0x41);
        EXPECT_EQ(stored[2], 0x00);
        EXPECT_EQ(stored[3], 0x11);
        EXPECT_EQ(stored[4], 0x00);
        EXPECT_EQ(stored[5], 0x02);
        EXPECT_TRUE(std::equal(section.begin(), section.end(), stored.begin() + 5)) << c.what;
        EXPECT_EQ(stored[5 + section.size()], 0xFF);
    }
}

TEST(ProcessPacket, MultiPacketSectionBehindAnAdaptationFieldIsReadCorrectly) {
    std::vector<std::uint8_t> descriptors(2 + 200, 0x41);
    descriptors[0] = 0x05;
    descriptors[1] = 200;
    const auto section = PmtSection(1, 0x200, {{0x02, 0x200, descriptors}, {0x04, 0x201, {}}});
    // First packet: adaptation field of 20 bytes, then pointer 0 and the section.
    std::vector<Packet> packets;
    Packet first;
    first.fill(0xFF);
    first[0] = 0x47;
    first[1] = 0x41;
    first[2] = 0x00;
    first[3] = 0x30;
    first[4] = 20;
    first[5] = 0;
    first[25] = 0x00;
    const std::size_t in_first = kPacketSize - 26;
    std::copy(section.begin(), section.begin() + in_first, first.begin() + 26);
    packets.push_back(first);
    Packet second = test::PayloadPacket(0x100, 0xFF, 1);
    std::copy(section.begin() + in_first, section.end(), second.begin() + 4);
    packets.push_back(second);
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    EXPECT_EQ(r.Feed(packets), kPsiSectionRead);
    ASSERT_EQ(r.lists.ParsedPrograms.size(), 1u);
    ASSERT_EQ(r.lists.ParsedPrograms[0].Streams.size(), 2u);
    EXPECT_EQ(r.lists.ParsedPrograms[0].Streams[1].StreamType, 0x04);
}

TEST(SdtReading, ReadsProviderAndServiceNamesAfterThePat) {
    Reader r;
    const auto sdt = SectionPackets(kSdtPid, SdtSection({{1, {{"Prov", "Chan"}}}, {2, {{"P2", "C2"}}}}));
    r.Feed(sdt);
    EXPECT_TRUE(r.analysis.ServiceIds.empty()) << "an SDT before the PAT is not read";
    r.Feed(Pat({{1, 0x100}, {2, 0x101}}));
    r.Feed(sdt);
    EXPECT_EQ(r.analysis.SdtDone, 1);
    EXPECT_EQ(r.analysis.ServiceIds, (std::vector<std::uint16_t>{1, 2}));
    EXPECT_EQ(r.analysis.Providers, (std::vector<std::string>{"Prov", "P2"}));
    EXPECT_EQ(r.analysis.ServiceNames, (std::vector<std::string>{"Chan", "C2"}));
    EXPECT_EQ(r.lists.KnownPids, (std::vector<std::uint16_t>{0, 0x11}));
}

TEST(SdtReading, ServiceWithTwoDescriptorsGivesTwoNames) {
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    r.Feed(SectionPackets(kSdtPid, SdtSection({{7, {{"A", "B"}, {"C", "D"}}}})));
    EXPECT_EQ(r.analysis.ServiceIds, std::vector<std::uint16_t>{7});
    EXPECT_EQ(r.analysis.Providers, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(r.analysis.ServiceNames, (std::vector<std::string>{"B", "D"}));
}

TEST(SdtReading, SectionsAreReadInOrderFromSectionZero) {
    Reader r;
    r.Feed(Pat({{1, 0x100}, {2, 0x101}}));
    const auto s0 = SectionPackets(kSdtPid, SdtSection({{1, {{"P0", "N0"}}}}, 0, 1));
    const auto s1 = SectionPackets(kSdtPid, SdtSection({{2, {{"P1", "N1"}}}}, 1, 1));
    r.Feed(s1);
    EXPECT_TRUE(r.analysis.ServiceIds.empty()) << "section 1 before section 0 is ignored";
    r.Feed(s0);
    EXPECT_EQ(r.analysis.SdtDone, 0) << "section 1 still to come";
    r.Feed(s1);
    EXPECT_EQ(r.analysis.SdtDone, 1);
    EXPECT_EQ(r.analysis.ServiceIds, (std::vector<std::uint16_t>{1, 2}));
    EXPECT_EQ(r.analysis.ServiceNames, (std::vector<std::string>{"N0", "N1"}));
}

TEST(SdtReading, MultiPacketSdtIsReadAfterItsLastPacket) {
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    std::vector<test::SdtService> services;
    for (std::uint16_t id = 1; id <= 12; ++id) services.push_back({id, {{"Provider" + std::to_string(id), "Name"}}});
    const auto packets = SectionPackets(kSdtPid, SdtSection(services));
    ASSERT_GT(packets.size(), 1u);
    r.Feed(packets);
    EXPECT_EQ(r.analysis.SdtDone, 1);
    EXPECT_EQ(r.analysis.ServiceIds.size(), 12u);
    EXPECT_EQ(r.analysis.Providers.back(), "Provider12");
}

TEST(SdtReading, NamesThatOverrunTheirDescriptorAreNotRead) {
    Reader r;
    r.Feed(Pat({{1, 0x100}}));
    // descriptor_length 4 but provider_name_length 50.
    std::vector<std::uint8_t> s = {0x42, 0, 0, 0x00, 0x01, 0xC1, 0, 0, 0x00, 0x01, 0xFF,
                                   0x00, 0x01, 0xFD, 0x80, 6, 0x48, 4, 0x01, 50, 0x41, 0x42};
    s[1] = 0xF0;
    s[2] = static_cast<std::uint8_t>(s.size() - 3 + 4);
    r.Feed(SectionPackets(kSdtPid, test::WithCrc(s)));
    EXPECT_EQ(r.analysis.ServiceIds, std::vector<std::uint16_t>{1});
    EXPECT_TRUE(r.analysis.Providers.empty());
    EXPECT_TRUE(r.analysis.ServiceNames.empty());
}

TEST(ProcessPacket, ReservedPidsFoldAndNullPacketsAreSkipped) {
    Reader r;
    EXPECT_EQ(r.Feed(NullPacket()), kPsiNeedMore);
    EXPECT_EQ(r.Feed(test::PayloadPacket(0x0010)), kPsiIgnored);
    EXPECT_EQ(r.analysis.NitState, kPsiIgnored);
    EXPECT_EQ(r.Feed(test::PayloadPacket(0x0005)), kPsiIgnored);
    EXPECT_EQ(r.Feed(test::PayloadPacket(0x001A)), kPsiIgnored);
}

TEST(ProcessPacket, StopRequestIsReportedOnceAndCleared) {
    Reader r;
    r.stop.Request();
    EXPECT_EQ(r.Feed(Pat({{1, 0x100}})), kPsiStopped);
    EXPECT_FALSE(r.stop.IsSet());
    EXPECT_EQ(r.analysis.PatDone, 0);
    EXPECT_EQ(r.Feed(Pat({{1, 0x100}})), kPsiSectionRead);
}

// Arbitrary bytes on the PSI PIDs must never be read outside a packet or a
// section (the sanitizer build catches any such read).
// Whatever arrives on the PSI PIDs, the readers answer with their known
// codes, a PAT once read stays as it was, every PMT read belongs to a PAT
// program and is read once, and no section outgrows its buffer. Half the
// rounds also carry a real PMT of program 2 among the random packets.
TEST(ProcessPacket, SurvivesRandomPacketsOnPsiPids) {
    const std::set<std::int32_t> known = {kPsiComplete, kPsiInitial, kPsiSectionRead, kPsiNeedMore,
                                          kPsiStopped,  kPsiCrcError, kPsiRefused,   kPsiIgnored};
    const std::vector<std::uint16_t> numbers = {1, 2, 3};
    const std::vector<std::uint16_t> pmt_pids = {0x100, 0x101, 0x100};
    std::mt19937 rng(12345);
    const std::uint16_t pids[] = {0x0000, 0x0011, 0x0100, 0x0101, 0x1FFF};
    const std::vector<Packet> real_pmt = SectionPackets(0x101, PmtSection(2, 0x201, {{0x02, 0x201, {}}}));
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Reader r;
        r.Feed(Pat({{1, 0x100}, {2, 0x101}, {3, 0x100}}));
        for (int i = 0; i < 200; ++i) {
            Packet p;
            for (auto& b : p) b = static_cast<std::uint8_t>(rng());
            p[0] = 0x47;
            const std::uint16_t pid = pids[rng() % 5];
            p[1] = static_cast<std::uint8_t>((p[1] & 0xE0) | (pid >> 8));
            p[2] = static_cast<std::uint8_t>(pid);
            if (rng() % 4 == 0) p[5] = 0x42;  // an SDT table_id now and then
            if (round % 2 == 0 && i == 100) p = real_pmt[0];
            const std::int32_t code = r.Feed(p);
            ASSERT_EQ(known.count(code), 1u) << "code " << code;

            ASSERT_EQ(r.lists.ProgramNumbers, numbers);
            ASSERT_EQ(r.lists.PmtPids, pmt_pids);
            ASSERT_EQ(r.analysis.PatPrograms.size(), numbers.size());
            std::size_t read = 0;
            for (const ProgramEntry& e : r.analysis.PatPrograms) read += e.PmtRead ? 1 : 0;
            ASSERT_EQ(r.lists.ParsedPrograms.size(), read);
            std::set<std::uint16_t> parsed;
            for (const ProgramEntry& e : r.lists.ParsedPrograms) {
                const auto at = std::find(numbers.begin(), numbers.end(), e.ProgramNumber);
                ASSERT_NE(at, numbers.end()) << "program " << e.ProgramNumber;
                ASSERT_EQ(e.PmtPid, pmt_pids[static_cast<std::size_t>(at - numbers.begin())]);
                ASSERT_TRUE(parsed.insert(e.ProgramNumber).second) << "read twice: " << e.ProgramNumber;
            }
            ASSERT_EQ(r.analysis.Providers.size(), r.analysis.ServiceNames.size());
            for (const SectionBuffer* b : {&r.analysis.PatBuffer, &r.analysis.SdtBuffer, &r.analysis.PmtSlots[0],
                                           &r.analysis.PmtSlots[1], &r.analysis.PmtSlots[2]}) {
                ASSERT_LE(b->WritePos, SectionBuffer::kCapacity);
                ASSERT_LT(b->SectionStart, kPacketSize);
            }
        }
        if (round % 2 == 0) {
            ASSERT_TRUE(r.analysis.PatPrograms[1].PmtRead) << "the real PMT is read among the random packets";
            EXPECT_EQ(r.lists.ParsedPrograms.front().PcrPid, 0x201);
        }
    }
}

}  // namespace
}  // namespace tscard
