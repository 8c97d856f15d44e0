#include "cli/signals.h"

#include <atomic>
#include <csignal>

namespace tscard::cli {
namespace {

// A signal handler can only reach the flag through a global; the flag
// itself is a lock-free atomic, safe to set from the handler.
std::atomic<StopFlag*> g_target{nullptr};
std::atomic<bool> g_signalled{false};
struct sigaction g_old_int;
struct sigaction g_old_term;

void OnSignal(int) {
    g_signalled.store(true);
    if (StopFlag* flag = g_target.load()) flag->Request();
}

}  // namespace

StopOnSignals::StopOnSignals(StopFlag& flag) {
    g_signalled.store(false);
    g_target.store(&flag);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_old_int);
    sigaction(SIGTERM, &action, &g_old_term);
}

StopOnSignals::~StopOnSignals() {
    sigaction(SIGINT, &g_old_int, nullptr);
    sigaction(SIGTERM, &g_old_term, nullptr);
    g_target.store(nullptr);
}

bool StopOnSignals::Signalled() const { return g_signalled.load(); }

}  // namespace tscard::cli
