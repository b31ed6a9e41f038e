// The COM route end to end over pseudo-terminals: the test holds the controller's side.
#include "capture/com_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "capture/capture_session.h"
#include "capture/capture_shutdown.h"
#include "capture/com_port.h"
#include "capture/inbox_sender.h"
#include "pipeline/line_output.h"
#include "pipeline/memory_log_view.h"
#include "platform/pseudo_terminal.h"
#include "platform/text.h"
#include "sim/log_generator.h"
#include "sim/serial_streamer.h"
#include "support/collecting_lines.h"
#include "support/record_builder.h"
#include "support/sim_stream.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::operator+;

using Lines = test::CollectingLines;

const std::string kDefinitions = std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h";

struct Route {
    test::TempDir dir;
    MemoryLogView view;
    CaptureSession core{view, dir.path()};
    std::atomic<std::uint32_t> printRawData{0};
    ComCapture com{core, [this] { return printRawData.load(); }};
    PseudoTerminal pty;

    Route() { EXPECT_EQ(pty.open(), 0); }
    ~Route() { WaitForAllThreadExit(core, 5000ms); }

    void start() {
        ASSERT_EQ(com.start(kDefinitions, pty.slavePath(), 115200),
                  ComCapture::StartResult::Started);
        ASSERT_TRUE(waitUntil([&] { return comPort().isOpen(); }));
    }
    void write(const Bytes& b) {
        ASSERT_EQ(::write(pty.masterFd(), b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }
    static constexpr test::WaitUntil waitUntil{10s};
    std::u16string text() const { return view.plainText(); }
};

TEST(ComCapture, RecordsArriveAsLinesAndAVanishedPortEndsTheCaptureForANewOne) {
    Route r;
    r.start();
    EXPECT_EQ(r.core.capture.m_threadId(), CaptureRoute::Com);
    EXPECT_EQ(r.core.capture.phase(), CaptureState::Phase::ComActive);
    // A second start while the route is active is refused.
    EXPECT_EQ(r.com.start(kDefinitions, r.pty.slavePath(), 115200),
              ComCapture::StartResult::ViewInUse);
    sim::LogGenerator gen(5);
    Bytes stream;
    for (int i = 0; i < 40; ++i) {
        const auto& rec = gen.next();
        stream.insert(stream.end(), rec.bytes.begin(), rec.bytes.end());
    }
    r.write(stream);
    ASSERT_TRUE(Route::waitUntil([&] { return r.core.hub.counters.recordsFramed() == 40; }));
    ASSERT_TRUE(Route::waitUntil([&] { return r.text().find(u"[COM] ") != std::u16string::npos; }));
    EXPECT_NE(r.text().find(u"firmware start"), std::u16string::npos);

    // The controller's side goes away: the capture ends by itself.
    r.pty.close();
    ASSERT_TRUE(Route::waitUntil([&] { return !r.core.capture.captureThreadRunning(); }));
    EXPECT_TRUE(r.com.deviceGone());
    // The view is free once the print thread has shown what was left.
    ASSERT_TRUE(Route::waitUntil([&] { return !r.core.capture.viewInUse(); }));
    EXPECT_FALSE(comPort().isOpen());

    // And a new capture can start on a new port.
    ASSERT_EQ(r.pty.open(), 0);
    r.start();
    r.write(Bytes(gen.next().bytes) + Bytes(gen.next().bytes));
    ASSERT_TRUE(Route::waitUntil([&] { return r.core.hub.counters.recordsFramed() >= 2; }));
}

TEST(ComCapture, MissingPortIsReportedWithItsErrorCode) {
    Route r;
    ASSERT_EQ(r.com.start(kDefinitions, "/dev/nimbrel-no-such-port", 115200),
              ComCapture::StartResult::Started);
    ASSERT_TRUE(Route::waitUntil([&] { return !r.core.capture.captureThreadRunning(); }));
    EXPECT_TRUE(r.com.openFailed());
    EXPECT_NE(
        r.text().find(u"[R] Step 1, Fail to open /dev/nimbrel-no-such-port: GetLastError=0x2\n"),
        std::u16string::npos);
    EXPECT_FALSE(r.core.capture.viewInUse());
    // With Com can be chosen again at once.
    EXPECT_EQ(r.com.start(kDefinitions, r.pty.slavePath(), 115200),
              ComCapture::StartResult::Started);
}

TEST(ComCapture, EchoShowsReceivedBytesLiterallyAndWritesATextChunk) {
    Route r;
    r.core.hub.setAutoSaveRawData(false);
    r.printRawData = 1;
    r.start();
    r.write(Bytes{'1', '0', '0', '%', 'd', ' ', '%', 's'});
    ASSERT_TRUE(
        Route::waitUntil([&] { return r.text().find(u"100%d %s") != std::u16string::npos; }));
    WaitForAllThreadExit(r.core, 5000ms);
    // The echo lands in the raw data file even with saving off.
    const Bytes raw = test::readFileBytes(r.core.hub.rawDataFile.name());
    ASSERT_GE(raw.size(), 4u);
    EXPECT_EQ(Bytes(raw.end() - 4, raw.end()), (Bytes{0x0A, 0, 0, 0}));
    EXPECT_EQ(raw[0], '1');
    EXPECT_EQ(raw[1], 0);
}

TEST(ComCapture, InBoxSenderWritesTheEightParsedBytes) {
    Route r;
    EXPECT_FALSE(openInBox(r.core));  // no COM route started yet
    EXPECT_NE(r.text().find(u"[R] Com port doesn't open \n"), std::u16string::npos);
    r.start();
    EXPECT_TRUE(openInBox(r.core));
    EXPECT_NE(r.text().find(u"[B] Start Uart In Box"), std::u16string::npos);
    const InBoxMessage m =
        buildInBoxMessage({u"0x1F", u"a5", u"  7", u"-1", u"100", u"zz", u"", u"FF"});
    EXPECT_EQ(m, (InBoxMessage{0x1F, 0xA5, 0x07, 0xFF, 0x00, 0x00, 0x00, 0xFF}));
    ASSERT_EQ(sendInBox(m), 0);
    Bytes got;
    while (got.size() < 8) {
        pollfd p{r.pty.masterFd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1);
        std::uint8_t buf[16];
        const ssize_t n = ::read(r.pty.masterFd(), buf, sizeof buf);
        ASSERT_GT(n, 0);
        got.insert(got.end(), buf, buf + n);
    }
    EXPECT_EQ(got, (Bytes{0x1F, 0xA5, 0x07, 0xFF, 0x00, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(parseInBoxByte(u"1FF"), 0xFF);
    EXPECT_EQ(parseInBoxByte(u"-0x80000001"), 0x00);  // clamped to INT32_MIN
    EXPECT_EQ(parseInBoxByte(u"123456789ab"), 0xFF);  // clamped to INT32_MAX
}

TEST(ComCapture, ShutdownEndsACaptureBlockedInARead) {
    Route r;
    r.start();
    std::this_thread::sleep_for(50ms);  // the thread now waits in a read on a silent port
    const auto before = std::chrono::steady_clock::now();
    WaitForAllThreadExit(r.core, 5000ms);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(r.core.capture.captureThreadRunning());
    EXPECT_FALSE(r.core.capture.viewInUse());
    EXPECT_FALSE(r.core.hub.ring.allocated());
    EXPECT_FALSE(comPort().isOpen());
}

TEST(ComCapture, HundredThousandRecordsAsFastAsThePortTakesThemLoseNothing) {
    Route r;
    Lines out;
    r.core.formatter.setLineOutput(&out);
    r.core.hub.setAutoSaveRawData(true);
    r.start();
    constexpr std::uint64_t kRecords = 100000;
    const std::vector<Bytes> sent = test::simulatedRecords(77, kRecords);
    sim::LogGenerator gen(77);
    std::atomic<bool> stop{false};
    const sim::StreamResult result = sim::streamRecords(r.pty.masterFd(), gen, {0, kRecords}, stop);
    ASSERT_EQ(result.records, kRecords);
    // Closing the controller's side discards what the capture has not read yet, so wait
    // for the last record first; then the port going away ends the capture.
    EXPECT_TRUE(
        Route::waitUntil([&] { return r.core.hub.counters.recordsFramed() >= kRecords; }, 120s));
    r.pty.closeMaster();
    ASSERT_TRUE(Route::waitUntil([&] { return !r.core.hub.m_printThread.running(); }, 120s));
    EXPECT_EQ(r.core.hub.counters.overrunBytes(), 0u);
    EXPECT_EQ(r.core.hub.counters.noiseBytes(), 0u);
    EXPECT_EQ(r.core.hub.counters.recordsFramed(), kRecords);
    ASSERT_EQ(out.size(), kRecords);
    for (std::uint64_t i = 0; i < kRecords; i += 9973) {
        EXPECT_NE(out.lines[i].find(u"[COM] "), std::u16string::npos) << i;
    }
    const auto recorded =
        test::recordsOfRawDataFile(test::readFileBytes(r.core.hub.rawDataFile.name()), sent);
    EXPECT_EQ(recorded.size(), kRecords);
    EXPECT_TRUE(recorded == sent);
}

}  // namespace
}  // namespace nimbrel
