// Debug > With Filter Driver from the window end to end: the simulator's driver side on a
// device folder of its own, a radio entry that goes away and comes back, suspend and
// resume, and the close of the window stopping the driver's logging.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSet>
#include <QTest>
#include <cstdlib>

#include "capture/capture_session.h"
#include "gui/window/capture_status.h"
#include "gui/window/command_table.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_view.h"
#include "platform/radio_watcher.h"
#include "power/power_listener.h"
#include "support/running_driver.h"
#include "support/temp_dir.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

class DriverWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ::setenv("NIMBREL_BT_CLASS_DIR", radios.path().c_str(), 1);
        std::string log1;
        ASSERT_TRUE(readFile(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h", log1));
        ASSERT_TRUE(writeFile(programHome() + "/LOG1.h", log1));
    }
    int recordLines() const {
        return static_cast<int>(viewLines().filter(QStringLiteral("[FIL] ")).size());
    }
    bool threadRunning() const { return view().core().capture.captureThreadRunning(); }

    TempDir radios;
};

TEST_F(DriverWindowTest,
       FilterDriverCaptureSurvivesRadioRemovalAndSuspendRestartsAfterResumeAndStopsOnClose) {
    RunningDriver sim({.kind = sim::DriverKind::Filter,
                       .recordsPerSecond = 200,
                       .seed = 7,
                       .radioDir = radios.path(),
                       .radioOffAfterS = 2.5,
                       .radioOnAfterS = 3.5});
    ASSERT_TRUE(waitFor([] { return EnumerateLocalRadios() == 1; }));
    startApp();
    menuAction(QStringLiteral("Debug/With Filter Driver"))->trigger();
    ASSERT_TRUE(waitFor([&] { return recordLines() >= 40; }))
        << viewLines().join(u'\n').toStdString();
    EXPECT_EQ(frame().windowTitle(), QStringLiteral("DebugViaFilterDriver"));
    EXPECT_GE(viewLines().indexOf(QStringLiteral("[G] Enable Filter Log success")), 0);

    // Record lines carry their colours.
    QSet<QRgb> colours;
    for (qint64 i = 0; i < view().lineCount(); ++i) {
        if (!view().lineText(i).contains(QStringLiteral("[FIL] "))) continue;
        for (const auto& run : view().lineRuns(i)) colours.insert(run.colour.rgb());
    }
    EXPECT_GE(colours.size(), 3) << "record lines in fewer than three colours";

    // Another Debug command is refused while the route runs.
    run(MenuCommand::DebugWithUartDriver);
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].text, "Error!The view is being used.");

    // The radio goes: the capture stops, logging is stopped, the route stays armed.
    ASSERT_TRUE(waitFor([&] { return !threadRunning(); }, 8000));
    const int stopLine = sim.waitForLine("set-log stop");
    ASSERT_GE(stopLine, 0);
    EXPECT_TRUE(view().core().capture.viewInUse());
    const int before = recordLines();

    // It comes back: the arrival, posted to the window, starts the capture again.
    ASSERT_TRUE(waitFor([&] { return threadRunning(); }, 8000));
    const int onAgain = sim.waitForLine("set-log on", static_cast<std::size_t>(stopLine));
    ASSERT_GT(onAgain, stopLine);
    ASSERT_TRUE(waitFor([&] { return recordLines() >= before + 40; }));

    // A suspend leaves the capture running; the resume stops it, and after a pause the
    // route starts again.
    auto* power = app->findChild<PowerListener*>();
    ASSERT_NE(power, nullptr);
    const std::size_t requestsBeforeSuspend = sim.lines().size();
    power->onPrepareForSleep(true);
    EXPECT_TRUE(threadRunning());
    EXPECT_TRUE(view().core().capture.viewInUse());
    const int moreAfterSuspend = recordLines();
    ASSERT_TRUE(waitFor([&] { return recordLines() >= moreAfterSuspend + 20; }));
    const std::vector<std::string> requests = sim.lines();
    for (std::size_t i = requestsBeforeSuspend; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].find("set-log"), std::string::npos) << requests[i];
    power->onPrepareForSleep(false);
    EXPECT_FALSE(threadRunning()) << "the restart waits for its pause";
    const int offAtResume = sim.waitForLine("set-log off", static_cast<std::size_t>(onAgain));
    ASSERT_GT(offAtResume, onAgain);
    ASSERT_TRUE(waitFor([&] { return threadRunning(); }, 8000));
    const int onAfterResume = sim.waitForLine("set-log on", static_cast<std::size_t>(offAtResume));
    ASSERT_GT(onAfterResume, offAtResume);
    EXPECT_EQ(view().core().capture.m_threadId(), CaptureRoute::Filter);

    // The close stops the driver's logging, then the view's end sends off and stop.
    stopApp();
    const int stopAtClose =
        sim.waitForLine("set-log stop", static_cast<std::size_t>(onAfterResume));
    ASSERT_GT(stopAtClose, onAfterResume);
    const int off = sim.waitForLine("set-log off", static_cast<std::size_t>(stopAtClose));
    ASSERT_GT(off, stopAtClose);
    EXPECT_GT(sim.waitForLine("set-log stop", static_cast<std::size_t>(off)), off);
}

// A radio arrival after New stopped a driver route runs the route's thread once: its
// start-up and end lines appear and the driver's logging goes on and off, then nothing
// runs. While a replay holds the view, an arrival starts nothing at all.
TEST_F(DriverWindowTest, ArrivalWhileIdleRunsTheStartAndEndStepsOnlyAndNeverUnderAReplay) {
    RunningDriver sim({.kind = sim::DriverKind::Filter,
                       .recordsPerSecond = 200,
                       .seed = 7,
                       .radioDir = radios.path()});
    ASSERT_TRUE(waitFor([] { return EnumerateLocalRadios() == 1; }));
    startApp();
    run(MenuCommand::DebugWithFilterDriver);
    ASSERT_TRUE(waitFor([&] { return recordLines() >= 10; }));
    run(MenuCommand::FileNew);  // stops the route; the route last started stays the filter driver
    ASSERT_FALSE(view().core().capture.viewInUse());
    const std::size_t requestsAfterNew = sim.lines().size();

    view().OnDeviceChange(true);  // as the radio watcher posts it
    // From the thread's first line to its last, then the view is free again.
    ASSERT_TRUE(waitFor([&] {
        const QStringList lines = viewLines();
        return lines.contains("[G] Enable Filter Log success") &&
               lines.contains("[G] Unregister Bluetooth interface notification success") &&
               !view().core().capture.viewInUse();
    }));
    const int on = sim.waitForLine("set-log on", requestsAfterNew);
    ASSERT_GE(on, 0);
    EXPECT_GT(sim.waitForLine("set-log stop", static_cast<std::size_t>(on)), on);
    EXPECT_FALSE(threadRunning());
    QTest::qWait(100);
    EXPECT_EQ(recordLines(), 0);

    ASSERT_TRUE(view().core().capture.claimReplay());
    const std::size_t requestsBeforeReplayArrival = sim.lines().size();
    view().OnDeviceChange(true);
    EXPECT_FALSE(threadRunning());
    QTest::qWait(100);
    EXPECT_EQ(sim.lines().size(), requestsBeforeReplayArrival);
    view().core().capture.endReplay();
}

// Debug > Stop Capture on either driver route: the driver's logging goes off and its
// device is closed, the lines stay, nothing starts again, and the state pane follows.
TEST_F(DriverWindowTest, StopCaptureEndsEitherDriverRouteAndStartsNothing) {
    struct Route {
        sim::DriverKind kind;
        MenuCommand command;
        const char* state;
    };
    const Route routes[] = {
        {sim::DriverKind::Filter, MenuCommand::DebugWithFilterDriver, "Filter driver"},
        {sim::DriverKind::Uart, MenuCommand::DebugWithUartDriver, "UART driver"}};
    for (const Route& route : routes) {
        SCOPED_TRACE(route.state);
        RunningDriver sim(
            {.kind = route.kind, .recordsPerSecond = 200, .seed = 7, .radioDir = radios.path()});
        ASSERT_TRUE(waitFor([] { return EnumerateLocalRadios() == 1; }));
        startApp();
        CaptureStatusPanes& panes = *frame().statusPanes();
        panes.refresh();
        EXPECT_EQ(panes.statePane()->text(), "Idle");
        run(route.command);
        ASSERT_TRUE(waitFor([&] { return recordLines() >= 10; }));
        panes.refresh();
        EXPECT_EQ(panes.statePane()->text(), route.state);
        frame().refreshCommandStates();
        EXPECT_TRUE(menuAction(QStringLiteral("Debug/Stop Capture"))->isEnabled());

        const std::size_t requestsBefore = sim.lines().size();
        menuAction(QStringLiteral("Debug/Stop Capture"))->trigger();
        EXPECT_FALSE(view().core().capture.viewInUse());
        EXPECT_FALSE(threadRunning());
        const int off = sim.waitForLine("set-log off", requestsBefore);
        ASSERT_GE(off, 0);
        EXPECT_GT(sim.waitForLine("set-log stop", static_cast<std::size_t>(off)), off);
        const int kept = recordLines();
        EXPECT_GE(kept, 10);
        QTest::qWait(300);
        EXPECT_EQ(recordLines(), kept);
        EXPECT_EQ(viewLines().filter(QStringLiteral("!!!Important")).size(), 1)
            << "the start-up sequence ran again";
        panes.refresh();
        EXPECT_EQ(panes.statePane()->text(), "Idle");
        frame().refreshCommandStates();
        EXPECT_FALSE(menuAction(QStringLiteral("Debug/Stop Capture"))->isEnabled());
        stopApp();
    }
}

}  // namespace
}  // namespace nimbrel::test
