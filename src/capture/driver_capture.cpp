#include "capture/driver_capture.h"

#include <cerrno>
#include <thread>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/driver_requests.h"
#include "capture/failure_words.h"
#include "capture/radio_handle.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {
namespace {

// What tells the two driver routes apart.
struct DriverRouteTraits {
    DriverDevice& (*device)();
    std::u16string_view enableSuccess;
    std::u16string_view enableFail;
    const char* noRadioTrace;   // when the radio count is 0 (nullptr: none)
    const char* loopLeftTrace;  // when the loop is left (nullptr: none)
};

const DriverRouteTraits kFilterTraits{filterDriver, u"[G] Enable Filter Log success",
                                      u"[R] Enable Filter Log fail", nullptr, nullptr};
const DriverRouteTraits kUartTraits{uartDriver, u"[G] Enable Uart Log success",
                                    u"[R] Enable Uart Log fail", " EnumerateLocalRadios()==0\n",
                                    "**********jump out while***********\n"};

const DriverRouteTraits& traitsOf(CaptureRoute route) {
    return route == CaptureRoute::Uart ? kUartTraits : kFilterTraits;
}

void printFailure(LogConsole& console, DriverDevice& device, int error, int status) {
    console.print(
        u"[R] %s",
        {utf8ToUtf16(driverFailureText(error, status, controlDevicePath(device.name())))});
}

}  // namespace

DriverDevice& driverDevice(CaptureRoute route) { return traitsOf(route).device(); }

std::u16string_view driverCaption(CaptureRoute route) {
    return route == CaptureRoute::Uart ? u"DebugViaUartDriver" : u"DebugViaFilterDriver";
}

CaptureRoute onSystemResume(CaptureSession& core, const std::function<void()>& whileWaiting) {
    WaitForAllThreadExit(core, std::chrono::milliseconds(2000), whileWaiting);
    switch (core.capture.m_threadId()) {
    case CaptureRoute::Filter: trace("FILTER_THREAD_ID\n"); return CaptureRoute::Filter;
    case CaptureRoute::Uart: trace("UART_THREAD_ID\n"); return CaptureRoute::Uart;
    default: trace("other THREAD_ID\n"); return CaptureRoute::None;
    }
}

DriverCapture::DriverCapture(CaptureSession& core, RadioCallbacks windowNotifications)
    : core_(core), windowNotifications_(std::move(windowNotifications)) {}

DriverCapture::~DriverCapture() {
    if (isDriverRoute(core_.capture.m_threadId()) && core_.capture.captureThreadRunning()) {
        WaitForAllThreadExit(core_, std::chrono::milliseconds(5000));
    }
}

DriverCapture::StartResult DriverCapture::OnDebugWithFilterDriver(
    const std::string& definitionFile) {
    return start(CaptureRoute::Filter, definitionFile);
}

DriverCapture::StartResult DriverCapture::OnDebugWithUartDriver(const std::string& definitionFile) {
    return start(CaptureRoute::Uart, definitionFile);
}

DriverCapture::StartResult DriverCapture::start(CaptureRoute route,
                                                const std::string& definitionFile) {
    // The claim clears the stop request and m_deviceOn and makes this the route last started.
    if (!core_.capture.claimRoute(route)) return StartResult::ViewInUse;
    traitsOf(route).device().resetFaults();
    faultReported_ = false;
    core_.reloadDefinitions(definitionFile);
    // The window's registration: one per process, never withdrawn.
    registerRadioNotification(windowNotifications_);
    if (route == CaptureRoute::Filter) trace("start thread");
    startThread(false);
    return StartResult::Started;
}

void DriverCapture::startThread(bool restart) {
    auto body = [this] {
        if (core_.capture.m_threadId() == CaptureRoute::Uart) {
            UartCaptureThread();
        } else {
            FilterCaptureThread();
        }
        core_.capture.captureThreadEnded();
    };
    threadStops_ = core_.capture.stopRequests();
    if (restart) {
        if (!core_.capture.restartArmedRoute(body)) return;
    } else {
        core_.capture.startCaptureThread(body);
    }
    threadsStarted_.fetch_add(1);
}

std::chrono::milliseconds DriverCapture::onDeviceArrival() {
    trace("==========> Bluetooth Device On!\n");
    switch (core_.capture.m_threadId()) {
    case CaptureRoute::Filter: trace("FILTER_THREAD_ID\n"); return std::chrono::milliseconds(0);
    case CaptureRoute::Uart: trace("UART_THREAD_ID\n"); return kUartArrivalPause;
    default: trace("other THREAD_ID\n"); return std::chrono::milliseconds(-1);
    }
}

bool DriverCapture::restartAfterArrival() {
    const int before = threadsStarted_.load();
    startThread(true);
    return threadsStarted_.load() != before;
}

void DriverCapture::onDeviceRemovalComplete() { trace("==========> Bluetooth Device Off!\n"); }

void DriverCapture::prepareWindowClose() {
    // Bounded: a driver that does not answer the stop form has its device closed after
    // kDriverStopWait, which also ends a read the capture thread waits for.
    core_.radio.CloseRadioHandle();
    DisableFilterLog();
}

bool DriverCapture::captureLog(CaptureRoute route) {
    const DriverRouteTraits& traits = traitsOf(route);
    DriverDevice& device = traits.device();
    CaptureState& state = core_.capture;
    // Whether a stop came after this thread started (a thread started after a radio
    // arrival while idle runs with its stop request up from the start, and still goes
    // through its start-up and end steps).
    auto stoppedSinceStart = [&] { return state.stopRequests() != threadStops_.load(); };
    // The stop is looked at after the device is open, and logging is switched on without
    // opening it again: a stop that closes the device in between ends the request instead
    // of leaving it to a driver that may never answer.
    const bool opened = device.open();
    if (opened && stoppedSinceStart()) {
        device.close();
        return false;
    }
    if (!opened || !device.setLog(1)) {
        enableFailed_ = true;
        const SetLogFailure why = device.lastSetLogFailure();
        // A request the stop itself ended by closing the device is no failure to report.
        if (stoppedSinceStart() && (why.error == ECANCELED || why.error == EBADF)) return false;
        core_.console.print(traits.enableFail, {});
        printFailure(core_.console, device, why.error, why.status);
        return false;
    }
    enableFailed_ = false;
    core_.console.print(traits.enableSuccess, {});

    CaptureHub& hub = core_.hub;
    hub.allocateRing();
    // A thread restarted by a radio arrival continues the raw data file (and the counts).
    if (!state.deviceOn()) {
        hub.counters.reset();
        hub.rawDataFile.setName(RawDataFile::driverRouteName(core_.programFolder, localTimeNow()));
    }
    if (hub.autoSaveRawData()) hub.rawDataFile.prepare(core_.console);
    hub.startPrintThreadIfIdle(core_.emitter);

    ReadLogReply reply;
    while (!state.stopRequested()) {
        if (EnumerateLocalRadios() == 0) {
            if (traits.noRadioTrace) trace("%s", traits.noRadioTrace);
            break;
        }
        const ReadLogResult r = device.readLog(reply);
        if (isBridgeProtocolFault(r.error) && !faultReported_.exchange(true)) {
            printFailure(core_.console, device, r.error, 0);
        }
        if (!r.counted && !state.stopRequested()) std::this_thread::sleep_for(kFailedReadPause);
        if (r.dataSize == 0) continue;
        // A reply read before the device closed is kept, also when the stop request is up
        // by now: it holds the last records before the stop.
        const auto n = static_cast<std::uint32_t>(r.dataSize);
        // Between requests the driver holds the data: wait for room rather than overrun.
        hub.waitForRoom(n);
        hub.ring.append(reply.data() + kReadLogHeaderSize, n);
    }
    device.disableLog();
    if (traits.loopLeftTrace) trace("%s", traits.loopLeftTrace);
    return true;
}

void DriverCapture::FilterCaptureThread() {
    if (core_.radio.RegisterRadioInterfaceNotification() == 0) {
        core_.console.print(u"[G] Register Bluetooth interface notification success", {});
    } else {
        core_.console.print(u"[R] Register Bluetooth interface notification fail", {});
    }
    const std::uint32_t handle = core_.radio.OpenRadioInterface();
    core_.console.print(u"[G] notification handle: 0x%x", {handle});
    if (handle != kInvalidRadioHandle) {
        if (core_.radio.RegisterRadioHandleNotification() == 0) {
            core_.console.print(u"[G] Register Bluetooth device notification success", {});
        } else {
            core_.console.print(u"[G] Register Bluetooth device notification fail", {});
        }
    }

    captureLog(CaptureRoute::Filter);
    core_.radio.CloseRadioHandle();

    if (core_.radio.UnregisterRadioHandleNotification()) {
        core_.console.print(u"[G] Unregister Bluetooth device notification success", {});
    }
    if (core_.radio.UnregisterRadioInterfaceNotification()) {
        core_.console.print(u"[G] Unregister Bluetooth interface notification success", {});
    }
}

void DriverCapture::UartCaptureThread() {
    // This route has no radio notifications of its own and notices a removal through the
    // radio count before each read. A read the driver keeps waiting when the radio goes is
    // ended by stopping the driver's logging, which closes the device.
    const int removal = subscribeRadioChanges({{}, [](const std::string&) {
                                                   if (EnumerateLocalRadios() == 0)
                                                       DisableUartLog();
                                               }});
    captureLog(CaptureRoute::Uart);
    if (removal != 0) unsubscribeRadioChanges(removal);
}

}  // namespace nimbrel
