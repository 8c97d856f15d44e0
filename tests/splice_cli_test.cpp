// tscard-cli splice end to end: replace and append, and the refusals that
// must leave every file as it was.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/psi_sections.h"
#include "support/test_support.h"
#include "ts/packet.h"

namespace tscard {
namespace {

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::vector<std::uint8_t> kSeparator(SeparatorPacket().begin(), SeparatorPacket().end());

// `count` packets of PID 0x100 filled with `fill`.
std::vector<std::uint8_t> Packets(std::size_t count, std::uint8_t fill) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < count; ++i) {
        const Packet p = test::PayloadPacket(0x100, fill, static_cast<std::uint8_t>(i));
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(SpliceCli, ReplacesOrAppendsToTheOutput) {
    test::TempDir dir;
    const auto a = dir / "a.ts";
    const auto b = dir / "b.ts";
    const auto out = dir / "out.ts";
    const std::vector<std::uint8_t> A = Packets(372, 1), B = Packets(4, 2), old(300, 9);
    test::WriteFileBytes(a, A);
    test::WriteFileBytes(b, B);
    test::WriteFileBytes(out, old);

    auto r = test::RunCli({"splice", out.string(), a.string(), b.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(test::ReadFileBytes(out), Cat({A, kSeparator, B}));
    EXPECT_EQ(r.out, out.string() + ": 70876 bytes, 2 files\n");

    test::WriteFileBytes(out, old);
    r = test::RunCli({"splice", out.string(), b.string(), a.string(), "--append"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(test::ReadFileBytes(out), Cat({old, B, kSeparator, A}));

    // Appending to a file that does not exist yet creates it.
    r = test::RunCli({"splice", (dir / "new.ts").string(), b.string(), "--append"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(test::ReadFileBytes(dir / "new.ts"), B);
}

TEST(SpliceCli, RefusalsLeaveTheOutputAndTheInputsAlone) {
    test::TempDir dir;
    const auto a = dir / "a.ts";
    const auto out = dir / "out.ts";
    const std::vector<std::uint8_t> A = Packets(6, 1), old(300, 9);
    test::WriteFileBytes(a, A);
    test::WriteFileBytes(out, old);
    std::filesystem::create_hard_link(out, dir / "same.ts");

    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string message;
    };
    std::vector<std::string> too_many = {"splice", out.string()};
    for (int i = 0; i < 129; ++i) too_many.push_back(a.string());
    const std::vector<Case> cases = {
        {"output among the inputs", {"splice", out.string(), a.string(), out.string()}, "is the output of the splice"},
        {"the same file by another name", {"splice", out.string(), (dir / "same.ts").string()},
         "is the output of the splice"},
        {"missing input", {"splice", out.string(), a.string(), (dir / "none.ts").string()}, "none.ts: File in use from other application (No such"},
        {"more than 128 inputs", too_many, "at most 128 files can be spliced; 129 were given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto r = test::RunCli(c.args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(test::ReadFileBytes(out), old);
        EXPECT_EQ(test::ReadFileBytes(a), A);
    }
}

// Two clips spliced, then prepared: one program on one clock, the
// separator gone, every PCR shortly after the one before it.
TEST(SpliceCli, SplicedClipsPrepareIntoOneContinuousStream) {
    test::TempDir dir;
    const auto spliced = dir / "spliced.ts";
    const auto prepared = dir / "prepared.ts";
    auto r = test::RunCli({"splice", spliced.string(), test::Fixture("single_vbr.ts").string(),
                           test::Fixture("single_muxrate.ts").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    r = test::RunCli({"prepare", spliced.string(), prepared.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;

    std::vector<std::uint64_t> pcrs;
    for (const Packet& p : test::SplitPackets(test::ReadFileBytes(prepared))) {
        ASSERT_FALSE(IsSeparator(p.data()));
        if (HasPcr(p.data())) pcrs.push_back(PcrTicks(p.data()));
    }
    ASSERT_GT(pcrs.size(), 100u);
    // The first PCR keeps its source value; the output clock runs from the
    // second on.
    pcrs.erase(pcrs.begin());
    for (std::size_t i = 1; i < pcrs.size(); ++i) {
        ASSERT_GT(pcrs[i], pcrs[i - 1]) << "PCR " << i;
        ASSERT_LT(pcrs[i] - pcrs[i - 1], kSystemClockHz / 10) << "PCR " << i;  // no gap at the joint
    }
    // Both clips are there: each lasts about 4 s.
    EXPECT_GT(pcrs.back() - pcrs.front(), 6 * kSystemClockHz);

    const auto probe = test::RunProgram("ffprobe", {"-v", "error", "-show_programs", "-of", "json", prepared.string()});
    ASSERT_EQ(probe.exit_code, 0);
    EXPECT_EQ(probe.err, "");
    EXPECT_NE(probe.out.find("\"nb_streams\": 2"), std::string::npos) << probe.out;
}

}  // namespace
}  // namespace tscard
