// The filter-driver and UART-driver routes end to end against the simulator's driver side.
#include "capture/driver_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_capture.h"
#include "capture/com_port.h"
#include "capture/driver_requests.h"
#include "capture/radio_handle.h"
#include "pipeline/line_output.h"
#include "pipeline/memory_log_view.h"
#include "platform/pseudo_terminal.h"
#include "platform/trace.h"
#include "support/collecting_lines.h"
#include "support/record_builder.h"
#include "support/running_driver.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/window_events.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using sim::DriverKind;
using test::Bytes;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

constexpr test::WaitUntil waitUntil{20s};

using Lines = test::CollectingLines;

using test::WindowEvents;

struct Traces {
    std::mutex mutex;
    std::string text;
    Traces() {
        setTraceSink([this](std::string_view t) {
            std::lock_guard lock(mutex);
            text += t;
        });
    }
    ~Traces() { setTraceSink(nullptr); }
    std::string get() {
        std::lock_guard lock(mutex);
        return text;
    }
};

// A view with its driver routes, radios in a folder of its own.
struct Rig {
    test::TempDir dir;
    test::TempDir radios;
    MemoryLogView view;
    CaptureSession core{view, dir.path()};
    DriverCapture driver{core, WindowEvents::callbacks()};
    Lines out;

    Rig() {
        ::setenv("NIMBREL_BT_CLASS_DIR", radios.path().c_str(), 1);
        WindowEvents::get().take();
        core.setLineOutput(&out);
    }
    ~Rig() { WaitForAllThreadExit(core, 5000ms); }
    std::u16string text() const { return view.plainText(); }
    bool shows(std::u16string_view s) const { return text().find(s) != std::u16string::npos; }
    DriverCapture::StartResult start(CaptureRoute route) {
        return route == CaptureRoute::Uart ? driver.OnDebugWithUartDriver(kDefinitions)
                                           : driver.OnDebugWithFilterDriver(kDefinitions);
    }
};

DriverKind kindOf(CaptureRoute route) {
    return route == CaptureRoute::Uart ? DriverKind::Uart : DriverKind::Filter;
}

TEST(DriverCapture, BothRoutesDeliverEveryRecordOnceThroughRandomReplySizes) {
    constexpr std::uint64_t kRecords = 60000;
    const std::vector<Bytes> sent = test::simulatedRecords(31, kRecords);
    for (const CaptureRoute route : {CaptureRoute::Filter, CaptureRoute::Uart}) {
        SCOPED_TRACE(static_cast<int>(route));
        Rig r;
        test::RunningDriver sim({.kind = kindOf(route),
                                 .recordsPerSecond = 0,
                                 .recordLimit = kRecords,
                                 .seed = 31,
                                 .randomReplySizes = true,
                                 .radioDir = r.radios.path()});
        ASSERT_TRUE(waitUntil([&] { return EnumerateLocalRadios() == 1; }));
        r.core.hub.setAutoSaveRawData(true);
        ASSERT_EQ(r.start(route), DriverCapture::StartResult::Started);
        EXPECT_EQ(r.core.capture.m_threadId(), route);
        ASSERT_TRUE(
            waitUntil([&] { return r.core.hub.counters.recordsFramed() >= kRecords; }, 120s));
        WaitForAllThreadExit(r.core, 5000ms);

        EXPECT_EQ(r.core.hub.counters.recordsFramed(), kRecords);
        EXPECT_EQ(r.core.hub.counters.noiseBytes(), 0u);
        EXPECT_EQ(r.core.hub.counters.overrunBytes(), 0u);
        ASSERT_EQ(r.out.size(), kRecords);
        EXPECT_NE(r.out.lines.front().find(u"[FIL] "), std::u16string::npos);
        const std::string rawName = r.core.hub.rawDataFile.name();
        EXPECT_EQ(rawName.find("_", rawName.rfind("RawData_") + 17), std::string::npos)
            << "no port in the name";
        const auto recorded = test::recordsOfRawDataFile(test::readFileBytes(rawName), sent);
        EXPECT_EQ(recorded.size(), kRecords);
        EXPECT_TRUE(recorded == sent);
        EXPECT_FALSE(filterDriver().isOpen());
        EXPECT_FALSE(uartDriver().isOpen());
        EXPECT_FALSE(r.core.capture.viewInUse());
    }
}

TEST(DriverCapture, NoDriverKeepsTheRouteArmedAndRefusingOtherCommands) {
    Traces traces;
    for (const CaptureRoute route : {CaptureRoute::Filter, CaptureRoute::Uart}) {
        Rig r;
        ::setenv("NIMBREL_DEVICE_DIR", r.dir.file("no-devices").c_str(), 1);
        ASSERT_EQ(r.start(route), DriverCapture::StartResult::Started);
        ASSERT_TRUE(waitUntil([&] { return !r.core.capture.captureThreadRunning(); }));
        EXPECT_TRUE(r.driver.enableFailed());
        EXPECT_TRUE(r.shows(route == CaptureRoute::Uart ? u"[R] Enable Uart Log fail\n"
                                                        : u"[R] Enable Filter Log fail\n"));
        EXPECT_EQ(r.core.capture.phase(), CaptureState::Phase::DriverArmed);
        EXPECT_EQ(r.driver.OnDebugWithFilterDriver(kDefinitions),
                  DriverCapture::StartResult::ViewInUse);
        EXPECT_EQ(r.driver.OnDebugWithUartDriver(kDefinitions),
                  DriverCapture::StartResult::ViewInUse);
        ComCapture com(r.core, nullptr);
        EXPECT_EQ(com.start(kDefinitions, "/dev/null", 115200), ComCapture::StartResult::ViewInUse);
        WaitForAllThreadExit(r.core, 2000ms);
        EXPECT_FALSE(r.core.capture.viewInUse());
        EXPECT_EQ(r.core.capture.m_threadId(), route);  // kept after the stop
    }
    const std::string t = traces.get();
    EXPECT_NE(t.find("start thread"), std::string::npos);
    // A thread that could not enable logging never entered its loop.
    EXPECT_EQ(t.find("**********jump out while***********\n"), std::string::npos);
}

TEST(DriverCapture, FilterRouteWithoutARadioEnablesLoggingAndEndsAtTheFirstPass) {
    Rig r;
    test::RunningDriver sim(
        {.kind = DriverKind::Filter, .recordsPerSecond = 100});  // no radio entry
    ASSERT_EQ(r.start(CaptureRoute::Filter), DriverCapture::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return !r.core.capture.captureThreadRunning(); }));
    EXPECT_EQ(r.core.capture.phase(), CaptureState::Phase::DriverArmed);
    const std::u16string want =
        u"[G] Register Bluetooth interface notification success\n"
        u"[G] notification handle: 0xffffffff\n"
        u"[G] Enable Filter Log success\n";
    EXPECT_NE(r.text().find(want), std::u16string::npos)
        << std::string(r.text().begin(), r.text().end());
    EXPECT_TRUE(r.shows(u"[G] Unregister Bluetooth interface notification success\n"));
    EXPECT_FALSE(r.shows(u"Register Bluetooth device notification"));  // no handle, no registration
    EXPECT_GE(sim.waitForLine("set-log stop"), 0);
    EXPECT_FALSE(filterDriver().isOpen());
}

TEST(DriverCapture, RadioRemovalEndsTheThreadAndItsArrivalContinuesTheSameRawDataFile) {
    Traces traces;
    for (const CaptureRoute route : {CaptureRoute::Filter, CaptureRoute::Uart}) {
        SCOPED_TRACE(static_cast<int>(route));
        Rig r;
        r.core.hub.setAutoSaveRawData(true);
        test::RunningDriver sim({.kind = kindOf(route),
                                 .recordsPerSecond = 2000,
                                 .seed = 4,
                                 .radioDir = r.radios.path(),
                                 // Room for a slow start on a loaded machine: the
                                 // capture must frame 200 records before the radio goes.
                                 .radioOffAfterS = 1.5,
                                 .radioOnAfterS = 2.1});
        ASSERT_TRUE(waitUntil([&] { return EnumerateLocalRadios() == 1; }));
        ASSERT_EQ(r.start(route), DriverCapture::StartResult::Started);
        ASSERT_TRUE(waitUntil([&] { return r.core.hub.counters.recordsFramed() > 200; }));
        if (route == CaptureRoute::Filter) {
            EXPECT_TRUE(r.shows(u"[G] notification handle: 0x0\n"));
            EXPECT_TRUE(r.shows(u"[G] Register Bluetooth device notification success\n"));
        }
        const std::string rawName = r.core.hub.rawDataFile.name();

        // The radio goes: logging stopped, device closed, the thread ends, the route stays.
        ASSERT_TRUE(waitUntil([&] {
            return WindowEvents::get().take() == std::vector<std::string>{"removal hci0"};
        }));
        r.driver.onDeviceRemovalComplete();
        ASSERT_TRUE(waitUntil([&] { return !r.core.capture.captureThreadRunning(); }));
        EXPECT_EQ(r.core.capture.phase() == CaptureState::Phase::DriverArmed ||
                      r.core.capture.phase() == CaptureState::Phase::Draining,
                  true);
        EXPECT_TRUE(r.core.capture.viewInUse());
        EXPECT_FALSE(r.core.radio.valid());
        const int stopLine = sim.waitForLine("set-log stop");
        EXPECT_GE(stopLine, 0);
        EXPECT_FALSE(route == CaptureRoute::Filter ? filterDriver().isOpen()
                                                   : uartDriver().isOpen());
        if (route == CaptureRoute::Filter) {
            EXPECT_TRUE(r.shows(u"[G] Unregister Bluetooth device notification success\n"));
        }
        const std::uint64_t before = r.core.hub.counters.recordsFramed();

        // It comes back: the route's thread starts again (the UART route asks for a pause
        // first) and writes on into the same raw data file.
        ASSERT_TRUE(waitUntil([&] {
            return WindowEvents::get().take() == std::vector<std::string>{"arrival hci0"};
        }));
        const auto pause = r.driver.onDeviceArrival();
        EXPECT_EQ(pause, route == CaptureRoute::Uart ? 3000ms : 0ms);
        ASSERT_TRUE(r.driver.restartAfterArrival());
        EXPECT_FALSE(r.driver.restartAfterArrival())
            << "a second arrival while a thread runs starts nothing";
        EXPECT_TRUE(r.core.capture.deviceOn());
        ASSERT_GE(sim.waitForLine("set-log on", static_cast<std::size_t>(stopLine)), 0);
        ASSERT_TRUE(waitUntil([&] { return r.core.hub.counters.recordsFramed() > before + 200; }));
        EXPECT_EQ(r.core.hub.rawDataFile.name(), rawName);
        EXPECT_EQ(r.driver.threadsStarted(), 2);
        WaitForAllThreadExit(r.core, 5000ms);
        EXPECT_EQ(r.core.hub.counters.noiseBytes(), 0u);
        EXPECT_EQ(r.core.hub.counters.overrunBytes(), 0u);
    }
    const std::string t = traces.get();
    for (const char* line :
         {"==========> Bluetooth Device Off!\n", "==========> Bluetooth Device On!\n",
          "FILTER_THREAD_ID\n", "UART_THREAD_ID\n", " EnumerateLocalRadios()==0\n"}) {
        EXPECT_NE(t.find(line), std::string::npos) << line;
    }
}

TEST(DriverCapture, ShutdownAndCloseRequestSendOffThenStop) {
    Rig r;
    test::RunningDriver sim(
        {.kind = DriverKind::Filter, .recordsPerSecond = 500, .radioDir = r.radios.path()});
    ASSERT_TRUE(waitUntil([&] { return EnumerateLocalRadios() == 1; }));
    ASSERT_EQ(r.start(CaptureRoute::Filter), DriverCapture::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return r.core.hub.counters.recordsFramed() > 20; }));

    // The close request: logging stopped and the device closed before the question; the
    // thread keeps pausing in 100 ms steps without requests.
    r.driver.prepareWindowClose();
    EXPECT_FALSE(filterDriver().isOpen());
    EXPECT_FALSE(r.core.radio.valid());
    const int stop = sim.waitForLine("set-log stop");
    ASSERT_GE(stop, 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(r.core.capture.captureThreadRunning());
    EXPECT_EQ(sim.lines().size(), static_cast<std::size_t>(stop) + 2)
        << "only the close follows the stop";

    // The view goes: the device is opened again for the off form and the stop form.
    Traces traces;
    const auto before = std::chrono::steady_clock::now();
    WaitForAllThreadExit(r.core, 5000ms);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(r.core.capture.threadsRunning());
    const int off = sim.waitForLine("set-log off", static_cast<std::size_t>(stop));
    ASSERT_GT(off, stop);
    EXPECT_GT(sim.waitForLine("set-log stop", static_cast<std::size_t>(off)), off);
    EXPECT_EQ(traces.get().rfind("WaitForAllThreadExit+++++\n", 0), 0u);
}

TEST(DriverCapture, ResumeRestartsADriverRouteWithANewRawDataFileAndLeavesComStopped) {
    Traces traces;
    Rig r;
    r.core.hub.setAutoSaveRawData(true);
    test::RunningDriver sim(
        {.kind = DriverKind::Filter, .recordsPerSecond = 500, .radioDir = r.radios.path()});
    ASSERT_TRUE(waitUntil([&] { return EnumerateLocalRadios() == 1; }));
    ASSERT_EQ(r.start(CaptureRoute::Filter), DriverCapture::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return r.core.hub.counters.recordsFramed() > 10; }));
    const std::string before = r.core.hub.rawDataFile.name();

    EXPECT_EQ(onSystemResume(r.core), CaptureRoute::Filter);
    EXPECT_FALSE(r.core.capture.viewInUse());
    EXPECT_FALSE(r.core.capture.threadsRunning());
    std::this_thread::sleep_for(1100ms);  // raw data file names change by the second
    ASSERT_EQ(r.start(CaptureRoute::Filter), DriverCapture::StartResult::Started);
    EXPECT_FALSE(r.core.capture.deviceOn());
    EXPECT_TRUE(waitUntil([&] { return r.core.hub.rawDataFile.name() != before; }));

    // A COM route: the port is closed and nothing is to restart.
    WaitForAllThreadExit(r.core, 5000ms);
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    ComCapture com(r.core, nullptr);
    ASSERT_EQ(com.start(kDefinitions, pty.slavePath(), 115200), ComCapture::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return comPort().isOpen(); }));
    EXPECT_EQ(onSystemResume(r.core), CaptureRoute::None);
    EXPECT_FALSE(comPort().isOpen());
    EXPECT_FALSE(r.core.capture.viewInUse());
    const std::string t = traces.get();
    EXPECT_NE(t.find("FILTER_THREAD_ID\n"), std::string::npos);
    EXPECT_NE(t.find("other THREAD_ID\n"), std::string::npos);
}

TEST(DriverCapture, AnArrivalWithNoRouteKeptStartsNothing) {
    Traces traces;
    Rig r;
    EXPECT_LT(r.driver.onDeviceArrival().count(), 0);
    EXPECT_NE(traces.get().find("other THREAD_ID\n"), std::string::npos);
    EXPECT_FALSE(r.driver.restartAfterArrival());
    EXPECT_EQ(r.driver.threadsStarted(), 0);
}

// A removal closing the driver device while the capture's read waits for data.
TEST(DriverCapture, RemovalClosingTheDeviceEndsAPendingReadEveryTime) {
    test::RunningDriver sim({.kind = DriverKind::Filter, .recordsPerSecond = 0, .recordLimit = 1});
    DriverDevice& device = filterDriver();
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(device.enableLog(1));
        std::atomic<int> reads{0};
        std::thread capture([&] {
            ReadLogReply reply;
            while (device.isOpen()) {
                device.readLog(reply);
                ++reads;
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
        if (i % 2 == 0) {
            DisableFilterLog();  // the removal callback's way: stop form, then close
        } else {
            device.control().close();  // the device taken away under the read
        }
        capture.join();
        EXPECT_FALSE(device.isOpen());
    }
}

}  // namespace
}  // namespace nimbrel
