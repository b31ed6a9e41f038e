#include "platform/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace nimbrel {
namespace {

std::mutex g_sinkMutex;
std::shared_ptr<TraceSink> g_sink;  // guarded by g_sinkMutex
std::atomic<bool> g_haveSink{false};

bool envEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("NIMBREL_TRACE");
        return v && std::strcmp(v, "1") == 0;
    }();
    return enabled;
}

}  // namespace

bool traceEnabled() { return g_haveSink.load(std::memory_order_relaxed) || envEnabled(); }

void setTraceSink(TraceSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = sink ? std::make_shared<TraceSink>(std::move(sink)) : nullptr;
    g_haveSink.store(g_sink != nullptr, std::memory_order_relaxed);
}

void trace(const char* format, ...) {
    if (!traceEnabled()) return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    const std::string_view text(
        buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1));
    std::shared_ptr<TraceSink> sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink) {
        (*sink)(text);
    } else {
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}

}  // namespace nimbrel
