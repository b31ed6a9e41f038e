#include "pipeline/capture_hub.h"

#include "pipeline/print_thread.h"

namespace nimbrel {

void CaptureHub::allocateRing() {
    if (ring.allocated()) return;
    ring.allocate();
    // A fresh ring is all zero again: the print thread waits for the first non-zero byte.
    readState.nonZeroSeen = false;
    readState.zeroScannedTo = ring.writePosition();
}

void CaptureHub::startPrintThreadIfIdle(RecordSink& sink) {
    // Claiming the flag here (rather than in the new thread) keeps two starts from racing.
    if (!m_printThreadQuit.exchange(false)) return;
    m_printThread.start([this, &sink] {
        PrintThread thread(*this, sink);
        thread.run();
    });
}

}  // namespace nimbrel
