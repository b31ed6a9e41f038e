#include "capture/capture_state.h"

#include "pipeline/capture_hub.h"
#include "pipeline/formatter_state.h"

namespace nimbrel {

CaptureState::CaptureState(CaptureHub& hub, FormatterToggles& toggles)
    : hub_(hub), toggles_(toggles) {}

CaptureRoute CaptureState::m_threadId() const { return toggles_.threadId(); }

CaptureState::~CaptureState() {
    hub_.setWriteThreadQuit(true);
    m_captureThread.join();
    hub_.setPrintThreadQuit(true);
    hub_.m_printThread.join();
}

bool CaptureState::idleLocked() const {
    return m_viewInUse == Holder::None && !m_captureThread.running() &&
           !hub_.m_printThread.running();
}

CaptureState::Phase CaptureState::phaseLocked() const {
    const bool capturing = m_captureThread.running();
    switch (m_viewInUse) {
    case Holder::Replay: return Phase::Replaying;
    case Holder::Route:
        if (isDriverRoute(toggles_.threadId()))
            return capturing ? Phase::DriverRunning : Phase::DriverArmed;
        if (capturing) return Phase::ComActive;
        break;
    case Holder::None: break;
    }
    if (capturing || hub_.m_printThread.running()) return Phase::Draining;
    return Phase::Idle;
}

CaptureState::Phase CaptureState::phase() const {
    std::lock_guard lock(mutex_);
    return phaseLocked();
}

bool CaptureState::claimRoute(CaptureRoute route) {
    std::lock_guard lock(mutex_);
    if (route == CaptureRoute::None || !idleLocked()) return false;
    m_viewInUse = Holder::Route;
    toggles_.setThreadId(route);
    if (isDriverRoute(route)) m_deviceOn.store(false);
    // Cleared here rather than in the thread, so that a stop request raised before the
    // thread has opened its device is not lost.
    hub_.setWriteThreadQuit(false);
    return true;
}

void CaptureState::startCaptureThread(std::function<void()> body) {
    std::lock_guard lock(mutex_);
    hub_.writerStarted();
    m_captureThread.start(std::move(body));
}

bool CaptureState::restartArmedRoute(std::function<void()> body) {
    std::lock_guard lock(mutex_);
    if (!isDriverRoute(toggles_.threadId())) return false;
    const bool armed = m_viewInUse == Holder::Route && !m_captureThread.running();
    // With nothing holding the view, the thread runs with its stop request up: it goes
    // through its start-up and end steps and ends. A replay or a text-log load holding
    // the view keeps the pipeline to itself.
    if (!armed && !idleLocked()) return false;
    m_deviceOn.store(true);
    // Marked running before the stop request changes, so that a print thread still
    // draining the previous thread's bytes never takes the new writer for an ended one.
    hub_.writerStarted();
    hub_.setWriteThreadQuit(!armed);
    m_captureThread.start(std::move(body));
    return true;
}

bool CaptureState::claimReplay() {
    std::lock_guard lock(mutex_);
    if (!idleLocked()) return false;
    m_viewInUse = Holder::Replay;
    return true;
}

void CaptureState::endReplay() {
    std::lock_guard lock(mutex_);
    if (m_viewInUse == Holder::Replay) m_viewInUse = Holder::None;
}

bool CaptureState::stopRequested() const { return hub_.writeThreadQuit(); }

void CaptureState::sourceGone() { hub_.setWriteThreadQuit(true); }

void CaptureState::captureThreadEnded() {
    std::lock_guard lock(mutex_);
    // The writer has stopped: the print thread frames what it appended and ends.
    hub_.setWriteThreadQuit(true);
    hub_.writerEnded();
    if (m_viewInUse == Holder::Route && !isDriverRoute(toggles_.threadId()))
        m_viewInUse = Holder::None;
}

void CaptureState::requestStop() {
    stopRequests_.fetch_add(1);
    hub_.setWriteThreadQuit(true);
}

bool CaptureState::waitForCaptureThread(std::chrono::milliseconds limit) {
    // Not under the mutex: the ending thread takes it in captureThreadEnded.
    return m_captureThread.waitFor(limit);
}

bool CaptureState::waitForPrintThread(std::chrono::milliseconds limit) {
    // A capture thread that outlived its wait may be starting the print thread right now:
    // then the print thread is only told to stop, and not waited for here.
    if (m_captureThread.running()) {
        hub_.setPrintThreadQuit(true);
        return false;
    }
    // Told to stop, it frames everything the ring still holds, then ends.
    hub_.setPrintThreadQuit(true);
    return hub_.m_printThread.waitFor(limit);
}

void CaptureState::releaseView() {
    std::lock_guard lock(mutex_);
    // A replay or a text-log load gives the view back itself, once its worker has ended.
    if (m_viewInUse == Holder::Route) m_viewInUse = Holder::None;
}

bool CaptureState::drainFinished() const { return !hub_.m_printThread.running(); }

bool CaptureState::threadsRunning() const {
    return m_captureThread.running() || hub_.m_printThread.running();
}

bool CaptureState::whileNoThreadRuns(const std::function<void()>& change) {
    std::lock_guard lock(mutex_);
    // Threads start only under this mutex (the capture thread) or from a capture thread
    // (the print thread), so none can start while `change` runs.
    if (m_captureThread.running() || hub_.m_printThread.running()) return false;
    change();
    return true;
}

}  // namespace nimbrel
