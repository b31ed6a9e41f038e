// Stops every capture: the capture thread first, then the print thread, which shows and
// records everything still waiting in the ring before it ends, then releases the ring once
// neither can touch it. The route's device is closed first, so that a pending read ends.
#pragma once

#include <chrono>
#include <functional>

namespace nimbrel {

class CaptureSession;

// Waits up to `limit` for each thread. `whileWaiting`, when given, runs every few
// milliseconds of the waits: the GUI thread empties the view's queue there, which the
// ending threads may wait on for room.
void WaitForAllThreadExit(CaptureSession& core, std::chrono::milliseconds limit,
                          const std::function<void()>& whileWaiting = {});

}  // namespace nimbrel
