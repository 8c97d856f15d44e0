#pragma once
// The operator's rules for the values a prepare run writes: the numeric
// targets (program number, PMT, PCR, video, audio and other PES PIDs), the
// PCR that travels on the video PID, the provider's length, the targets a
// freshly analysed program starts from, and the bit-rate question asked
// before a stream is opened for preparing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "ts/model.h"

namespace tscard {

constexpr std::uint32_t kMinTargetValue = 1;
constexpr std::uint32_t kMaxTargetValue = 0x1FFE;
// Follows the refused text itself: "0x1fff- invalid value.Mast be in range 1 to 0x1FFE".
constexpr const char* kInvalidTargetSuffix = "- invalid value.Mast be in range 1 to 0x1FFE";
// The refusal of a typed value: the text, then kInvalidTargetSuffix.
Words InvalidTargetText(std::string_view text);
// A text that is not a number reads as this value, and so is refused.
constexpr std::uint32_t kNotANumber = 0x1FFF;

// Decimal, or hexadecimal after "0x" or "$"; never octal. Text that is not
// a whole number (negative numbers included) gives nullopt.
[[nodiscard]] std::optional<std::uint64_t> ParseTargetNumber(std::string_view text);

enum class TargetCheck {
    Typing,   // exactly "0x": nothing to store yet, nothing to say
    Valid,    // Value lies in 1 .. 0x1FFE
    Invalid,  // Message is the operator's text
};

struct [[nodiscard]] TargetValue {
    TargetCheck Check = TargetCheck::Invalid;
    std::uint32_t Value = kNotANumber;
    Words Message;
};

TargetValue CheckTargetText(std::string_view text);

// Targets start as the source values: PIDs, PID lists, program number and
// the names as the stream carries them (their bytes unchanged).
void LoadTargetsFromSource(ProgramRemap& remap);

// While the PCR travels on the video PID, setting either target sets both.
void SetTargetPcrPid(ProgramRemap& remap, std::uint32_t pid);
void SetTargetVideoPid(ProgramRemap& remap, std::uint32_t pid);

// The stream whose packets carry the program's PCRs. The output's PMT must
// name the PID the PCRs go out on, so the PCR PID follows that stream's
// target: the video's (PcrInVideo, both move together), an audio or other
// PES stream's (a radio program: setting the stream's target moves the PCR
// PID too, and a different PCR PID is refused, it cannot move the stream),
// or a stream whose PID is never changed (the PCR PID must stay).
enum class PcrCarrier { OwnPid, Video, Audio, Pes, UnchangedStream };
struct PcrCarrierOf {
    PcrCarrier Kind = PcrCarrier::OwnPid;
    std::size_t Index = 0;  // Audio, Pes: the place in the source list
};
PcrCarrierOf FindPcrCarrier(const ProgramRemap& remap);
// "the video PID", "audio PID 0x0202", ... for messages.
std::string PcrCarrierText(const ProgramRemap& remap, const PcrCarrierOf& carrier);

// Setting one audio (other PES) target; the PCR PID follows when that
// stream carries the PCR.
void SetTargetAudioPid(ProgramRemap& remap, std::size_t index, std::uint16_t pid);
void SetTargetPesPid(ProgramRemap& remap, std::size_t index, std::uint16_t pid);

// The targets together, as a run writes them: the PCR PID must be the
// target of the stream that carries the PCR; targets may not equal each
// other (the PCR PID excepted, when it is that stream's target), nor the
// PID of a stream whose PID is kept, nor the PIDs the output carries
// itself (0x0000 PAT, 0x0011 SDT, 0x1FFF null packets). Not ok with the
// operator's text when one is broken. The window checks this when Start is
// pressed; the prepare worker refuses a job that fails it.
Status CheckPrepareTargets(const ProgramRemap& remap);

// The provider an operator types holds at most this many characters (one
// byte each in the code page); a longer provider taken from the stream is
// kept as it is.
constexpr std::size_t kMaxProviderCharacters = 20;
inline bool ProviderFits(std::string_view provider_bytes) { return provider_bytes.size() <= kMaxProviderCharacters; }

// The question asked when the program bit rate lies outside 1.5 to 14.5
// Mbit/s (MeasureProgramBitrate codes 2 and 3), with the measured value;
// empty for the other codes.
Words ProgramBitrateQuestion(int code, double measured_bitrate);
constexpr const char* kProgramBitrateQuestionCaption = N_("Prepare TS file into SD card");

}  // namespace tscard
