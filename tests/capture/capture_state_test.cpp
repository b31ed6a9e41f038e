// The capture state's one-consumer rule and the view's destruction, driven through the COM
// route over a pseudo-terminal while the print thread is held inside a slow line output.
#include "capture/capture_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_capture.h"
#include "capture/com_port.h"
#include "files/raw_data_replay_session.h"
#include "pipeline/line_output.h"
#include "pipeline/memory_log_view.h"
#include "platform/pseudo_terminal.h"
#include "sim/log_generator.h"
#include "sim/serial_streamer.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using Phase = CaptureState::Phase;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

constexpr test::WaitUntil waitUntil{30s};

// A view that cannot keep up: every line waits until the gate opens.
class GatedLines : public LineOutput {
public:
    void writeLine(std::u16string_view, Rgb) override {
        std::unique_lock lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        ++written_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitEntered() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [this] { return entered_ > 0; });
    }
    int written() {
        std::lock_guard lock(mutex_);
        return written_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int entered_ = 0;
    int written_ = 0;
};

struct Capture {
    test::TempDir dir;
    MemoryLogView view;
    std::unique_ptr<CaptureSession> core = std::make_unique<CaptureSession>(view, dir.path());
    ComCapture com{*core, [] { return 0u; }};
    PseudoTerminal pty;
    GatedLines lines;

    Capture() {
        EXPECT_EQ(pty.open(), 0);
        EXPECT_TRUE(core->setLineOutput(&lines));
    }
    ~Capture() {
        lines.open();
        if (core) WaitForAllThreadExit(*core, 5000ms);
    }

    // Starts With Com and sends `records` records; returns once the capture thread has put
    // every byte into the ring while the print thread waits on the first line.
    void captureHeldRecords(std::uint64_t records) {
        ASSERT_EQ(com.start(kDefinitions, pty.slavePath(), 115200),
                  ComCapture::StartResult::Started);
        ASSERT_TRUE(waitUntil([&] { return comPort().isOpen(); }));
        sim::LogGenerator gen(11);
        std::atomic<bool> stop{false};
        const sim::StreamResult sent = sim::streamRecords(pty.masterFd(), gen, {0, records}, stop);
        ASSERT_EQ(sent.records, records);
        ASSERT_TRUE(waitUntil([&] { return core->hub.ring.writePosition() >= sent.bytes; }));
        ASSERT_TRUE(lines.waitEntered());
    }
};

TEST(CaptureState, ADrainingPrintThreadKeepsTheViewUntilItEnds) {
    Capture c;
    CaptureSession& core = *c.core;
    EXPECT_EQ(core.capture.phase(), Phase::Idle);
    c.captureHeldRecords(2000);
    EXPECT_EQ(core.capture.phase(), Phase::ComActive);

    // The controller goes away: the writer stops, the print thread still has 2,000 records.
    c.pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !core.capture.captureThreadRunning(); }));
    EXPECT_EQ(core.capture.phase(), Phase::Draining);
    EXPECT_TRUE(core.capture.viewInUse());

    // With Com and a replay at once: both refused, and neither the table nor the line
    // output changes under the print thread.
    std::ofstream(c.dir.file("raw.log"), std::ios::binary) << std::string(1, '\0');
    ReplaySessionOptions replay;
    replay.definitionFile = kDefinitions;
    replay.rawFile = c.dir.file("raw.log");
    replay.method = ReplayMethod::ToView;
    std::atomic<bool> stopReplay{false};
    ReplayOutcome replayOutcome = ReplayOutcome::Done;
    std::thread replayer([&] { replayOutcome = runRawDataReplay(core, replay, stopReplay); });
    const ComCapture::StartResult comOutcome = c.com.start(kDefinitions, c.pty.slavePath(), 115200);
    replayer.join();
    EXPECT_EQ(comOutcome, ComCapture::StartResult::ViewInUse);
    EXPECT_EQ(replayOutcome, ReplayOutcome::ViewInUse);
    EXPECT_FALSE(core.reloadDefinitions(kDefinitions));
    EXPECT_FALSE(core.setLineOutput(nullptr));
    EXPECT_FALSE(core.capture.claimRoute(CaptureRoute::Filter));

    // The drain ends: every record was shown once, and the view is free again.
    c.lines.open();
    ASSERT_TRUE(waitUntil([&] { return core.capture.drainFinished(); }));
    EXPECT_EQ(c.lines.written(), 2000);
    EXPECT_EQ(core.capture.phase(), Phase::Idle);
    EXPECT_EQ(runRawDataReplay(core, replay, stopReplay), ReplayOutcome::NoRecords);
    ASSERT_EQ(c.pty.open(), 0);
    EXPECT_EQ(c.com.start(kDefinitions, c.pty.slavePath(), 115200),
              ComCapture::StartResult::Started);
}

TEST(CaptureState, AWaitThatGivesUpOnThePrintThreadLeavesTheViewInUse) {
    Capture c;
    CaptureSession& core = *c.core;
    c.captureHeldRecords(50);
    WaitForAllThreadExit(core, 50ms);
    EXPECT_FALSE(core.capture.captureThreadRunning());
    EXPECT_FALSE(core.capture.drainFinished());
    EXPECT_TRUE(core.hub.ring.allocated()) << "the print thread still reads the ring";
    EXPECT_EQ(core.capture.phase(), Phase::Draining);
    EXPECT_EQ(c.com.start(kDefinitions, c.pty.slavePath(), 115200),
              ComCapture::StartResult::ViewInUse);

    c.lines.open();
    ASSERT_TRUE(waitUntil([&] { return core.capture.drainFinished(); }));
    EXPECT_EQ(core.capture.phase(), Phase::Idle);
    EXPECT_TRUE(core.capture.claimReplay());
    core.capture.endReplay();
}

TEST(CaptureState, DestroyingTheViewJoinsAPrintThreadThatOutlivedTheWait) {
    Capture c;
    c.core->closeWait = 50ms;
    c.core->hub.setAutoSaveRawData(true);  // each record also goes to the raw data file
    c.captureHeldRecords(20);
    const std::string rawFile = c.core->hub.rawDataFile.name();

    std::atomic<bool> destroyed{false};
    std::thread closer([&] {
        c.core.reset();
        destroyed = true;
    });
    std::this_thread::sleep_for(300ms);  // well past the wait: the print thread still runs
    EXPECT_FALSE(destroyed.load()) << "the view went while its print thread was running";
    c.lines.open();
    closer.join();
    // The record that was being shown when the wait gave up was still recorded afterwards.
    EXPECT_FALSE(test::readFileBytes(rawFile).empty());
}

TEST(CaptureState, RadioArrivalsRestartOneThreadAtATimeAndNeverUnderAReplay) {
    test::TempDir dir;
    MemoryLogView view;
    CaptureSession core(view, dir.path());
    ASSERT_TRUE(core.capture.claimRoute(CaptureRoute::Uart));
    EXPECT_EQ(core.toggles.threadId(), CaptureRoute::Uart);

    std::atomic<bool> release{false};
    auto body = [&] {
        while (!release && !core.capture.stopRequested()) std::this_thread::sleep_for(1ms);
        core.capture.captureThreadEnded();
    };
    core.capture.startCaptureThread(body);
    EXPECT_EQ(core.capture.phase(), Phase::DriverRunning);
    EXPECT_FALSE(core.capture.restartArmedRoute(body)) << "a second arrival while a thread runs";

    release = true;  // the radio went away: the thread ends, the route stays
    ASSERT_TRUE(waitUntil([&] { return !core.capture.captureThreadRunning(); }));
    EXPECT_EQ(core.capture.phase(), Phase::DriverArmed);
    EXPECT_FALSE(core.capture.claimRoute(CaptureRoute::Com));
    EXPECT_FALSE(core.capture.claimReplay());

    release = false;
    EXPECT_TRUE(core.capture.restartArmedRoute(body));  // the radio is back
    EXPECT_TRUE(core.capture.deviceOn());
    EXPECT_FALSE(core.capture.stopRequested());
    EXPECT_EQ(core.capture.phase(), Phase::DriverRunning);

    WaitForAllThreadExit(core, 2000ms);
    EXPECT_EQ(core.capture.phase(), Phase::Idle);
    EXPECT_EQ(core.capture.m_threadId(), CaptureRoute::Uart) << "the route last started is kept";
    // An arrival after the stop runs the route's thread with its stop request up: it goes
    // through its start-up and end steps, ends by itself, and the view is free again.
    std::atomic<bool> stopSeen{false};
    EXPECT_TRUE(core.capture.restartArmedRoute([&] {
        stopSeen = core.capture.stopRequested();
        core.capture.captureThreadEnded();
    }));
    ASSERT_TRUE(waitUntil([&] { return !core.capture.captureThreadRunning(); }));
    EXPECT_TRUE(stopSeen.load());
    EXPECT_EQ(core.capture.phase(), Phase::Idle);

    // A replay holds the view: an arrival starts nothing, and a stop of every capture (a
    // resume) leaves the view with the replay until the replay gives it back.
    ASSERT_TRUE(core.capture.claimReplay());
    EXPECT_FALSE(core.capture.restartArmedRoute(body));
    WaitForAllThreadExit(core, 2000ms);
    EXPECT_EQ(core.capture.phase(), Phase::Replaying);
    EXPECT_FALSE(core.capture.claimRoute(CaptureRoute::Com));
    core.capture.endReplay();
    ASSERT_TRUE(core.capture.claimRoute(CaptureRoute::Filter));
    EXPECT_FALSE(core.capture.deviceOn()) << "a Debug command starts a new raw data file";
}

}  // namespace
}  // namespace nimbrel
