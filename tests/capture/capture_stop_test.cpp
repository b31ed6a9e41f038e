// The window's ways of ending a capture, at the view core's shutdown call: File > New
// (WaitForAllThreadExit, 2000 ms) and the close request (the driver steps of the close,
// then the view's destruction with 5000 ms). Every record the capture was handed is shown
// and recorded, and the stop takes less than a second.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_capture.h"
#include "capture/com_port.h"
#include "capture/driver_capture.h"
#include "capture/driver_requests.h"
#include "pipeline/memory_log_view.h"
#include "platform/pseudo_terminal.h"
#include "support/collecting_lines.h"
#include "support/fake_driver.h"
#include "support/pty_reader.h"
#include "support/record_builder.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"
#include "support/window_events.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Bytes;
using test::FakeDriver;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";
constexpr std::size_t kRecords = 40;

enum class Ending { NewDocument, CloseRequest };

TEST(CaptureStop, FileNewAndTheCloseRequestShowAndRecordEveryDeliveredRecord) {
    struct Case {
        CaptureRoute route;
        Ending ending;
    };
    const Case cases[] = {
        {CaptureRoute::Com, Ending::NewDocument},    {CaptureRoute::Com, Ending::CloseRequest},
        {CaptureRoute::Filter, Ending::NewDocument}, {CaptureRoute::Filter, Ending::CloseRequest},
        {CaptureRoute::Uart, Ending::NewDocument},   {CaptureRoute::Uart, Ending::CloseRequest},
    };
    const std::vector<Bytes> sent = test::simulatedRecords(19, kRecords);
    const Bytes stream = test::simulatedStream(19, kRecords);
    std::vector<Bytes> chunks;
    for (std::size_t at = 0; at < stream.size(); at += 89)
        chunks.emplace_back(
            stream.begin() + static_cast<std::ptrdiff_t>(at),
            stream.begin() + static_cast<std::ptrdiff_t>(std::min(at + 89, stream.size())));

    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "route " << static_cast<int>(c.route) << ", ending "
                                        << static_cast<int>(c.ending));
        test::TempDir home, radios;
        ::setenv("NIMBREL_BT_CLASS_DIR", radios.path().c_str(), 1);
        test::CollectingLines out;
        MemoryLogView view;
        CaptureSession core(view, home.path());
        core.hub.setAutoSaveRawData(true);
        core.setLineOutput(&out);
        ComCapture com(core, nullptr);
        DriverCapture driver(core, test::WindowEvents::callbacks());
        PseudoTerminal pty;
        std::unique_ptr<FakeDriver> fake;

        if (c.route == CaptureRoute::Com) {
            ASSERT_EQ(pty.open(), 0);
            ASSERT_EQ(pty.holdSlave(), 0);
            ASSERT_EQ(com.start(kDefinitions, pty.slavePath(), 115200),
                      ComCapture::StartResult::Started);
            ASSERT_EQ(::write(pty.masterFd(), stream.data(), stream.size()),
                      static_cast<ssize_t>(stream.size()));
            ASSERT_TRUE(test::waitUntilTaken(pty));
        } else {
            fake = std::make_unique<FakeDriver>(
                FakeDriver::Options{.kind = c.route == CaptureRoute::Uart ? sim::DriverKind::Uart
                                                                          : sim::DriverKind::Filter,
                                    .chunks = chunks,
                                    .last = FakeDriver::Last::OnSetLog,
                                    .radioDir = radios.path()});
            const auto started = c.route == CaptureRoute::Uart
                                     ? driver.OnDebugWithUartDriver(kDefinitions)
                                     : driver.OnDebugWithFilterDriver(kDefinitions);
            ASSERT_EQ(started, DriverCapture::StartResult::Started);
            ASSERT_TRUE(fake->waitUntilDelivered());
        }

        const auto stopped = Clock::now();
        if (c.ending == Ending::NewDocument) {
            WaitForAllThreadExit(core, 2000ms);
        } else {
            driver.prepareWindowClose();
            WaitForAllThreadExit(core, 5000ms);
        }
        EXPECT_LT(Clock::now() - stopped, 1s);
        EXPECT_FALSE(core.capture.threadsRunning());
        EXPECT_EQ(out.size(), kRecords);
        const auto recorded =
            test::recordsOfRawDataFile(test::readFileBytes(core.hub.rawDataFile.name()), sent);
        EXPECT_TRUE(recorded == sent) << recorded.size() << " records in the raw data file";
    }
}

// A driver that never answers a read: File > New, the close request and a radio removal
// each end the pending request by closing the device, within a second.
TEST(CaptureStop, EveryWayOfStoppingEndsAReadTheDriverNeverAnswers) {
    enum class Way { NewDocument, CloseRequest, RadioRemoved };
    for (const CaptureRoute route : {CaptureRoute::Filter, CaptureRoute::Uart}) {
        for (const Way way : {Way::NewDocument, Way::CloseRequest, Way::RadioRemoved}) {
            SCOPED_TRACE(testing::Message() << "route " << static_cast<int>(route) << ", way "
                                            << static_cast<int>(way));
            test::TempDir home, radios;
            ::setenv("NIMBREL_BT_CLASS_DIR", radios.path().c_str(), 1);
            MemoryLogView view;
            CaptureSession core(view, home.path());
            DriverCapture driver(core, test::WindowEvents::callbacks());
            FakeDriver fake({.kind = route == CaptureRoute::Uart ? sim::DriverKind::Uart
                                                                 : sim::DriverKind::Filter,
                             .fault = FakeDriver::Fault::SilentReads,
                             .radioDir = radios.path()});
            ASSERT_EQ(route == CaptureRoute::Uart ? driver.OnDebugWithUartDriver(kDefinitions)
                                                  : driver.OnDebugWithFilterDriver(kDefinitions),
                      DriverCapture::StartResult::Started);
            ASSERT_TRUE(fake.waitForRequest("read"));

            const auto stopped = Clock::now();
            switch (way) {
            case Way::NewDocument: WaitForAllThreadExit(core, 2000ms); break;
            case Way::CloseRequest:
                driver.prepareWindowClose();
                WaitForAllThreadExit(core, 5000ms);
                break;
            case Way::RadioRemoved:
                ASSERT_EQ(::rmdir((radios.path() + "/hci0").c_str()), 0);
                while (core.capture.captureThreadRunning() && Clock::now() - stopped < 5s)
                    std::this_thread::sleep_for(1ms);
                break;
            }
            EXPECT_FALSE(core.capture.captureThreadRunning());
            EXPECT_LT(Clock::now() - stopped, 1s);
            EXPECT_FALSE(driverDevice(route).isOpen());
        }
    }
}

}  // namespace
}  // namespace nimbrel
