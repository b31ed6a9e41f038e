#include "capture/capture_shutdown.h"

#include <algorithm>

#include "capture/capture_session.h"
#include "capture/com_port.h"
#include "capture/driver_requests.h"
#include "platform/trace.h"

namespace nimbrel {

namespace {

// Waits up to `limit` with `wait` (true once the thread has ended), in short steps with
// `whileWaiting` between them when one is given.
bool waitInSteps(const std::function<bool(std::chrono::milliseconds)>& wait,
                 std::chrono::milliseconds limit, const std::function<void()>& whileWaiting) {
    if (!whileWaiting) return wait(limit);
    constexpr std::chrono::milliseconds kStep{5};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        whileWaiting();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero())
            return wait(std::chrono::milliseconds::zero());
        if (wait(std::min(left, kStep))) return true;
    }
}

}  // namespace

void WaitForAllThreadExit(CaptureSession& core, std::chrono::milliseconds limit,
                          const std::function<void()>& whileWaiting) {
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
    const bool captureEnded = waitInSteps(
        [&](std::chrono::milliseconds step) { return state.waitForCaptureThread(step); }, limit,
        whileWaiting);
    // Told to stop after the writer has ended, the print thread shows and records what the
    // ring still holds, then ends. While a capture thread that outlived its wait still runs,
    // the print thread is only told to stop.
    const bool printEnded =
        state.captureThreadRunning()
            ? state.waitForPrintThread(limit)
            : waitInSteps(
                  [&](std::chrono::milliseconds step) { return state.waitForPrintThread(step); },
                  limit, whileWaiting);

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
