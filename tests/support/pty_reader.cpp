#include "support/pty_reader.h"

#include <chrono>
#include <thread>

namespace nimbrel::test {

bool waitUntilTaken(const PseudoTerminal& pty) {
    using Clock = std::chrono::steady_clock;
    const auto limit = Clock::now() + std::chrono::seconds(10);
    // The bytes show in the slave's queue a moment after the write (unless the reader
    // takes them at once).
    const auto queued = Clock::now() + std::chrono::milliseconds(500);
    while (pty.unreadBytes() == 0 && Clock::now() < queued) std::this_thread::yield();
    while (pty.unreadBytes() > 0) {
        if (Clock::now() > limit) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace nimbrel::test
