#pragma once
// The texts of the stream check's charts in English and Russian: titles,
// axes, legend entries. %1 is filled in.

#include <string_view>

#include "lang/captions.h"

namespace tscard::lang {

struct ChartTexts {
    std::string_view Time;  // the time axis
    std::string_view BitrateTitle;
    std::string_view BitrateAxis;
    std::string_view WholeStream;
    std::string_view Pid;       // %1 the PID
    std::string_view CardRate;  // %1 the rate in Mbit/s
    std::string_view PcrTitle;  // %1 the reference PID
    std::string_view PcrInterval;
    std::string_view PcrAccuracy;  // %1 the unit
    // The accuracy's unit, chosen by its largest value.
    std::string_view Nanoseconds;
    std::string_view Microseconds;
    std::string_view Milliseconds;
    std::string_view IntervalLimit;
    std::string_view AccuracyLimit;
    std::string_view DelayTitle;
    std::string_view DelayAxis;
    std::string_view Late;   // the 0 ms line
    std::string_view Early;  // the 1 s line
    std::string_view NoData;  // a chart without points
};

const ChartTexts& ChartTextsIn(Language language);

}  // namespace tscard::lang
