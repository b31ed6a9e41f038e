#include "pipeline/capture_hub.h"

#include <chrono>
#include <thread>

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

namespace nimbrel {

void CaptureHub::waitForRoom(std::uint32_t n) {
    while (!m_writeThreadQuit.load() && !m_printThreadQuit.load()) {
        const std::uint64_t ahead = ring.writePosition() + n - counters.readPosition();
        if (ahead <= static_cast<std::uint64_t>(kOverrunThreshold)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace nimbrel
