#include "check/check_result.h"

namespace tscard {
namespace {

struct IndicatorInfo {
    std::string_view Name;
    std::string_view Number;
    int Priority;
};

constexpr std::array<IndicatorInfo, kIndicatorCount> kIndicators{{
    {"TS_sync_loss", "1.1", 1},
    {"Sync_byte_error", "1.2", 1},
    {"PAT_error", "1.3", 1},
    {"Continuity_count_error", "1.4", 1},
    {"PMT_error", "1.5", 1},
    {"PID_error", "1.6", 1},
    {"Transport_error", "2.1", 2},
    {"CRC_error", "2.2", 2},
    {"PCR_repetition_error", "2.3a", 2},
    {"PCR_discontinuity_indicator_error", "2.3b", 2},
    {"PCR_accuracy_error", "2.4", 2},
    {"PTS_error", "2.5", 2},
    {"CAT_error", "2.6", 2},
}};

}  // namespace

std::string_view IndicatorName(Indicator indicator) { return kIndicators[static_cast<std::size_t>(indicator)].Name; }
std::string_view IndicatorNumber(Indicator indicator) {
    return kIndicators[static_cast<std::size_t>(indicator)].Number;
}
int IndicatorPriority(Indicator indicator) { return kIndicators[static_cast<std::size_t>(indicator)].Priority; }

std::string_view CauseName(Cause cause) {
    switch (cause) {
        case Cause::Gap: return "gap";
        case Cause::Missing: return "missing";
        case Cause::TableId: return "table_id";
        case Cause::Scrambled: return "scrambled";
        case Cause::Counter: return "counter";
        case Cause::SyncByte: return "sync byte";
        case Cause::SyncLost: return "sync lost";
        case Cause::Crc: return "crc";
        case Cause::Flag: return "flag";
        case Cause::Step: return "step";
        case Cause::Deviation: return "deviation";
    }
    return "?";
}

std::uint64_t CheckResult::Errors(int priority) const {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < kIndicatorCount; ++i)
        if (IndicatorPriority(IndicatorAt(i)) == priority) sum += Indicators[i].Count;
    return sum;
}

}  // namespace tscard
