#include "prepare/prepare_targets.h"

#include <algorithm>

#include "analysis/bitrate.h"
#include "platform/hex_text.h"
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
    out.Message = InvalidTargetText(text);
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

PcrCarrierOf FindPcrCarrier(const ProgramRemap& r) {
    PcrCarrierOf carrier;
    const std::uint32_t pcr = r.SourcePcrPid;
    if (r.PcrInVideo || (r.SourceVideoPid != 0 && pcr == r.SourceVideoPid)) {
        carrier.Kind = PcrCarrier::Video;
        return carrier;
    }
    for (std::size_t i = 0; i < r.SourceAudioPids.size(); ++i) {
        if (r.SourceAudioPids[i] != pcr) continue;
        carrier.Kind = PcrCarrier::Audio;
        carrier.Index = i;
        return carrier;
    }
    for (std::size_t i = 0; i < r.SourcePesPids.size(); ++i) {
        if (r.SourcePesPids[i] != pcr) continue;
        carrier.Kind = PcrCarrier::Pes;
        carrier.Index = i;
        return carrier;
    }
    if (std::find(r.AllEsPids.begin(), r.AllEsPids.end(), pcr) != r.AllEsPids.end())
        carrier.Kind = PcrCarrier::UnchangedStream;
    return carrier;
}

std::string PcrCarrierText(const ProgramRemap& r, const PcrCarrierOf& carrier) {
    switch (carrier.Kind) {
        case PcrCarrier::Video: return "the video PID";
        case PcrCarrier::Audio: return "audio PID " + HexText(r.SourceAudioPids[carrier.Index], 4);
        case PcrCarrier::Pes: return "PES PID " + HexText(r.SourcePesPids[carrier.Index], 4);
        case PcrCarrier::UnchangedStream: return "stream PID " + HexText(r.SourcePcrPid, 4);
        case PcrCarrier::OwnPid: break;
    }
    return "a PID of its own";
}

void SetTargetAudioPid(ProgramRemap& r, std::size_t index, std::uint16_t pid) {
    if (index >= r.TargetAudioPids.size()) return;
    r.TargetAudioPids[index] = pid;
    const PcrCarrierOf carrier = FindPcrCarrier(r);
    if (carrier.Kind == PcrCarrier::Audio && carrier.Index == index) r.TargetPcrPid = pid;
}

void SetTargetPesPid(ProgramRemap& r, std::size_t index, std::uint16_t pid) {
    if (index >= r.TargetPesPids.size()) return;
    r.TargetPesPids[index] = pid;
    const PcrCarrierOf carrier = FindPcrCarrier(r);
    if (carrier.Kind == PcrCarrier::Pes && carrier.Index == index) r.TargetPcrPid = pid;
}

namespace {

struct NamedPid {
    std::string name;
    std::uint32_t pid;
};

std::string PidText(std::uint32_t pid) { return HexText(pid, 4); }

}  // namespace

Status CheckPrepareTargets(const ProgramRemap& r) {
    if (r.TargetAudioPids.size() != r.SourceAudioPids.size() || r.TargetPesPids.size() != r.SourcePesPids.size())
        return Status::Fail("the target PID lists do not match the source's");
    const PcrCarrierOf carrier = FindPcrCarrier(r);
    std::uint32_t carrier_target = r.TargetPcrPid;
    switch (carrier.Kind) {
        case PcrCarrier::Video: carrier_target = r.TargetVideoPid; break;
        case PcrCarrier::Audio: carrier_target = r.TargetAudioPids[carrier.Index]; break;
        case PcrCarrier::Pes: carrier_target = r.TargetPesPids[carrier.Index]; break;
        case PcrCarrier::UnchangedStream: carrier_target = r.SourcePcrPid; break;
        case PcrCarrier::OwnPid: break;
    }
    if (r.TargetPcrPid != carrier_target)
        return Status::Fail("the PCR travels on " + PcrCarrierText(r, carrier) + ": the PCR PID must be " +
                            PidText(carrier_target) + ", not " + PidText(r.TargetPcrPid) +
                            " (the PCR cannot leave the stream that carries it)");

    // Every PID the output carries, by what it is.
    std::vector<NamedPid> pids = {{"the PMT PID", r.TargetPmtPid}};
    // A source without a PCR PID (0x1FFF, no PCR found) left so: its run
    // finds nothing to prepare, and says so.
    const bool no_pcr = r.SourcePcrPid == kNullPid && r.TargetPcrPid == kNullPid;
    if (carrier.Kind == PcrCarrier::OwnPid && !no_pcr) pids.push_back({"the PCR PID", r.TargetPcrPid});
    if (r.SourceVideoPid != 0) pids.push_back({"the video PID", r.TargetVideoPid});
    for (std::size_t i = 0; i < r.TargetAudioPids.size(); ++i)
        pids.push_back({"audio PID " + std::to_string(i + 1), r.TargetAudioPids[i]});
    for (std::size_t i = 0; i < r.TargetPesPids.size(); ++i)
        pids.push_back({"PES PID " + std::to_string(i + 1), r.TargetPesPids[i]});
    auto listed = [](const std::vector<std::uint16_t>& list, std::uint16_t pid) {
        return std::find(list.begin(), list.end(), pid) != list.end();
    };
    std::vector<std::uint16_t> kept;
    for (std::uint16_t pid : r.AllEsPids) {
        if (pid == r.SourceVideoPid || listed(r.SourceAudioPids, pid) || listed(r.SourcePesPids, pid) || listed(kept, pid))
            continue;
        kept.push_back(pid);
        pids.push_back({"the kept stream PID", pid});
    }
    const NamedPid reserved[] = {{"the PAT's PID", kPatPid}, {"the SDT's PID", kSdtPid}, {"the null packets' PID", kNullPid}};
    for (std::size_t i = 0; i < pids.size(); ++i) {
        for (const NamedPid& own : reserved)
            if (pids[i].pid == own.pid)
                return Status::Fail(pids[i].name + " " + PidText(pids[i].pid) + " is " + own.name +
                                    ", which the output carries itself");
        for (std::size_t j = 0; j < i; ++j)
            if (pids[j].pid == pids[i].pid)
                return Status::Fail(pids[j].name + " and " + pids[i].name + " are both " + PidText(pids[i].pid) +
                                    "; every target PID must differ");
    }
    return Status::Ok();
}

Words InvalidTargetText(std::string_view text) {
    return Words(N_("%1- invalid value.Mast be in range 1 to 0x1FFE"), {std::string(text)});
}

Words ProgramBitrateQuestion(int code, double measured_bitrate) {
    const std::string rate = FixedText(measured_bitrate, 5, 2);
    if (code == kProgramRateLow)
        return Words(N_("Program bitrate is less than 1,5 mbt/sek [ %1 mBit/s] Prepare it's all the same?"), {rate});
    if (code == kProgramRateHigh)
        return Words(N_("Program bitrate is long than 14,5 mbt/sek [ %1 mBit/s] Prepare it's all the same?"), {rate});
    return Words();
}

}  // namespace tscard
