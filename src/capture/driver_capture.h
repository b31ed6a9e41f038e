// The filter-driver and UART-driver routes: the Debug commands, their capture threads,
// and what a radio arrival or removal does to them.
//
// A driver route, once started, stays armed until WaitForAllThreadExit: its capture thread
// ends when the radio goes away (or when the driver's logging cannot be enabled), and a
// radio arrival starts a new thread that keeps the raw data file (the UART route after a
// 3000 ms pause, which the caller times without blocking its thread). At most one capture
// thread runs: an arrival while one runs starts nothing.
//
// A request waits for the driver without a time-out; every way of stopping (the shutdown,
// the close request, a radio removal) ends it by closing the device, within
// kDriverStopWait of asking the driver to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "pipeline/capture_route.h"
#include "platform/radio_watcher.h"

namespace nimbrel {

class DriverDevice;
class CaptureSession;

// The device of a driver route.
DriverDevice& driverDevice(CaptureRoute route);

// The main window's caption while the route is in use.
std::u16string_view driverCaption(CaptureRoute route);

// The system resumed: every capture stopped (WaitForAllThreadExit, 2000 ms), then the
// route whose Debug command is to run again after kResumeRestartPause (a driver route; it
// starts with a new raw data file), or CaptureRoute::None (a COM route stays stopped).
// `whileWaiting` runs during the waits as WaitForAllThreadExit's does.
CaptureRoute onSystemResume(CaptureSession& core, const std::function<void()>& whileWaiting = {});
inline constexpr std::chrono::milliseconds kResumeRestartPause{3000};

class DriverCapture {
public:
    // `windowNotifications` are the radio arrival and removal-complete notifications the
    // view wants (the GUI posts them to OnDeviceChange on its thread); they are
    // registered once per process, by the first Debug command of a driver route, and are
    // called on the watcher's thread for the rest of the process: what they reach must
    // live as long (post to the GUI thread through an object that lives as long).
    DriverCapture(CaptureSession& core, RadioCallbacks windowNotifications);
    // Stops a capture thread of a driver route that still runs: it uses this object.
    ~DriverCapture();
    DriverCapture(const DriverCapture&) = delete;
    DriverCapture& operator=(const DriverCapture&) = delete;

    enum class StartResult { Started, ViewInUse };
    // With Filter Driver / With Uart Driver without their caption: refused while the view
    // is in use (the caller shows "Error!The view is being used."); else reloads the
    // definition file, registers for radio notifications and starts the capture thread.
    StartResult OnDebugWithFilterDriver(const std::string& definitionFile);
    StartResult OnDebugWithUartDriver(const std::string& definitionFile);

    // OnDeviceChange, arrival: traces; returns how long to wait before calling
    // restartAfterArrival (0: at once), or a negative value when nothing is to restart.
    std::chrono::milliseconds onDeviceArrival();
    // Starts the kept route's capture thread again, keeping the raw data file. False when
    // no driver route is kept or a capture thread runs.
    bool restartAfterArrival();
    // OnDeviceChange, removal complete: a trace; the running thread notices by itself.
    void onDeviceRemovalComplete();
    // The main window's close request, before it asks to save: the radio handle closed and
    // the filter driver's logging stopped (its device closed).
    void prepareWindowClose();

    // The last capture thread could not enable the driver's logging.
    bool enableFailed() const { return enableFailed_.load(); }
    // Capture threads started since construction.
    int threadsStarted() const { return threadsStarted_.load(); }

    static constexpr std::chrono::milliseconds kUartArrivalPause{3000};
    static constexpr std::chrono::milliseconds kFailedReadPause{100};

private:
    StartResult start(CaptureRoute route, const std::string& definitionFile);
    void startThread(bool restart);
    void FilterCaptureThread();
    void UartCaptureThread();
    // The steps both routes share: enable logging, prepare the ring, the raw data file
    // and the print thread, then read until the radio goes or a stop request comes. False
    // when logging could not be enabled.
    bool captureLog(CaptureRoute route);

    CaptureSession& core_;
    RadioCallbacks windowNotifications_;
    std::atomic<bool> enableFailed_{false};
    // The first read that failed on a fault of the device bridge's protocol was reported.
    std::atomic<bool> faultReported_{false};
    // Stop requests raised before the running capture thread started.
    std::atomic<std::uint64_t> threadStops_{0};
    std::atomic<int> threadsStarted_{0};
};

}  // namespace nimbrel
