#pragma once
// The stream check's three charts, built with Qt Charts from the series
// the check computed (check/check_result.h); the drawing is all that
// happens here. The window shows them in chart views (zoom, tooltips); the
// command line renders them into a file (chart_file.h).
//
//   1. BitrateChart: the bit rate per 1-second window, the whole stream and
//      its three largest PIDs, with the card's fixed rate as a line;
//   2. PcrChart: the reference PID's PCR intervals (left axis, 40 ms limit)
//      and PCR accuracy (right axis, ±500 ns limits);
//   3. DelayChart: the decoding delay of each stream, 0 and 1 s marked.
//
// Each series carries an object name saying what it draws ("bitrate-whole",
// "bitrate-pid-513", "card-rate", "pcr-interval", "pcr-accuracy",
// "pcr-interval-limit", "pcr-accuracy-limit", "delay-pid-513",
// "delay-late", "delay-early") so a view finds it for its tooltips. The
// caller owns the chart (a QChartView takes it with release()).

#include <QChart>
#include <memory>

#include "check/check_result.h"
#include "lang/captions.h"

namespace tscard::charts {

std::unique_ptr<QChart> BitrateChart(const CheckResult& result, lang::Language language = lang::Language::English);
std::unique_ptr<QChart> PcrChart(const CheckResult& result, lang::Language language = lang::Language::English);
std::unique_ptr<QChart> DelayChart(const CheckResult& result, lang::Language language = lang::Language::English);

}  // namespace tscard::charts
