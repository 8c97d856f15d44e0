// Sources that shrink, or are truncated to nothing, while a run reads them
// or between their analysis and the run: every reader ends naming the file
// and both sizes (never with a signal, as a mapped file would), and no
// short output takes the place of a file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "analysis/analyzer.h"
#include "analysis_streams.h"
#include "check/stream_check.h"
#include "demux/demultiplexer.h"
#include "demux/parsed_programs.h"
#include "prepare/prepare_job.h"
#include "prepare/prepare_worker.h"
#include "support/quiet_log.h"
#include "support/recording_sink.h"
#include "support/test_support.h"

namespace tscard {
namespace {

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ShrankText(const std::filesystem::path& path, std::uintmax_t was, std::uintmax_t now) {
    return path.string() + ": the file shrank while it was read (was " + std::to_string(was) + " bytes, now " +
           std::to_string(now) + ")";
}

struct Outcome {
    bool failed = false;
    std::string message;
};

class ShrinkingSource : public test::QuietLogTest {
protected:
    // Makes the sink cut the source to `to` bytes at the first `when`, in
    // the reading thread.
    void CutAt(test::RecordingSink& sink, EventId when, std::uintmax_t to) {
        sink.OnSignal = [this, when, to](EventId id, int n) {
            if (id == when && n == 1) std::filesystem::resize_file(source_, to);
        };
    }

    test::TempDir dir_;
    std::filesystem::path source_ = dir_ / "source.ts";
    std::filesystem::path out_ = dir_ / "out";
};

TEST_F(ShrinkingSource, EveryReaderFailsNamingTheFileAndLeavesNoOutput) {
    // The analysis reads on until the PAT and PMT, which come after 3.7 MB.
    const auto late_description =
        test::StreamBuilder{}.Filler(20000).Pat().Pmt().Pcr(27000000).Filler(100).Bytes188();
    struct Case {
        const char* what;
        std::filesystem::path fixture;  // empty: late_description
        EventId when;
        bool analysed_first;  // the run follows an analysis of its own
        // `analysed` runs between the analysis and the run that follows it.
        std::function<Outcome(const std::string& source, const std::string& out, EventSink& sink,
                              const std::function<void()>& analysed)>
            run;
    };
    const Case cases[] = {
        {"analyze", {}, EventId::ChangeProgressPosG1, false,
         [](const std::string& source, const std::string&, EventSink& sink, const std::function<void()>&) {
             StreamState state;
             StopFlag stop;
             Analyzer analyzer;
             const AnalysisResult r = analyzer.Run({AnalysisMode::ModeCardWrite, source}, state, sink, stop);
             EXPECT_FALSE(state.CardSource.IsOpen());
             return Outcome{r.Ending == AnalysisEnding::Failed, r.Message.English()};
         }},
        {"prepare", test::Fixture("single_muxrate.ts"), EventId::ChangeProgressPosG3, true,
         [](const std::string& source, const std::string& out, EventSink& sink, const std::function<void()>& analysed) {
             StreamState state;
             StopFlag stop;
             NullEventSink quiet;
             Analyzer analyzer;
             EXPECT_EQ(analyzer.Run({AnalysisMode::ModePrepare, source}, state, quiet, stop).Ending,
                       AnalysisEnding::Complete);
             PrepareJob job;
             EXPECT_TRUE(MakePrepareJob(state, out + ".ts", job).ok());
             analysed();
             PrepareWorker worker;
             const PrepareResult r = worker.Run(job, sink, stop);
             EXPECT_FALSE(r.OutputKept);
             return Outcome{r.Ending == PrepareEnding::Failed, r.Message.English()};
         }},
        {"demux", test::Fixture("multi3.ts"), EventId::ChangeProgressPosG4, true,
         [](const std::string& source, const std::string& out, EventSink& sink, const std::function<void()>& analysed) {
             std::filesystem::create_directory(out);
             StreamState state;
             StopFlag stop;
             NullEventSink quiet;
             Analyzer analyzer;
             EXPECT_EQ(analyzer.Run({AnalysisMode::ModeParse, source}, state, quiet, stop).Ending,
                       AnalysisEnding::Complete);
             SelectParsedPrograms(state);
             analysed();
             DemuxSettings settings;
             settings.OutputFolder = out;
             Demultiplexer demux;
             const DemuxResult r = demux.Run(state, settings, sink, stop);
             EXPECT_TRUE(std::filesystem::is_empty(out)) << "no program file is kept";
             std::filesystem::remove(out);
             return Outcome{r.Ending == DemuxEnding::Failed, r.Message.English()};
         }},
        {"check", test::Fixture("long_4m.ts"), EventId::ChangeProgressPosG1, false,
         [](const std::string& source, const std::string&, EventSink& sink, const std::function<void()>&) {
             StopFlag stop;
             CheckProgress progress;
             const CheckResult r = RunCheck(source, CheckOptions{}, sink, stop, progress);
             return Outcome{r.Ending == CheckEnding::Failed, r.Message};
         }},
    };
    for (const Case& c : cases) {
        if (!c.fixture.empty() && !std::filesystem::exists(c.fixture)) GTEST_SKIP() << "fixtures not generated";
        const auto bytes = c.fixture.empty() ? late_description : test::ReadFileBytes(c.fixture);
        // Cut while the run reads, or (after an analysis) before it starts.
        struct Cut {
            bool before_run;
            std::uintmax_t to;
        };
        for (const Cut cut : {Cut{false, bytes.size() / 2}, Cut{false, 0}, Cut{true, bytes.size() / 2}, Cut{true, 0}}) {
            if (cut.before_run && !c.analysed_first) continue;
            SCOPED_TRACE(std::string(c.what) + ", cut to " + std::to_string(cut.to) +
                         (cut.before_run ? " before the run" : ""));
            test::WriteFileBytes(source_, bytes);
            const auto before = FolderNames(dir_.path());
            test::RecordingSink sink;
            if (!cut.before_run) CutAt(sink, c.when, cut.to);
            const Outcome o = c.run(source_.string(), out_.string(), sink, [&] {
                if (cut.before_run) std::filesystem::resize_file(source_, cut.to);
            });
            if (!cut.before_run) {
                ASSERT_GE(sink.Count(c.when), 1) << "the source was cut";
            }
            EXPECT_TRUE(o.failed);
            EXPECT_EQ(o.message, ShrankText(source_, bytes.size(), cut.to));
            EXPECT_EQ(FolderNames(dir_.path()), before) << "nothing created, nothing left behind";
        }
    }
}

}  // namespace
}  // namespace tscard
