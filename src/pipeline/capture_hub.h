// Everything the capture threads and the print thread share: the ring, the stop flags,
// the print thread itself, raw data recording and loss counters.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "pipeline/big_buffer.h"
#include "pipeline/raw_data_file.h"
#include "platform/worker_thread.h"

namespace nimbrel {

class RecordSink;

// What a capture's consumer saw; read by anyone, written by the print thread.
struct CaptureCounters {
    std::atomic<std::uint64_t> recordsFramed{0};
    std::atomic<std::uint64_t> noiseBytes{0};    // consumed without being part of a record
    std::atomic<std::uint64_t> overrunBytes{0};  // skipped because the producer lapped the reader
    // The print thread's read position, published for progress and back-pressure checks.
    std::atomic<std::uint64_t> readPosition{0};

    void reset() {
        recordsFramed = 0;
        noiseBytes = 0;
        overrunBytes = 0;
    }
};

// The print thread's position in the ring. Survives across captures; only the running
// print thread touches it (a new one starts after the old one has ended).
struct RingReadState {
    std::uint64_t readPosition = 0;
    std::uint32_t idlePasses = 0;
    // Consecutive passes that found the write position where the previous pass found it.
    std::uint32_t quietPasses = 0;
    std::uint64_t lastWritePosition = 0;
    bool nonZeroSeen = false;         // a non-zero byte was captured since allocation
    std::uint64_t zeroScannedTo = 0;  // bytes before this were checked for the test above
};

class CaptureHub {
public:
    explicit CaptureHub(std::string programFolder) : rawDataFile(std::move(programFolder)) {}
    CaptureHub(const CaptureHub&) = delete;
    CaptureHub& operator=(const CaptureHub&) = delete;

    // Producer side, at capture start: allocates the ring zero-filled unless it exists.
    void allocateRing();
    // Called only when neither the capture thread nor the print thread can touch the ring.
    void releaseRing() { ring.release(); }

    // Producer side, before appending n bytes: waits (1 ms steps) while the bytes would
    // bring the writer closer than an overrun to the reader, so that a source that can be
    // throttled (a serial port whose kernel buffer holds the rest) loses nothing. Returns
    // at once when no print thread runs or the capture is being stopped.
    void waitForRoom(std::uint32_t n);

    // Starts the print thread unless one runs. `sink` must outlive the thread.
    void startPrintThreadIfIdle(RecordSink& sink);

    // The capture thread's life: marked before it starts and when it has appended its last
    // bytes. Its stop request (m_writeThreadQuit) comes earlier: a thread still appends
    // what it read before its device closed.
    void writerStarted() { writerRunning_.store(true); }
    void writerEnded() { writerRunning_.store(false); }
    // The writer was asked to stop and has ended: the bytes in the ring are all there is.
    bool writerDone() const { return m_writeThreadQuit.load() && !writerRunning_.load(); }

    BigBuffer ring;
    RingReadState readState;
    CaptureCounters counters;

    // Stop request for the capture (writer) thread; set while no capture runs.
    std::atomic<bool> m_writeThreadQuit{true};
    // Stop request for the print thread and the sign that none runs.
    std::atomic<bool> m_printThreadQuit{true};
    WorkerThread m_printThread;

    // Raw data saving: capture threads look at it when they start, record entries for
    // every record.
    std::atomic<bool> m_bAutoSaveRawData{false};
    RawDataFile rawDataFile;

private:
    std::atomic<bool> writerRunning_{false};
};

}  // namespace nimbrel
