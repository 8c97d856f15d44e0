#include "cli/cli_events.h"

namespace tscard::cli {

CliEvents::CliEvents(std::string label, std::function<std::uint64_t()> maximum,
                     std::function<std::uint64_t()> position)
    : label_(std::move(label)), maximum_(std::move(maximum)), position_(std::move(position)) {
    for (EventId id : {EventId::ChangeProgressPosG1, EventId::ChangeProgressPosG3, EventId::ChangeProgressPosG4})
        hub_.SetHandler(id, [this] { OnProgress(); });
    hub_.SetHandler(EventId::evRefreshGauge, [this] {
        if (bar_) bar_->Finish();
    });
    hub_.Start([](const EventHub::Handler& run) { run(); });
}

CliEvents::~CliEvents() { Close(); }

void CliEvents::OnProgress() {
    const std::uint64_t maximum = maximum_ ? maximum_() : 0;
    if (!bar_) bar_ = std::make_unique<TerminalProgress>(label_, maximum);
    bar_->SetMaximum(maximum);
    if (position_)
        bar_->Set(position_());
    else
        bar_->Step();
}

void CliEvents::Close() {
    if (hub_.Running()) {
        hub_.Drain();
        hub_.Shutdown();
    }
    if (bar_) bar_->Finish();
}

}  // namespace tscard::cli
