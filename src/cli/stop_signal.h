// SIGINT and SIGTERM ask a long-running command to stop cleanly.
#pragma once

#include <atomic>

namespace nimbrel::cli {

void installStopSignals();
bool stopRequested();
// The flag the signals set, for work that polls a stop flag of its own kind.
const std::atomic<bool>& stopFlag();

}  // namespace nimbrel::cli
