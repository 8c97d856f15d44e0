#include "prepare/prepare_targets.h"

#include "analysis/bitrate.h"
#include "platform/number_text.h"
#include "ts/fixed_text.h"

namespace tscard {

std::optional<std::uint64_t> ParseTargetNumber(std::string_view text) { return ParseWholeNumber(text); }

TargetValue CheckTargetText(std::string_view text) {
    TargetValue out;
    if (text == "0x") {
        out.Check = TargetCheck::Typing;
        return out;
    }
    const std::optional<std::uint64_t> number = ParseTargetNumber(text);
    const std::uint64_t value = number ? *number : kNotANumber;
    if (value >= kMinTargetValue && value <= kMaxTargetValue) {
        out.Check = TargetCheck::Valid;
        out.Value = static_cast<std::uint32_t>(value);
        return out;
    }
    out.Check = TargetCheck::Invalid;
    out.Message = std::string(text) + kInvalidTargetSuffix;
    return out;
}

void LoadTargetsFromSource(ProgramRemap& r) {
    r.TargetPcrPid = r.SourcePcrPid;
    r.TargetVideoPid = r.SourceVideoPid;
    r.TargetAudioPids = r.SourceAudioPids;
    r.TargetPesPids = r.SourcePesPids;
    r.TargetProgramNumber = r.SourceProgramNumber;
    r.TargetPmtPid = r.SourcePmtPid;
    r.TargetProvider = r.SourceProvider;
    r.TargetName = r.SourceName;
}

void SetTargetPcrPid(ProgramRemap& r, std::uint32_t pid) {
    r.TargetPcrPid = pid;
    if (r.PcrInVideo) r.TargetVideoPid = pid;
}

void SetTargetVideoPid(ProgramRemap& r, std::uint32_t pid) {
    r.TargetVideoPid = pid;
    if (r.PcrInVideo) r.TargetPcrPid = pid;
}

std::string ProgramBitrateQuestion(int code, double measured_bitrate) {
    const char* opening = nullptr;
    if (code == kProgramRateLow) opening = "Program bitrate is less than 1,5 mbt/sek";
    if (code == kProgramRateHigh) opening = "Program bitrate is long than 14,5 mbt/sek";
    if (opening == nullptr) return std::string();
    return std::string(opening) + " [ " + FixedText(measured_bitrate, 5, 2) + " mBit/s] Prepare it's all the same?";
}

}  // namespace tscard
