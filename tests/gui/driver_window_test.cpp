// Debug > With Filter Driver from the window end to end: the simulator's driver side on a
// device folder of its own, a radio entry that goes away and comes back, suspend and
// resume, and the close of the window stopping the driver's logging.
#include <gtest/gtest.h>

#include <QSet>
#include <QTest>
#include <cstdlib>

#include "app/power_listener.h"
#include "capture/view_core.h"
#include "gui/command_table.h"
#include "gui/main_frame.h"
#include "gui/nimbrel_view.h"
#include "platform/radio_watcher.h"
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
    int recordLines() const { return viewLines().filter(QStringLiteral("[FIL] ")).size(); }
    bool threadRunning() const { return view().core().capture.captureThreadRunning(); }

    TempDir radios;
};

TEST_F(DriverWindowTest, FilterDriverCaptureSurvivesRadioRemovalAndSuspendAndStopsOnClose) {
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
    run(cmd::DebugWithUartDriver);
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

    // Suspend stops the capture; after the resume the route starts again, on a timer.
    auto* power = app->findChild<PowerListener*>();
    ASSERT_NE(power, nullptr);
    power->onPrepareForSleep(true);
    EXPECT_FALSE(view().core().capture.viewInUse());
    const int offAtSuspend = sim.waitForLine("set-log off", static_cast<std::size_t>(onAgain));
    ASSERT_GT(offAtSuspend, onAgain);
    power->onPrepareForSleep(false);
    EXPECT_FALSE(threadRunning()) << "the restart waits for its pause";
    ASSERT_TRUE(waitFor([&] { return threadRunning(); }, 8000));
    const int onAfterResume = sim.waitForLine("set-log on", static_cast<std::size_t>(offAtSuspend));
    ASSERT_GT(onAfterResume, offAtSuspend);
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

}  // namespace
}  // namespace nimbrel::test
