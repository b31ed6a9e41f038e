// The log view fed from another thread: a producer that runs the real record formatter
// (which holds its lock while it appends) against Clear, Pause, the capture shutdown and
// the destruction of the widget on the GUI thread.
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
    // A small queue: the producer waits for room most of the time, holding the
    // formatter's lock while it waits.
    QueuedLogView view(*widget, 64);
    Capture capture(view);
    Producer producer(capture, kProducerLines);

    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 5000; }, 20000));
    view.drainNow();
    EXPECT_TRUE(numberedWithoutGaps(*widget));

    // Clear takes the formatter's lock, which the producer holds while it waits for the
    // queue that this thread drains.
    {
        QueuedLogView::GuiThreadBlocked blocked(view);
        capture.formatter.clear();
    }
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

    // A second clear, then the capture shutdown: the GUI thread waits for the print
    // thread to end while the print thread may be waiting for room.
    {
        QueuedLogView::GuiThreadBlocked blocked(view);
        capture.formatter.clear();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return widget->lineCount() >= 2000; }, 20000));
    {
        QueuedLogView::GuiThreadBlocked blocked(view);
        producer.quit.store(true);
        producer.join();
    }
    view.drainNow();
    EXPECT_TRUE(numberedWithoutGaps(*widget));
    // Every line made since the last clear is in the view (the formatter numbers them).
    EXPECT_EQ(widget->lineCount(), capture.formatter.lineNumber() - 1);

    delete widget;
    EXPECT_FALSE(view.exists());
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

    // A replacement or a clear from a thread drops what was queued before it; a thread
    // that reads the text waits for the GUI thread.
    std::atomic<bool> read{false};
    std::u16string seen;
    std::thread reader([&] {
        view.append(u"dropped\n", Rgb{});
        view.replaceAll(u"progress 50%\n", Rgb{0, 0, 255});
        seen = view.plainText();
        read.store(true);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return read.load(); }, 5000));
    reader.join();
    EXPECT_EQ(seen, u"progress 50%\n");
    EXPECT_EQ(widget.plainText(), "progress 50%\n");
    std::thread([&] { view.clear(); }).join();
    EXPECT_FALSE(view.hasText());
    view.drainNow();
    EXPECT_FALSE(widget.hasText());
}

}  // namespace
}  // namespace nimbrel::gui
