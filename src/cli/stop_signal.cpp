#include "cli/stop_signal.h"

#include <atomic>

#include "platform/console.h"

namespace nimbrel::cli {
namespace {

std::atomic<bool> g_stopRequested{false};

void onStop() { g_stopRequested.store(true); }

}  // namespace

void installStopSignals() { installStopHandler(onStop); }

bool stopRequested() { return g_stopRequested.load(); }

const std::atomic<bool>& stopFlag() { return g_stopRequested; }

}  // namespace nimbrel::cli
