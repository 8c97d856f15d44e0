#include "cli/cli_analysis.h"

#include "cli/cli_events.h"

namespace tscard::cli {

AnalysisResult AnalyseWithProgress(AnalysisMode mode, const std::string& path, StreamState& state, StopFlag& stop) {
    Analyzer analyzer;
    CliEvents events(
        "Analysing", [&analyzer] { return analyzer.ProgressMaximum(); },
        [&analyzer] { return analyzer.ProgressPosition(); });
    AnalysisRequest request;
    request.Mode = mode;
    request.Path = path;
    AnalysisResult result = analyzer.Run(request, state, events.Sink(), stop);
    events.Close();
    return result;
}

}  // namespace tscard::cli
