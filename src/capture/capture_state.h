// The one owner of the capture state: which route or replay holds the view, the capture
// thread, and the stop requests of the capture and print threads. Every command that
// starts a capture or a replay claims the view here; every stop goes through here.
//
//                  claimRoute(Com)          port open fails / device gone
//        +-------> COM active ------------------------------------+
//        |             |                                          |
//        |             | waitForAllThreadExit                     v
//      Idle <----------+----------------------------------- Draining
//      ^ ^ ^                                      (writer ended, print thread still
//      | | |                                       framing what waits in the ring)
//      | | |  claimRoute(Filter|Uart)                         ^
//      | | +-------------------> Driver running --------------+ (radio gone: thread ends,
//      | |                          ^      |                       route kept)
//      | |          restartRoute... |      v captureThreadEnded(keepRoute)
//      | |          (radio arrival) +-- Driver armed (radio gone, route kept; no thread)
//      | |                                 |
//      | +----- waitForAllThreadExit ------+
//      |
//      +-- endReplay -- Replaying <-- claimReplay (no thread runs)
//
// The view is in use (commands answer "Error!The view is being used.") in every state but
// Idle. Idle means: nothing claimed and neither a capture thread nor a print thread runs.
// That last part is what keeps one consumer per pipeline: a print thread that is still
// draining, or that a bounded wait gave up on, keeps the view in use until it has ended,
// so nothing can reload the definition table, swap the line output or start another
// route or replay under it.
//
// A radio arrival while Idle, with a driver route last started, starts that route's
// thread with its stop request up: it prints its start-up and end lines, switches the
// driver's logging on and off, and ends (the view is in use meanwhile, as Draining).
//
// Threads: the claims, the thread start and the stop requests happen on the GUI thread
// (or the command line's main thread); the capture thread reports its own end. One mutex
// orders these; the threads' loops only poll the atomic stop flags.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

#include "pipeline/capture_route.h"
#include "platform/worker_thread.h"

namespace nimbrel {

class CaptureHub;
class FormatterToggles;

class CaptureState {
public:
    enum class Phase { Idle, ComActive, DriverRunning, DriverArmed, Draining, Replaying };

    // The route last started is the view's m_threadId, kept with the formatter's toggles
    // (which tag every line with it); only this class writes it.
    CaptureState(CaptureHub& hub, FormatterToggles& toggles);
    CaptureState(const CaptureState&) = delete;
    CaptureState& operator=(const CaptureState&) = delete;
    // Stops and joins the capture and print threads without a bound: nothing they use may
    // be destroyed while they run.
    ~CaptureState();

    // --- Commands (GUI thread) ---

    // A Debug command: claims the view for `route` when it is Idle; false means the view is
    // in use. On success the route becomes the route last started, its stop request is
    // cleared and, for a Debug command of a driver route, m_deviceOn is cleared.
    bool claimRoute(CaptureRoute route);
    // Starts the claimed route's capture thread. Only after a successful claimRoute, once.
    void startCaptureThread(std::function<void()> body);
    // A radio arrival while the route last started is a driver route: sets m_deviceOn (the
    // thread keeps the raw data file) and starts the route's capture thread again when the
    // route is armed (kept, no thread running). When the view is Idle the thread starts
    // with its stop request raised, so it runs its start-up and end steps and ends. At
    // most one capture thread runs: false when one runs, a replay or text-log load holds
    // the view, or the route last started is not a driver route.
    bool restartArmedRoute(std::function<void()> body);

    // Open Raw Data: claims the view for a replay when it is Idle; false when in use.
    bool claimReplay();
    void endReplay();

    // --- Capture thread ---

    // Stop request for the capture thread (m_writeThreadQuit).
    bool stopRequested() const;
    // The source went away: the writer stops; once it has ended, the print thread frames
    // what is left in the ring and ends by itself.
    void sourceGone();
    // Last step of a capture thread. The COM route gives the view back (Draining while the
    // print thread finishes, then Idle); a driver route keeps it (Driver armed) and asks the
    // print thread to stop.
    void captureThreadEnded();

    // --- Shutdown (WaitForAllThreadExit) ---

    // Raises the capture thread's stop request.
    void requestStop();
    // How many stop requests were raised so far: a capture thread that may be started with
    // its stop request already up (after a radio arrival while idle) tells by this whether
    // a stop came after it started.
    std::uint64_t stopRequests() const { return stopRequests_.load(); }
    // Waits for the capture thread; true when none runs any more.
    bool waitForCaptureThread(std::chrono::milliseconds limit);
    // Raises the print thread's stop request and waits; true when none runs any more. The
    // print thread frames, shows and records everything waiting in the ring before it
    // ends. While the capture thread still runs (it starts the print thread), the print
    // thread is only told to stop.
    bool waitForPrintThread(std::chrono::milliseconds limit);
    // Gives the view back from a capture route (m_viewInUse = 0). The view stays in use
    // while a thread that a wait gave up on still runs, and while a replay or text-log
    // load holds it (endReplay gives it back when its worker has ended).
    void releaseView();

    // --- Queries (any thread) ---

    Phase phase() const;
    // In use: every Debug command, Open Raw Data and File > Open are refused.
    bool viewInUse() const { return phase() != Phase::Idle; }
    // No print thread runs (what a device-gone capture waits for before the view is free).
    bool drainFinished() const;
    // A capture or print thread runs: the definition table and the line output stay as
    // they are.
    bool threadsRunning() const;
    bool captureThreadRunning() const { return m_captureThread.running(); }
    CaptureRoute m_threadId() const;

    // Runs `change` only while no capture or print thread runs; false when refused. The
    // definition reload and the line output swap go through here.
    bool whileNoThreadRuns(const std::function<void()>& change);

    // A radio arrival restarted a driver capture (it keeps the raw data file name).
    bool deviceOn() const { return m_deviceOn.load(); }

private:
    enum class Holder { None, Route, Replay };
    Phase phaseLocked() const;
    bool idleLocked() const;

    CaptureHub& hub_;
    FormatterToggles& toggles_;
    std::atomic<bool> m_deviceOn{false};
    mutable std::mutex mutex_;
    Holder m_viewInUse = Holder::None;  // guarded by mutex_
    WorkerThread m_captureThread;
    std::atomic<std::uint64_t> stopRequests_{0};
};

}  // namespace nimbrel
