// The operator's rules for target values, names and the bit-rate question.

#include <gtest/gtest.h>

#include "analysis/bitrate.h"
#include "prepare/prepare_targets.h"

namespace tscard {
namespace {

TEST(TargetText, AcceptsOneTo0x1FFEInDecimalOrHexadecimal) {
    struct Case {
        const char* text;
        TargetCheck check;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"0x", TargetCheck::Typing, 0},
        {"100", TargetCheck::Valid, 100},
        {"010", TargetCheck::Valid, 10},  // never octal
        {"0x1ffe", TargetCheck::Valid, 0x1FFE},
        {"$1FFE", TargetCheck::Valid, 0x1FFE},
        {"0X200", TargetCheck::Valid, 0x200},
        {"1", TargetCheck::Valid, 1},
        {"0x1fff", TargetCheck::Invalid, 0},
        {"0", TargetCheck::Invalid, 0},
        {"-5", TargetCheck::Invalid, 0},
        {"0x-5", TargetCheck::Invalid, 0},
        {"12ab", TargetCheck::Invalid, 0},
        {"", TargetCheck::Invalid, 0},
        {"$", TargetCheck::Invalid, 0},
        {"99999999999999999999999", TargetCheck::Invalid, 0},
    };
    for (const Case& c : cases) {
        const TargetValue v = CheckTargetText(c.text);
        EXPECT_EQ(v.Check, c.check) << c.text;
        if (c.check == TargetCheck::Valid) {
            EXPECT_EQ(v.Value, c.value) << c.text;
        }
        if (c.check == TargetCheck::Invalid) {
            EXPECT_EQ(v.Message, std::string(c.text) + "- invalid value.Mast be in range 1 to 0x1FFE") << c.text;
        } else {
            EXPECT_EQ(v.Message, "") << c.text;
        }
    }
}

ProgramRemap Analysed() {
    ProgramRemap r;
    r.SourcePmtPid = 0x100;
    r.SourceProgramNumber = 0x800;
    r.SourcePcrPid = r.SourceVideoPid = 0x101;
    r.SourceAudioPids = {0x102, 0x103};
    r.SourcePesPids = {0x104};
    r.SourceProvider = "A provider name longer than twenty";
    r.SourceName = "\x15\xD0\x9F";
    r.PcrInVideo = 1;
    return r;
}

TEST(Targets, StartFromTheSourceValuesBytesUnchanged) {
    ProgramRemap r = Analysed();
    LoadTargetsFromSource(r);
    EXPECT_EQ(r.TargetPmtPid, 0x100u);
    EXPECT_EQ(r.TargetProgramNumber, 0x800u);
    EXPECT_EQ(r.TargetPcrPid, 0x101u);
    EXPECT_EQ(r.TargetVideoPid, 0x101u);
    EXPECT_EQ(r.TargetAudioPids, r.SourceAudioPids);
    EXPECT_EQ(r.TargetPesPids, r.SourcePesPids);
    EXPECT_EQ(r.TargetProvider, r.SourceProvider) << "a long source provider is kept";
    EXPECT_EQ(r.TargetName, "\x15\xD0\x9F");
}

TEST(Targets, PcrAndVideoMoveTogetherWhileThePcrIsOnTheVideoPid) {
    ProgramRemap r = Analysed();
    LoadTargetsFromSource(r);
    SetTargetPcrPid(r, 0x200);
    EXPECT_EQ(r.TargetVideoPid, 0x200u);
    SetTargetVideoPid(r, 0x300);
    EXPECT_EQ(r.TargetPcrPid, 0x300u);

    r.PcrInVideo = 0;
    SetTargetPcrPid(r, 0x400);
    EXPECT_EQ(r.TargetVideoPid, 0x300u);
    SetTargetVideoPid(r, 0x500);
    EXPECT_EQ(r.TargetPcrPid, 0x400u);
}

TEST(Targets, ProviderHoldsTwentyCharacters) {
    EXPECT_TRUE(ProviderFits(std::string(20, 'P')));
    EXPECT_FALSE(ProviderFits(std::string(21, 'P')));
}

TEST(ProgramBitrateQuestion, NamesTheSideAndTheMeasuredRate) {
    EXPECT_EQ(ProgramBitrateQuestion(kProgramRateLow, 1.234),
              "Program bitrate is less than 1,5 mbt/sek [ 1.23 mBit/s] Prepare it's all the same?");
    EXPECT_EQ(ProgramBitrateQuestion(kProgramRateHigh, 21.0567),
              "Program bitrate is long than 14,5 mbt/sek [ 21.06 mBit/s] Prepare it's all the same?");
    EXPECT_EQ(ProgramBitrateQuestion(kProgramRateInRange, 4.0), "");
    EXPECT_EQ(ProgramBitrateQuestion(kProgramRateNoFile, 0.0), "");
}

}  // namespace
}  // namespace tscard
