// The log view fed from another thread: a producer that runs the real record formatter
// (which waits for room in the queue before it takes its lock) against Clear, Pause, the
// capture shutdown and the destruction of the widget on the GUI thread.
#include "gui/logview/queued_log_view.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "gui/logview/log_text_view.h"
#include "log_view_test_app.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_formatter.h"
#include "support/record_builder.h"
#include "support/wait_until.h"

namespace nimbrel::gui {
namespace {

using namespace std::chrono_literals;

constexpr int kProducerLines = 1'000'000;

// The formatter and console of a capture, printing into a queued view.
struct Capture {
    explicit Capture(QueuedLogView& view)
        : console(view, filter), formatter(table, console, toggles) {
        table.loadFromText("#define PLAIN 41 //\"plain text %d\"\n");
    }
    StringFilter filter;
    LogConsole console;
    MessageDefinitionTable table;
    FormatterToggles toggles;
    RecordFormatter formatter;
};

// The print thread of a capture: formats records until it has made `lines` of them or
// is asked to quit.
class Producer {
public:
    Producer(Capture& capture, int lines) : capture_(capture) {
        thread_ = std::thread([this, lines] {
            const RawStamp stamp{0x07EA, 3, 4, 12, 34, 56, 0x0315};
            for (int i = 0; i < lines && !quit.load(); ++i) {
                const test::Bytes r =
                    test::buildRecord({.layout = 4,
                                       .colour = 1,
                                       .index = 41,
                                       .params = {static_cast<std::uint32_t>(i)}});
                capture_.formatter.formatAndShow({r.data(), checkHeader(r.data(), r.size()).layout},
                                                 &stamp);
                made.store(i + 1);
            }
            done.store(true);
        });
    }
    ~Producer() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

    std::atomic<bool> quit{false};
    std::atomic<bool> done{false};
    std::atomic<int> made{0};

private:
    Capture& capture_;
    std::thread thread_;
};

// Stops the producer while the GUI thread empties the queue, as the window's capture stop
// does, then shows what is left.
void stopWhileDraining(Producer& producer, QueuedLogView& view) {
    producer.quit.store(true);
    ASSERT_TRUE(test::waitUntil(
        [&] {
            view.drainNow();
            return producer.done.load();
        },
        20s));
    producer.join();
    view.drainNow();
}

// The numbers in the view's "[NNNNN]" column run 1, 2, 3, ... without a gap.
::testing::AssertionResult numberedWithoutGaps(const LogTextView& view) {
    static const QRegularExpression number(
        QStringLiteral(R"(\[G\] \[(\d{5,})\] \[000\] \[000\] \[00000\] plain text \d+$)"));
    for (qint64 l = 0; l < view.lineCount(); ++l) {
        const QRegularExpressionMatch m = number.match(view.lineText(l));
        if (!m.hasMatch())
            return ::testing::AssertionFailure()
                   << "line " << l << ": " << view.lineText(l).toStdString();
        if (m.captured(1).toLongLong() != l + 1) {
            return ::testing::AssertionFailure()
                   << "line " << l << " is numbered " << m.captured(1).toStdString();
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(QueuedLogView, ClearPauseAndCloseAgainstAProducerThatWaitsForRoom) {
    test::logViewTestApp();
    auto* widget = new LogTextView;
    widget->resize(800, 400);
    widget->show();
    // A small queue: the producer waits for room most of the time.
    QueuedLogView view(*widget, 64);
    Capture capture(view);
    Producer producer(capture, kProducerLines);

    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 5000; }, 20000));
    view.drainNow();
    EXPECT_TRUE(numberedWithoutGaps(*widget));

    // Clear takes the formatter's lock while the producer waits for the queue that this
    // thread drains.
    capture.formatter.clear();
    EXPECT_LT(widget->lineCount(), 100);  // only what arrived since
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 3000; }, 20000));

    // Pause holds lines back; Continue shows them, numbered in sequence.
    capture.formatter.setPaused(true);
    QTest::qWait(100);
    view.drainNow();
    const qint64 whilePaused = widget->lineCount();
    QTest::qWait(100);
    view.drainNow();
    EXPECT_EQ(widget->lineCount(), whilePaused);
    capture.formatter.setPaused(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= whilePaused + 3000; }, 20000));

    // A second clear, then the capture shutdown: the GUI thread empties the queue while it
    // waits for the print thread to end, as the window's stop does.
    capture.formatter.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 2000; }, 20000));
    stopWhileDraining(producer, view);
    EXPECT_TRUE(numberedWithoutGaps(*widget));
    // Every line made since the last clear is in the view (the formatter numbers them).
    EXPECT_EQ(widget->lineCount(), capture.formatter.lineNumber() - 1);

    delete widget;
    EXPECT_FALSE(view.exists());
}

// The queue is full and the GUI thread does not empty it: a producer waits for room. The
// formatter's lock stays free meanwhile, so Clear, the menus' queries and a change of the
// line output end at once, on another thread as on the GUI thread; after Clear the lines
// start again at 00001, with none of the earlier ones after them.
TEST(QueuedLogView, AFullQueueLeavesTheFormattersLockFree) {
    test::logViewTestApp();
    auto* widget = new LogTextView;
    QueuedLogView view(*widget, 50);
    Capture capture(view);
    Producer producer(capture, kProducerLines);
    ASSERT_TRUE(test::waitUntil([&] { return view.queuedLines() >= 50; }, 20s));

    std::atomic<bool> finished{false};
    std::thread menus([&] {
        capture.formatter.clear();
        (void)capture.formatter.lineNumber();
        (void)capture.formatter.counts();
        (void)capture.formatter.clearEnabled();
        capture.formatter.setLineOutput(nullptr);
        capture.formatter.resetLastStamp();
        finished.store(true);
    });
    const bool endedWhileFull = test::waitUntil([&] { return finished.load(); }, 3s);
    EXPECT_TRUE(endedWhileFull) << "the formatter's lock was held while waiting for room";
    // Released either way, so that a failure does not hang the suite.
    ASSERT_TRUE(test::waitUntil(
        [&] {
            view.drainNow();
            return finished.load();
        },
        20s));
    menus.join();
    if (!endedWhileFull) {
        producer.quit.store(true);
        test::waitUntil(
            [&] {
                view.drainNow();
                return producer.done.load();
            },
            20s);
        delete widget;
        return;
    }

    // The same on the GUI thread, with the queue full again.
    ASSERT_TRUE(test::waitUntil([&] { return view.queuedLines() >= 50; }, 20s));
    capture.formatter.clear();

    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 2000; }, 20000));
    stopWhileDraining(producer, view);
    EXPECT_TRUE(numberedWithoutGaps(*widget));
    EXPECT_EQ(widget->lineCount(), capture.formatter.lineNumber() - 1);
    delete widget;
}

TEST(QueuedLogView, DestroyingTheWidgetReleasesAWaitingProducerAndDropsWhatFollows) {
    test::logViewTestApp();
    auto* widget = new LogTextView;
    QueuedLogView view(*widget, 100);
    Capture capture(view);
    Producer producer(capture, kProducerLines);

    // This thread does not drain: the producer fills the queue and waits.
    test::waitUntil([&] { return view.queuedLines() >= 100; }, 20s);
    ASSERT_EQ(view.queuedLines(), 100u);
    std::this_thread::sleep_for(20ms);
    EXPECT_LT(producer.made.load(), 102);
    EXPECT_TRUE(view.exists());

    delete widget;  // the window closes
    EXPECT_FALSE(view.exists());
    producer.join();  // released, and the formatter sees that the view is gone
    EXPECT_EQ(producer.made.load(), kProducerLines);
    EXPECT_EQ(view.queuedLines(), 0u);
    view.append(u"late\n", Rgb{1, 2, 3});
    EXPECT_EQ(view.queuedLines(), 0u);
    EXPECT_FALSE(view.hasText());
}

TEST(QueuedLogView, CallsOnTheGuiThreadActAtOnceAfterWhatIsQueued) {
    test::logViewTestApp();
    LogTextView widget;
    QueuedLogView view(widget);
    std::thread([&] { view.append(u"from a thread\n", Rgb{255, 0, 0}); }).join();
    EXPECT_TRUE(view.hasText());  // queued text counts
    EXPECT_EQ(widget.lineCount(), 0);
    view.append(u"from the GUI\n", Rgb{0, 255, 0});
    EXPECT_EQ(widget.plainText(), "from a thread\nfrom the GUI\n");
    EXPECT_EQ(widget.lineRuns(0)[0].colour, QColor(255, 0, 0));

    // A replacement or a clear from a thread drops what was queued before it.
    std::thread([&] {
        view.append(u"dropped\n", Rgb{});
        view.replaceAll(u"progress 50%\n", Rgb{0, 0, 255});
    }).join();
    view.drainNow();
    EXPECT_EQ(widget.plainText(), "progress 50%\n");
    std::thread([&] { view.clear(); }).join();
    EXPECT_FALSE(view.hasText());
    view.drainNow();
    EXPECT_FALSE(widget.hasText());
}

}  // namespace
}  // namespace nimbrel::gui
