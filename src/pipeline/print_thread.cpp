#include "pipeline/print_thread.h"

#include <chrono>
#include <thread>

#include "pipeline/capture_hub.h"
#include "platform/trace.h"

namespace nimbrel {

PrintThread::PrintThread(CaptureHub& hub, RecordSink& sink, Sleeper sleeper)
    : hub_(hub), sink_(sink), sleep_(std::move(sleeper)) {
    if (!sleep_) {
        sleep_ = [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    }
}

std::uint32_t PrintThread::frame(std::uint32_t length, bool flushed, bool settled) {
    RingReadState& rs = hub_.readState;
    hub_.ring.copyOut(rs.readPosition, window_, length);
    const FrameOutcome outcome = RecordFramer::frameOne(window_, length, flushed, sink_, settled);
    rs.readPosition += outcome.consumed;
    // Release: a producer that waits for room acquires it before overwriting what was read.
    hub_.counters.publishReadPosition(rs.readPosition);
    if (outcome.emitted) hub_.counters.addRecordFramed();
    const std::uint32_t noise = outcome.consumed - (outcome.emitted ? outcome.recordLength : 0);
    if (noise) hub_.counters.addNoise(noise);
    return outcome.consumed;
}

void PrintThread::skipOverrun(std::uint64_t snapshot) {
    RingReadState& rs = hub_.readState;
    // The producer lapped the reader: resume at the start of its current lap. When even
    // that lies more than the threshold behind (the producer is in the last bytes of its
    // lap, or still in its first one), resume at the threshold instead: the next pass
    // would otherwise find the same overrun and skip to the same place for ever.
    const std::uint64_t lapStart =
        static_cast<std::uint64_t>(BigBuffer::lapOf(snapshot)) * BigBuffer::kSize;
    const std::uint64_t resume = snapshot - lapStart > static_cast<std::uint64_t>(kOverrunThreshold)
                                     ? snapshot - kOverrunThreshold
                                     : lapStart;
    if (resume > rs.readPosition) {
        hub_.counters.addOverrun(resume - rs.readPosition);
    }
    rs.readPosition = resume;
    hub_.counters.publishReadPosition(rs.readPosition);
}

bool PrintThread::isOverrun(std::int64_t waiting) {
    return waiting < 0 || waiting > kOverrunThreshold;
}

void PrintThread::drainToEnd() {
    RingReadState& rs = hub_.readState;
    // One snapshot: a writer that outlived the shutdown's wait is not chased for ever.
    const std::uint64_t end = hub_.ring.writePosition();
    if (!rs.nonZeroSeen) {
        if (hub_.ring.rangeIsZero(rs.zeroScannedTo, end)) {
            trace("//big buffer is empty m_writeThreadQuit exit\n ");
            return;
        }
        rs.nonZeroSeen = true;
    }
    while (rs.readPosition != end) {
        const auto waiting = static_cast<std::int64_t>(end - rs.readPosition);
        if (isOverrun(waiting)) {
            skipOverrun(end);
            continue;
        }
        if (waiting > static_cast<std::int64_t>(kWindowSize)) {
            frame(kWindowSize, false, false);
            continue;
        }
        // The end of the capture: a complete last record is shown, a record that cannot
        // be completed any more is given up.
        if (frame(static_cast<std::uint32_t>(waiting), true, true) == 0) {
            trace("//unfinished record dropped at capture end\n");
            hub_.counters.addNoise(end - rs.readPosition);
            rs.readPosition = end;
            hub_.counters.publishReadPosition(rs.readPosition);
        }
    }
}

bool PrintThread::pass() {
    RingReadState& rs = hub_.readState;
    const std::uint64_t snapshot = hub_.ring.writePosition();
    // Quiet passes are counted only where the pass sleeps, so that they measure time without
    // new bytes: working through a backlog while the producer pauses takes many passes but
    // says nothing about whether a record's missing bytes are still on their way.
    if (snapshot != rs.lastWritePosition) {
        rs.quietPasses = 0;
        rs.lastWritePosition = snapshot;
    }
    auto countQuietPass = [&rs] {
        if (rs.quietPasses < kSettledAfterQuietPasses) ++rs.quietPasses;
    };

    bool zeroRing = false;
    if (!rs.nonZeroSeen) {
        zeroRing = hub_.ring.rangeIsZero(rs.zeroScannedTo, snapshot);
        if (zeroRing) {
            rs.zeroScannedTo = snapshot;
            trace("//big buffer is empty\n");
            sleep_(1);
        } else {
            rs.nonZeroSeen = true;
        }
    }

    const auto waiting = static_cast<std::int64_t>(snapshot - rs.readPosition);
    if (zeroRing) {
        // Zeros alone are never framed.
    } else if (waiting > static_cast<std::int64_t>(kWindowSize) && !isOverrun(waiting)) {
        rs.idlePasses = 0;
        frame(kWindowSize, false, false);
    } else if (waiting == 0) {
        countQuietPass();
        sleep_(100);
    } else if (isOverrun(waiting)) {
        skipOverrun(snapshot);
    } else {
        countQuietPass();
        sleep_(1);
        ++rs.idlePasses;
        if (rs.idlePasses >= kFlushAfterIdlePasses) {
            frame(static_cast<std::uint32_t>(waiting), true,
                  rs.quietPasses >= kSettledAfterQuietPasses);
        }
    }

    // Told to stop, or the capture thread has ended: whatever it appended is all there is
    // (its last bytes may have come during this pass's sleep), and all of it is framed.
    if (hub_.printThreadQuit() || hub_.writerDone()) {
        drainToEnd();
        return false;
    }
    return true;
}

int PrintThread::run() {
    for (;;) {
        while (pass()) {
        }
        // Told to stop: stop.
        if (hub_.exchangePrintThreadQuit(true)) break;
        // Ended by itself because the writer ended. A capture that started between that
        // decision and now saw this thread still running and started none: unless somebody
        // else claimed the flag since, carry on (with what the new writer appends).
        if (!hub_.writeThreadQuit() && hub_.exchangePrintThreadQuit(false)) continue;
        break;
    }
    trace("Print THread Exit\n");
    return 0;
}

}  // namespace nimbrel
