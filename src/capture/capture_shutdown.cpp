#include "capture/capture_shutdown.h"

#include "capture/com_port.h"
#include "capture/view_core.h"
#include "platform/trace.h"

namespace nimbrel {

void WaitForAllThreadExit(ViewCore& core, std::chrono::milliseconds limit, bool drain) {
    trace("WaitForAllThreadExit+++++\n");
    CaptureHub& hub = core.hub;
    hub.m_writeThreadQuit.store(true);
    // Closing the port ends a pending read at once instead of after its time-out.
    if (core.toggles.m_threadId.load() == COM_THREAD_ID) comPort().close();
    const bool captureEnded = core.capture.m_captureThread.waitFor(limit);

    // With the writer stopped, the print thread ends by itself once the ring is drained.
    if (drain && captureEnded) hub.m_printThread.waitFor(limit);
    hub.m_printThreadQuit.store(true);
    const bool printEnded = hub.m_printThread.waitFor(limit);

    // The ring goes only when no thread can touch it any more; otherwise it stays until a
    // later shutdown finds both threads ended.
    if (captureEnded && printEnded) {
        hub.releaseRing();
    } else {
        trace("WaitForAllThreadExit: a thread is still running, the capture ring is kept\n");
    }
    core.capture.m_viewInUse.store(false);
    trace("WaitForAllThreadExit------------\n");
}

}  // namespace nimbrel
