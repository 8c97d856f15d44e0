#pragma once
// The check's three charts drawn one above the other into one picture: a
// PNG or an SVG file, told by the name's ending. Drawing needs a Qt
// application; when none runs (the command line), one is started on Qt's
// offscreen platform for the drawing, so no display is needed. The file is
// written whole or not at all: an existing file is replaced only once the
// new picture is complete.

#include <string>

#include "check/check_result.h"
#include "lang/captions.h"
#include "platform/status.h"

namespace tscard::charts {

// The picture's size in pixels (PNG) or user units (SVG).
constexpr int kPictureWidth = 1400;
constexpr int kChartHeight = 520;

// True for a name ending in .png or .svg, in any case.
bool IsChartFileName(const std::string& path);

Status WriteCheckCharts(const CheckResult& result, const std::string& path,
                        lang::Language language = lang::Language::English);

}  // namespace tscard::charts
