#include "platform/log.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/escaped_text.h"

namespace tscard {
namespace {
std::atomic<bool> g_enabled{true};
std::mutex g_mutex;
}  // namespace

void DebugLog(std::string_view text) {
    if (!g_enabled.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::string line = "tscard: ";
    line.append(EscapeControls(text, Backslash::Kept));
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void SetDebugLogEnabled(bool enabled) { g_enabled.store(enabled, std::memory_order_relaxed); }

bool DebugLogEnabled() { return g_enabled.load(std::memory_order_relaxed); }

}  // namespace tscard
