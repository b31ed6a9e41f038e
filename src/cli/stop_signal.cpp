#include "cli/stop_signal.h"

#include <atomic>
#include <csignal>

namespace nimbrel::cli {
namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void onNimbrelStopSignal(int) { g_stopRequested.store(true); }

}  // namespace

void installStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = onNimbrelStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

bool stopRequested() { return g_stopRequested.load(); }

const std::atomic<bool>& stopFlag() { return g_stopRequested; }

}  // namespace nimbrel::cli
