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

// What a capture's consumer saw; read by anyone, written by the print thread. The counts
// are statistics and order nothing (relaxed increments); the read position is published
// with release ordering and read with acquire ordering. Readers pass
// std::memory_order_relaxed where a count only feeds a display.
class CaptureCounters {
public:
    using Order = std::memory_order;
    static constexpr Order kSeqCst = std::memory_order_seq_cst;

    std::uint64_t recordsFramed(Order order = kSeqCst) const { return recordsFramed_.load(order); }
    // Bytes consumed without being part of a record.
    std::uint64_t noiseBytes(Order order = kSeqCst) const { return noiseBytes_.load(order); }
    // Bytes skipped because the producer lapped the reader.
    std::uint64_t overrunBytes(Order order = kSeqCst) const { return overrunBytes_.load(order); }
    // The print thread's read position, published for progress and back-pressure checks.
    std::uint64_t readPosition() const { return readPosition_.load(std::memory_order_acquire); }

    // Print thread.
    void addRecordFramed() { recordsFramed_.fetch_add(1, std::memory_order_relaxed); }
    void addNoise(std::uint64_t n) { noiseBytes_.fetch_add(n, std::memory_order_relaxed); }
    void addOverrun(std::uint64_t n) { overrunBytes_.fetch_add(n, std::memory_order_relaxed); }
    // Release: a producer that waits for room acquires it before overwriting what was read.
    void publishReadPosition(std::uint64_t position) {
        readPosition_.store(position, std::memory_order_release);
    }

    // At capture start, while no print thread runs.
    void reset() {
        recordsFramed_ = 0;
        noiseBytes_ = 0;
        overrunBytes_ = 0;
    }

private:
    std::atomic<std::uint64_t> recordsFramed_{0};
    std::atomic<std::uint64_t> noiseBytes_{0};
    std::atomic<std::uint64_t> overrunBytes_{0};
    std::atomic<std::uint64_t> readPosition_{0};
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

    // Stop request for the capture (writer) thread (m_writeThreadQuit); up while no
    // capture runs.
    bool writeThreadQuit() const { return m_writeThreadQuit.load(); }
    void setWriteThreadQuit(bool quit) { m_writeThreadQuit.store(quit); }
    // Stop request for the print thread and the sign that none runs (m_printThreadQuit).
    bool printThreadQuit() const { return m_printThreadQuit.load(); }
    void setPrintThreadQuit(bool quit) { m_printThreadQuit.store(quit); }
    // Sets the request and returns what it was (the print thread claims and gives up its
    // run with this).
    bool exchangePrintThreadQuit(bool quit) { return m_printThreadQuit.exchange(quit); }

    // Raw data saving (m_bAutoSaveRawData): capture threads look at it when they start,
    // the print thread for every record (relaxed: it orders nothing).
    bool autoSaveRawData(std::memory_order order = std::memory_order_seq_cst) const {
        return m_bAutoSaveRawData.load(order);
    }
    void setAutoSaveRawData(bool on) { m_bAutoSaveRawData.store(on); }

private:
    std::atomic<bool> m_writeThreadQuit{true};
    std::atomic<bool> m_printThreadQuit{true};
    std::atomic<bool> m_bAutoSaveRawData{false};
    std::atomic<bool> writerRunning_{false};

public:
    BigBuffer ring;
    RingReadState readState;
    CaptureCounters counters;
    RawDataFile rawDataFile;
    // Declared after everything the print thread uses: destroyed (joined) first.
    WorkerThread m_printThread;
};

}  // namespace nimbrel
