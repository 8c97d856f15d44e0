#pragma once
// A real window that opens real streams: the generated fixtures, scratch
// folders, and waiting (with the window's events going on) for the work
// that runs off its thread.

#include <QTest>

#include <functional>
#include <string>

#include "app/stream_launcher.h"
#include "support/test_support.h"
#include "window_test.h"

namespace tscard::app::test {

inline std::string FixturePath(const std::string& name) { return tscard::test::Fixture(name).string(); }

class StreamWindowTest : public WindowTest {
protected:
    StreamLauncher& Launcher() { return Window().Launcher(); }

    // Runs the window's events until `done` holds; false after the timeout.
    static bool WaitUntil(const std::function<bool()>& done, int timeout_ms = 60000) {
        return QTest::qWaitFor(done, timeout_ms);
    }
    // Until no analysis, run or job aside is under way.
    bool WaitUntilIdle(int timeout_ms = 60000) {
        return WaitUntil([this] { return !Launcher().Analysing() && !Window().Events().Busy(); }, timeout_ms);
    }
    // The text of the n-th question put to the operator, or "" when fewer were put.
    std::string Asked(std::size_t n) const {
        return n < dialogs_.Questions().size() ? dialogs_.Questions()[n].Message.Text : std::string();
    }

    tscard::test::TempDir dir_;
};

}  // namespace tscard::app::test
