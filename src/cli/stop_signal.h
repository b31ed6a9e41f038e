// SIGINT and SIGTERM ask a long-running command to stop cleanly.
#pragma once

namespace nimbrel::cli {

void installStopSignals();
bool stopRequested();

}  // namespace nimbrel::cli
