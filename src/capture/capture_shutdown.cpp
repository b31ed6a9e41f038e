#include "capture/capture_shutdown.h"

#include "capture/capture_session.h"
#include "capture/com_port.h"
#include "capture/driver_requests.h"
#include "platform/trace.h"

namespace nimbrel {

void WaitForAllThreadExit(CaptureSession& core, std::chrono::milliseconds limit) {
    trace("WaitForAllThreadExit+++++\n");
    CaptureState& state = core.capture;
    state.requestStop();
    // The route's devices go before the wait: closing the port, or turning the driver's
    // logging off and closing its device, ends a pending read at once, so the capture
    // thread ends within the wait instead of outliving it. The driver's off and stop forms
    // (EnableFilterLog(0), which opens the device again if it was closed, and
    // DisableFilterLog; their UART twins) get kDriverStopWait: a driver that does not answer
    // has its device closed all the same.
    switch (state.m_threadId()) {
    case CaptureRoute::Com: comPort().close(); break;
    case CaptureRoute::Filter: filterDriver().stopLogging(); break;
    case CaptureRoute::Uart: uartDriver().stopLogging(); break;
    case CaptureRoute::None: break;
    }
    const bool captureEnded = state.waitForCaptureThread(limit);
    // Told to stop after the writer has ended, the print thread shows and records what the
    // ring still holds, then ends.
    const bool printEnded = state.waitForPrintThread(limit);

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
