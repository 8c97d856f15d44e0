// The operator's rules for target values, names and the bit-rate question.

#include <gtest/gtest.h>

#include <functional>

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

TEST(Targets, ThePcrPidFollowsTheAudioOrPesStreamThatCarriesIt) {
    ProgramRemap r = Analysed();
    r.SourceVideoPid = 0;  // a radio program: the PCR rides on the second audio
    r.PcrInVideo = 0;
    r.SourcePcrPid = 0x103;
    LoadTargetsFromSource(r);
    SetTargetAudioPid(r, 0, 0x300);
    EXPECT_EQ(r.TargetPcrPid, 0x103u) << "another audio moves alone";
    SetTargetAudioPid(r, 1, 0x301);
    EXPECT_EQ(r.TargetPcrPid, 0x301u);
    EXPECT_TRUE(CheckPrepareTargets(r));

    r.SourcePcrPid = 0x104;
    LoadTargetsFromSource(r);
    SetTargetPesPid(r, 0, 0x400);
    EXPECT_EQ(r.TargetPcrPid, 0x400u);
    EXPECT_TRUE(CheckPrepareTargets(r));
}

TEST(Targets, TargetsThatCollideOrPartThePcrFromItsStreamAreRefused) {
    struct Case {
        const char* what;
        std::function<void(ProgramRemap&)> change;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {"the source's values", [](ProgramRemap&) {}, ""},
        {"streams swapping their PIDs",
         [](ProgramRemap& r) {
             SetTargetVideoPid(r, 0x102);
             r.TargetAudioPids = {0x101, 0x103};
         },
         ""},
        {"audio on the video PID", [](ProgramRemap& r) { r.TargetAudioPids[0] = 0x101; },
         "the video PID and audio PID 1 are both 0x0101; every target PID must differ"},
        {"two audio PIDs alike", [](ProgramRemap& r) { r.TargetAudioPids = {0x200, 0x200}; },
         "audio PID 1 and audio PID 2 are both 0x0200"},
        {"the PMT on the PES PID", [](ProgramRemap& r) { r.TargetPmtPid = 0x104; },
         "the PMT PID and PES PID 1 are both 0x0104"},
        {"the PMT on the SDT's PID", [](ProgramRemap& r) { r.TargetPmtPid = 0x11; },
         "the PMT PID 0x0011 is the SDT's PID, which the output carries itself"},
        {"video on the PAT's PID", [](ProgramRemap& r) { SetTargetVideoPid(r, 0); },
         "the video PID 0x0000 is the PAT's PID"},
        {"audio on the null PID", [](ProgramRemap& r) { r.TargetAudioPids[1] = 0x1FFF; },
         "audio PID 2 0x1FFF is the null packets' PID"},
        {"a target on a kept stream's PID", [](ProgramRemap& r) { r.TargetAudioPids[0] = 0x105; },
         "audio PID 1 and the kept stream PID are both 0x0105"},
        {"the PCR parted from the video", [](ProgramRemap& r) { r.TargetPcrPid = 0x200; },
         "the PCR travels on the video PID: the PCR PID must be 0x0101, not 0x0200"},
        {"a PCR PID of its own on the PMT's",
         [](ProgramRemap& r) {
             r.SourcePcrPid = r.TargetPcrPid = 0x1F0;
             r.PcrInVideo = 0;
             r.TargetPmtPid = 0x1F0;
         },
         "the PMT PID and the PCR PID are both 0x01F0"},
        {"the PCR of a radio program parted from its audio",
         [](ProgramRemap& r) {
             r.SourceVideoPid = r.TargetVideoPid = 0;
             r.PcrInVideo = 0;
             r.SourcePcrPid = r.TargetPcrPid = 0x102;
             r.TargetPcrPid = 0x400;
         },
         "the PCR travels on audio PID 0x0102: the PCR PID must be 0x0102, not 0x0400"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramRemap r = Analysed();
        r.AllEsPids = {0x101, 0x102, 0x103, 0x104, 0x105};  // 0x105: a stream whose PID is kept
        LoadTargetsFromSource(r);
        c.change(r);
        const Status st = CheckPrepareTargets(r);
        EXPECT_EQ(st.ok(), std::string(c.message).empty()) << st.message();
        EXPECT_NE(st.message().find(c.message), std::string::npos) << st.message();
    }
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
