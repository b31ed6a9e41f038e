// Stops every capture: the capture thread first, then the print thread, then releases the
// ring once neither can touch it, and closes the route's device.
#pragma once

#include <chrono>

namespace nimbrel {

class ViewCore;

// `drain`: give the print thread up to `limit` to show and record what is still waiting
// in the ring before it is told to stop (nothing captured is lost on a clean stop).
void WaitForAllThreadExit(ViewCore& core, std::chrono::milliseconds limit, bool drain = false);

}  // namespace nimbrel
