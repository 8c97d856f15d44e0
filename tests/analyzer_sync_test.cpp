// The sync search: packet size and first packet of a file.

#include <gtest/gtest.h>

#include <random>

#include "analysis_streams.h"
#include "ts/packet_probe.h"

namespace tscard {
namespace {

using test::StreamBuilder;

PacketProbe Probe(const std::vector<std::uint8_t>& bytes, StopFlag* stop = nullptr) {
    return FindPacketStart(bytes, bytes.size(), stop);
}

std::vector<std::uint8_t> Stream188(std::size_t packets = 20) {
    return StreamBuilder().Pat().Pmt().Filler(packets).Bytes188();
}
std::vector<std::uint8_t> Stream192(std::size_t packets = 20) {
    return StreamBuilder().Pat().Pmt().Filler(packets).Bytes192();
}

// Bytes without a 0x47, apart from the stray ones put in on purpose.
std::vector<std::uint8_t> Garbage(std::size_t n, std::vector<std::size_t> stray_sync = {}) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
        if (b == kSyncByte) b = 0x48;
    }
    for (std::size_t at : stray_sync) bytes[at] = kSyncByte;
    return bytes;
}

struct SyncCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint32_t packet_size;
    std::int64_t sync_offset;
};

TEST(PacketProbe, FindsPacketSizeAndFirstPacket) {
    std::vector<std::uint8_t> damaged = Stream188();
    damaged[3 * 188] = 0x00;  // one bad sync byte between two good ones
    // A 192-byte file cut 2 bytes into a prefix: its first 0x47 has no room
    // for the prefix; the next unit is the first whole one.
    std::vector<std::uint8_t> cut192 = Stream192();
    cut192.erase(cut192.begin(), cut192.begin() + 2);
    // A prefix holding 0x47 before the unit's own sync byte.
    std::vector<std::uint8_t> sync_in_prefix = Stream192();
    sync_in_prefix[1] = kSyncByte;
    // A stray 0x47 in a payload where the sixth 188-byte probe of the first
    // unit's sync byte falls (4 + 188 x 6), as some m2ts muxers leave one:
    // that candidate has four bad 188-byte probes, not five.
    std::vector<std::uint8_t> stray_at_sixth_probe = Stream192();
    stray_at_sixth_probe[4 + 188 * 6] = kSyncByte;
    std::vector<std::uint8_t> stray_at_fifth_probe = Stream192();
    stray_at_fifth_probe[4 + 188 * 5] = kSyncByte;

    const std::vector<SyncCase> cases = {
        {"clean 188", Stream188(), 188, 0},
        {"clean 192", Stream192(), 192, 0},
        {"1000 bytes of garbage with two stray 0x47", test::Concat(Garbage(1000, {10, 500}), Stream188()), 188,
         1000},
        {"garbage before 192-byte units", test::Concat(Garbage(1000, {10, 500}), Stream192()), 192, 1000},
        {"a damaged sync byte is tolerated", damaged, 188, 0},
        {"192-byte file cut inside a prefix", cut192, 192, 190},
        {"0x47 inside the first prefix", sync_in_prefix, 192, 0},
        {"stray 0x47 at the first unit's sixth 188-byte probe", stray_at_sixth_probe, 192, 0},
        {"stray 0x47 at its fifth", stray_at_fifth_probe, 192, 0},
        {"four packets are enough", Stream188(2), 188, 0},
    };
    for (const SyncCase& c : cases) {
        const PacketProbe probe = Probe(c.bytes);
        EXPECT_EQ(probe.Outcome, ProbeOutcome::Found) << c.what;
        EXPECT_EQ(probe.PacketSize, c.packet_size) << c.what;
        EXPECT_EQ(probe.SyncOffset, c.sync_offset) << c.what;
    }
}

TEST(PacketProbe, UnknownFormatForFilesWithoutPackets) {
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"empty", {}},
        {"shorter than a packet", std::vector<std::uint8_t>(100, kSyncByte)},
        {"one packet", StreamBuilder().Filler(1).Bytes188()},
        {"pure garbage", Garbage(300000, {5, 70000})},
        {"packets beyond the first 65,536 bytes", test::Concat(Garbage(66000, {100, 65000}), Stream188())},
        {"no 0x47 in the first 65,536 bytes", test::Concat(Garbage(65600), Stream188())},
    };
    for (const auto& [what, bytes] : cases) {
        const PacketProbe probe = Probe(bytes);
        EXPECT_EQ(probe.Outcome, ProbeOutcome::UnknownFormat) << what;
        EXPECT_FALSE(probe.Message.empty()) << what;
    }
}

TEST(PacketProbe, StopRequestEndsTheSearchAndIsCleared) {
    StopFlag stop;
    stop.Request();
    EXPECT_EQ(Probe(Stream188(), &stop).Outcome, ProbeOutcome::Stopped);
    EXPECT_FALSE(stop.IsSet());
}

TEST(PacketProbe, ReportsFilesThatDoNotOpen) {
    test::TempDir dir;
    const PacketProbe probe = ProbePacketSize((dir / "missing.ts").string(), nullptr);
    EXPECT_EQ(probe.Outcome, ProbeOutcome::Failed);
    EXPECT_NE(probe.Message.English().find("missing.ts"), std::string::npos);
}

TEST(PacketProbe, Check188CountsBadProbesAndGivesUpWithoutSyncByte) {
    const std::vector<std::uint8_t> bytes = Stream188();
    EXPECT_EQ(Check188(bytes, bytes.size(), 0).Code, 0);
    // From byte 1 the next 0x47 is the second packet's.
    EXPECT_EQ(Check188(bytes, bytes.size(), 1).Candidate, 188u);
    const std::vector<std::uint8_t> none = Garbage(70000);
    EXPECT_EQ(Check188(none, none.size(), 0).Code, kCheck188GaveUp);
    EXPECT_EQ(Check192(bytes, bytes.size(), 2).Code, kCheck192GaveUp);
}

}  // namespace
}  // namespace tscard
