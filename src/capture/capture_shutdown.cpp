#include "capture/capture_shutdown.h"

#include "capture/com_port.h"
#include "capture/driver_requests.h"
#include "capture/view_core.h"
#include "platform/trace.h"

namespace nimbrel {

void WaitForAllThreadExit(ViewCore& core, std::chrono::milliseconds limit, bool drain) {
    trace("WaitForAllThreadExit+++++\n");
    CaptureState& state = core.capture;
    state.requestStop();
    // The route's devices go before the wait: closing the port, or turning the driver's
    // logging off and closing its device, ends a pending read at once, so the capture
    // thread ends within the wait instead of outliving it.
    switch (state.m_threadId()) {
    case CaptureRoute::Com: comPort().close(); break;
    case CaptureRoute::Filter:
        EnableFilterLog(0);  // opens the device again if it was closed
        DisableFilterLog();
        break;
    case CaptureRoute::Uart:
        EnableUartLog(0);
        DisableUartLog();
        break;
    case CaptureRoute::None: break;
    }
    const bool captureEnded = state.waitForCaptureThread(limit);
    // With the writer stopped, a draining print thread ends by itself once the ring is
    // empty; without `drain` it is told to stop at once.
    const bool printEnded = state.waitForPrintThread(limit, drain);

    // The ring goes only when no thread can touch it any more; otherwise it stays until a
    // later shutdown finds both threads ended.
    if (captureEnded && printEnded) {
        core.hub.releaseRing();
    } else {
        trace("WaitForAllThreadExit: a thread is still running, the capture ring is kept\n");
    }
    // A thread that outlived its wait keeps the view in use until it has ended.
    state.releaseView();
    trace("WaitForAllThreadExit------------\n");
}

}  // namespace nimbrel
