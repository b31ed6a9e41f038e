// Stops every capture: the capture thread first, then the print thread, which shows and
// records everything still waiting in the ring before it ends, then releases the ring once
// neither can touch it. The route's device is closed first, so that a pending read ends.
#pragma once

#include <chrono>

namespace nimbrel {

class CaptureSession;

// Waits up to `limit` for each thread.
void WaitForAllThreadExit(CaptureSession& core, std::chrono::milliseconds limit);

}  // namespace nimbrel
