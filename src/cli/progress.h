#pragma once
// A progress bar on stderr, drawn only when stderr is a terminal, so
// scripts and logs stay clean.

#include <cstdint>
#include <string>

namespace tscard::cli {

class TerminalProgress {
public:
    TerminalProgress(std::string label, std::uint64_t maximum);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void SetMaximum(std::uint64_t maximum);
    void Step(std::uint64_t steps = 1);
    void Set(std::uint64_t value);
    // Ends the line; called by the destructor if not before.
    void Finish();

private:
    void Draw(bool force);

    std::string label_;
    std::uint64_t maximum_;
    std::uint64_t value_ = 0;
    int drawn_percent_ = -1;
    bool enabled_;
    bool finished_ = false;
};

}  // namespace tscard::cli
