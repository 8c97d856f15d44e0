#pragma once
// The command line's side of the event hub: a worker's progress events step
// a bar on stderr, its completion event ends the bar. Handlers run in place
// on the hub's thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/progress.h"
#include "events/event_hub.h"

namespace tscard::cli {

class CliEvents {
public:
    // maximum and position are asked at each progress event (a worker
    // learns its size as it goes; several of its steps may arrive as one
    // event). Without a position the bar counts events. The bar appears
    // with the first step only, so runs that end at once print nothing.
    CliEvents(std::string label, std::function<std::uint64_t()> maximum,
              std::function<std::uint64_t()> position = {});
    ~CliEvents();
    CliEvents(const CliEvents&) = delete;
    CliEvents& operator=(const CliEvents&) = delete;

    EventSink& Sink() { return hub_; }
    // Handles what is still pending, ends the hub and the bar; called
    // before the command prints its results.
    void Close();

private:
    void OnProgress();

    std::string label_;
    std::function<std::uint64_t()> maximum_;
    std::function<std::uint64_t()> position_;
    std::unique_ptr<TerminalProgress> bar_;
    EventHub hub_;
};

}  // namespace tscard::cli
