#pragma once
// The analysis every stream command starts with, its progress on stderr.

#include <string>

#include "analysis/analyzer.h"
#include "analysis/stream_state.h"
#include "platform/stop_flag.h"

namespace tscard::cli {

// Analyses the file for the mode with an "Analysing" progress bar; the
// bar is gone before the result comes back.
AnalysisResult AnalyseWithProgress(AnalysisMode mode, const std::string& path, StreamState& state, StopFlag& stop);

}  // namespace tscard::cli
