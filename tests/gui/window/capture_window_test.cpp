// A capture from the window end to end: the simulated controller on a pseudo-terminal,
// Debug > With Com, coloured record lines in the view, the far side going away, New
// stopping a running capture, and the console's reasons when a capture cannot start.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolBar>
#include <cstdlib>

#include "capture/capture_session.h"
#include "gui/window/capture_status.h"
#include "gui/window/command_table.h"
#include "gui/window/demo_controller.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_view.h"
#include "pipeline/settings_store.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

class CaptureWindowTest : public WindowTest {
protected:
    void copyDefinitions() {
        std::string log1;
        ASSERT_TRUE(readFile(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h", log1));
        ASSERT_TRUE(writeFile(programHome() + "/LOG1.h", log1));
    }
    void useSimulator(DemoController& sim) {
        ASSERT_EQ(sim.start(400), 0);
        SettingsStore().SetComPort(sim.portPath().toStdU16String());
    }
    int recordLines() const {
        return static_cast<int>(viewLines().filter(QStringLiteral("[COM]")).size());
    }
    bool capturing() const { return view().core().capture.viewInUse(); }
};

TEST_F(CaptureWindowTest, WithComShowsColouredRecordsUntilTheFarSideCloses) {
    copyDefinitions();
    auto sim = std::make_unique<DemoController>();
    useSimulator(*sim);
    startApp();
    run(MenuCommand::AutoParseLog);
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return recordLines() >= 40; }))
        << viewLines().join(u'\n').toStdString();
    EXPECT_EQ(frame().windowTitle(), QStringLiteral("DebugVia") + sim->portPath());

    // Record lines carry their colours; decoded HCI lines follow with Auto Parse Log on.
    QSet<QRgb> colours;
    for (qint64 i = 0; i < view().lineCount(); ++i) {
        if (!view().lineText(i).contains(QStringLiteral("[COM]"))) continue;
        for (const auto& run : view().lineRuns(i)) colours.insert(run.colour.rgb());
    }
    EXPECT_GE(colours.size(), 3) << "record lines in fewer than three colours";
    EXPECT_TRUE(colours.contains(QColor(0, 255, 0).rgb()));

    // Auto Generate Raw Data during a COM capture names the raw data file, on and off.
    run(MenuCommand::AutoGenerateRawData);
    run(MenuCommand::AutoGenerateRawData);
    ASSERT_TRUE(waitFor(
        [&] { return viewLines().filter(QStringLiteral("[G] Write Log to File(")).size() == 2; }));

    // A second With Com while capturing is refused.
    run(MenuCommand::DebugWithCom);
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].text, "Error!The view is being used.");

    // The far side goes away: the capture ends by itself and With Com works again.
    sim->stop();
    ASSERT_TRUE(
        waitFor([&] { return !capturing() && !view().core().capture.captureThreadRunning(); }));
    sim = std::make_unique<DemoController>();
    useSimulator(*sim);
    const int before = recordLines();
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return recordLines() >= before + 20; }));
    EXPECT_EQ(boxes->boxes().size(), 1u);
}

TEST_F(CaptureWindowTest, NewStopsARunningCapture) {
    copyDefinitions();
    DemoController sim;
    useSimulator(sim);
    startApp();
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return capturing() && recordLines() > 0; }));
    run(MenuCommand::FileNew);
    EXPECT_FALSE(capturing());
    EXPECT_FALSE(view().core().capture.captureThreadRunning());
    EXPECT_EQ(frame().windowTitle(), "Untitled - Nimbrel");
    // The view starts again with the start-up lines only.
    QTest::qWait(100);
    EXPECT_EQ(recordLines(), 0);
    EXPECT_TRUE(viewLines().contains("[Y] !!!Important, please check log1.h!!!"));
}

// The console says why a Debug command's capture could not start, in the words of the
// command line: a missing serial port, a missing driver.
TEST_F(CaptureWindowTest, ACaptureThatCannotStartSaysWhyInTheConsole) {
    copyDefinitions();
    ::setenv("NIMBREL_DEVICE_DIR", (programHome() + "/no-devices").c_str(), 1);
    SettingsStore().SetComPort(u"ttyNOPE9");
    startApp();
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] {
        return viewLines().contains("[R] Step 1, Fail to open ttyNOPE9: GetLastError=0x2");
    }));
    const QStringList lines = viewLines();
    const qsizetype step = lines.indexOf("[R] Step 1, Fail to open ttyNOPE9: GetLastError=0x2");
    EXPECT_EQ(lines.value(step + 1),
              "[R] Cannot open /dev/ttyNOPE9: No such file or directory (is the adapter plugged "
              "in?)");

    run(MenuCommand::FileNew);
    run(MenuCommand::DebugWithFilterDriver);
    ASSERT_TRUE(waitFor([&] { return viewLines().contains("[R] Enable Filter Log fail"); }));
    const QStringList after = viewLines();
    EXPECT_TRUE(after.value(after.indexOf("[R] Enable Filter Log fail") + 1)
                    .startsWith("[R] No driver serves " + QString::fromStdString(programHome()) +
                                "/no-devices/BtFilter: No such file or directory"))
        << after.join(u'\n').toStdString();
    ::unsetenv("NIMBREL_DEVICE_DIR");
}

// Debug > Stop Capture (and its toolbar button) ends the COM route as New does, but
// keeps the text and starts nothing; the status bar says what the window does meanwhile.
TEST_F(CaptureWindowTest, StopCaptureKeepsTheTextAndTheStatusBarFollowsTheCapture) {
    copyDefinitions();
    DemoController sim;
    useSimulator(sim);
    startApp();
    CaptureStatusPanes& panes = *frame().statusPanes();
    panes.refresh();
    EXPECT_EQ(panes.statePane()->text(), "Idle");
    EXPECT_FALSE(panes.rawDataPane()->isVisible());

    run(MenuCommand::AutoGenerateRawData);
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return capturing() && recordLines() > 20; }));
    panes.refresh();
    EXPECT_EQ(panes.statePane()->text(), QStringLiteral("COM ") + sim.portPath());
    run(MenuCommand::Pause);
    panes.refresh();
    EXPECT_EQ(panes.statePane()->text(), QStringLiteral("COM ") + sim.portPath() + " - Paused");
    run(MenuCommand::Pause);
    // The counters: records per second over the last interval, lines, the raw data file.
    QTest::qWait(600);
    panes.refresh();
    EXPECT_NE(panes.ratePane()->text(), "0 records/s");
    EXPECT_TRUE(panes.ratePane()->text().endsWith(" records/s"));
    EXPECT_TRUE(panes.linesPane()->text().endsWith(" lines"));
    EXPECT_TRUE(panes.noisePane()->text().endsWith(" noise bytes"));
    EXPECT_TRUE(panes.rawDataPane()->isVisible());
    EXPECT_TRUE(panes.rawDataPane()->text().startsWith("Raw data "));

    // The toolbar button is the command.
    QAction* stop = nullptr;
    for (QAction* a : frame().toolBar()->actions()) {
        if (a->data().toInt() == commandNumber(MenuCommand::StopCapture)) stop = a;
    }
    ASSERT_NE(stop, nullptr);
    frame().refreshCommandStates();
    ASSERT_TRUE(stop->isEnabled());
    stop->trigger();
    EXPECT_FALSE(capturing());
    EXPECT_FALSE(view().core().capture.captureThreadRunning());
    const int kept = recordLines();
    EXPECT_GT(kept, 20);
    QTest::qWait(300);
    EXPECT_EQ(recordLines(), kept);
    EXPECT_EQ(viewLines().filter(QStringLiteral("!!!Important")).size(), 1);
    EXPECT_EQ(frame().windowTitle(), QStringLiteral("DebugVia") + sim.portPath());
    panes.refresh();
    EXPECT_EQ(panes.statePane()->text(), "Idle");
    EXPECT_EQ(panes.ratePane()->text(), "0 records/s");
    EXPECT_FALSE(panes.rawDataPane()->isVisible());
    frame().refreshCommandStates();
    EXPECT_FALSE(stop->isEnabled());

    // The route can be started again.
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return recordLines() > kept + 10; }));
}

}  // namespace
}  // namespace nimbrel::test
