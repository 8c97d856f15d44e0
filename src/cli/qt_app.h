#pragma once
// The Qt application object of a run. Card readers opened through UDisks2
// use Qt's bus, which wants one for the whole run; `check --plot` draws its
// charts with Qt Charts, which want a graphical one: that one runs on Qt's
// offscreen platform, so no display is needed. Only one can exist in a
// process, so the command line chooses before the command runs.

#include <QCoreApplication>
#include <memory>

namespace tscard::cli {

// True when the arguments ask a command to draw (check --plot).
bool DrawsCharts(int argc, char** argv);

class QtApp {
public:
    // The application the arguments need. The C library's locale stays as
    // it was: numbers are printed with '.' whatever the environment says.
    QtApp(int argc, char** argv);
    ~QtApp();
    QtApp(const QtApp&) = delete;
    QtApp& operator=(const QtApp&) = delete;

private:
    // Qt keeps the arguments for the application's life.
    char name_[11] = "tscard-cli";
    char option_[10] = "-platform";
    char platform_[10] = "offscreen";
    char* argv_[4] = {name_, option_, platform_, nullptr};
    int argc_ = 1;
    std::unique_ptr<QCoreApplication> app_;
};

}  // namespace tscard::cli
