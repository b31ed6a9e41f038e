// The consumer of the capture ring: copies a window at the read position, frames one
// record, advances by what the framer consumed. Paced with 1 ms sleeps while a partial
// window waits (flushed after 10 idle passes), 100 ms sleeps when nothing waits.
//
// It ends when it is told to stop (m_printThreadQuit) or when the capture thread has
// ended, and in either case only after it has framed every byte waiting in the ring, the
// last window flushed as at the end of a raw data file: nothing captured is left behind.
#pragma once

#include <cstdint>
#include <functional>

#include "pipeline/record_framer.h"

namespace nimbrel {

class CaptureHub;

inline constexpr std::uint32_t kWindowSize = 512;
inline constexpr std::int64_t kOverrunThreshold = 0x3FEC00;  // 4,189,184: a lap less 5,120 bytes
inline constexpr std::uint32_t kFlushAfterIdlePasses = 10;
// A stream that has brought no byte for this many sleeping passes (at least 1 ms each: five
// times the flush delay, well above the latency timer of common USB serial adapters) has
// settled: a record still incomplete in a flushed window is given up when records follow
// it.
inline constexpr std::uint32_t kSettledAfterQuietPasses = 5 * kFlushAfterIdlePasses;

class PrintThread {
public:
    using Sleeper = std::function<void(unsigned milliseconds)>;

    PrintThread(CaptureHub& hub, RecordSink& sink, Sleeper sleeper = {});

    // One pass; false when the thread is to end (everything waiting has been framed).
    bool pass();
    // Passes until the end; then marks the print thread as stopped. Returns 0.
    int run();

private:
    // Frames `length` bytes at the read position; returns the bytes consumed.
    std::uint32_t frame(std::uint32_t length, bool flushed, bool settled);
    static bool isOverrun(std::int64_t waiting);
    // Moves the read position past an overrun of the producer.
    void skipOverrun(std::uint64_t snapshot);
    // Frames every byte published so far, the last window flushed as at the end of a file;
    // an unfinished record at the very end counts as noise.
    void drainToEnd();

    CaptureHub& hub_;
    RecordSink& sink_;
    Sleeper sleep_;
    std::uint8_t window_[kWindowSize];
};

}  // namespace nimbrel
