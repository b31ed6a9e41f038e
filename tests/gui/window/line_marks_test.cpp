// Marks, the red-line summary, the time between lines and the state pane's text, on the
// log view widget driven with QTest.
#include "gui/logview/line_marks.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "gui/logview/colour_line_summary.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/mark_margin.h"
#include "gui/logview/overview_strip.h"
#include "gui/window/capture_status.h"
#include "gui/window/line_time.h"
#include "log_view_test_app.h"

namespace nimbrel::gui {
namespace {

class LineMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::showFocusedLogView(view);
        if (HasFatalFailure()) return;
        for (int i = 0; i < 20; ++i)
            view->appendText(QStringLiteral("line %1\n").arg(i), QColor(128, 128, 128));
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(view.get(), Qt::Key(k), m);
    }
    std::vector<std::int64_t> marked() const { return view->marks().lines(); }
    // The line a mark sits on, by its text.
    QStringList markedTexts() const {
        QStringList texts;
        for (const std::int64_t l : marked()) texts << view->lineText(l);
        return texts;
    }

    std::unique_ptr<LogTextView> view;
};

TEST_F(LineMarksTest, MarksMoveWithTheirLinesThroughEditsAboveThemAndUndo) {
    view->marks().toggle(5);
    view->marks().toggle(9);
    view->marks().toggle(12);
    ASSERT_EQ(markedTexts(), (QStringList{"line 5", "line 9", "line 12"}));

    // Two lines typed above the marks push them down.
    view->setSelection({2, 0}, {2, 0});
    QTest::keyClicks(view.get(), "new");
    key(Qt::Key_Return);
    QTest::keyClicks(view.get(), "more");
    key(Qt::Key_Return);
    EXPECT_EQ(marked(), (std::vector<std::int64_t>{7, 11, 14}));
    EXPECT_EQ(markedTexts(), (QStringList{"line 5", "line 9", "line 12"}));

    // Whole lines cut above a mark pull it up; a marked line among them goes with them.
    view->setSelection({6, 0}, {10, 0});  // "line 4" .. "line 7", the mark on "line 5"
    view->cut();
    EXPECT_EQ(markedTexts(), (QStringList{"line 9", "line 12"}));

    // Typing inside a marked line keeps its mark; joining the line below onto it too.
    view->setSelection({7, 4}, {7, 4});
    QTest::keyClicks(view.get(), "X");
    EXPECT_EQ(markedTexts(), (QStringList{"lineX 9", "line 12"}));

    // Undo puts every mark back on its line.
    for (int i = 0; i < 6; ++i) view->undo();
    EXPECT_EQ(view->lineText(5), "line 5");
    EXPECT_EQ(markedTexts(), (QStringList{"line 9", "line 12"}));
    EXPECT_EQ(marked(), (std::vector<std::int64_t>{9, 12}));

    // Next and previous wrap around; the mark above is strictly above.
    EXPECT_EQ(view->marks().next(12), 9);
    EXPECT_EQ(view->marks().previous(9), 12);
    EXPECT_EQ(view->marks().above(12), 9);
    EXPECT_EQ(view->marks().above(9), -1);

    // Clear takes every mark away.
    view->clear();
    EXPECT_TRUE(view->marks().empty());
}

TEST_F(LineMarksTest, TheMarginTogglesMarksAndTheStripJumpsAlongTheText) {
    MarkMargin* margin = view->markMargin();
    ASSERT_NE(margin, nullptr);
    EXPECT_TRUE(margin->isVisible());
    const int row = view->rowHeight();
    const std::int64_t third = view->firstVisibleLine() + 3;
    QTest::mouseClick(margin, Qt::LeftButton, {}, QPoint(5, row * 3 + row / 2));
    EXPECT_EQ(marked(), (std::vector<std::int64_t>{third}));
    QTest::mouseClick(margin, Qt::LeftButton, {}, QPoint(5, row * 3 + 1));
    EXPECT_TRUE(view->marks().empty());

    for (int i = 20; i < 5000; ++i)
        view->appendText(QStringLiteral("line %1\n").arg(i), QColor(128, 128, 128));
    OverviewStrip* strip = view->overviewStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_GT(strip->geometry().left(), view->viewport()->geometry().right());
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(5, strip->height() / 2));
    const qint64 target = strip->lineAtY(strip->height() / 2);
    EXPECT_NEAR(static_cast<double>(target), 2500.0, 5000.0 / strip->height() + 1);
    EXPECT_EQ(view->caret(), (TextPos{target, 0}));
    EXPECT_LE(view->firstVisibleLine(), target);
    EXPECT_GT(view->firstVisibleLine() + view->visibleLineCount(), target);
    EXPECT_FALSE(view->followsEnd());
}

TEST_F(LineMarksTest, RedLineSummaryFindsRedLinesAndFollowsEdits) {
    view->clear();
    const int n = 3 * ColourLineSummary::kGroupLines;
    for (int i = 0; i < n; ++i) {
        const bool red = i == 10 || i == 2 * ColourLineSummary::kGroupLines + 7;
        view->appendText(QStringLiteral("%1 line %2\n").arg(red ? "[R]" : "[G]").arg(i),
                         red ? QColor(255, 0, 0) : QColor(0, 255, 0));
    }
    auto* summary = qobject_cast<ColourLineSummary*>(view->redLines());
    ASSERT_NE(summary, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return summary->scannedLines() >= n; }));
    EXPECT_TRUE(summary->contains(10));
    EXPECT_FALSE(summary->contains(11));
    EXPECT_TRUE(summary->anyIn(0, ColourLineSummary::kGroupLines));
    EXPECT_FALSE(
        summary->anyIn(ColourLineSummary::kGroupLines, 2 * ColourLineSummary::kGroupLines));
    EXPECT_TRUE(summary->anyIn(2 * ColourLineSummary::kGroupLines, n));

    // The first red line goes: its group is looked at again and shows no red any more.
    view->setSelection({10, 0}, {11, 0});
    view->cut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return summary->scannedLines() >= n - 1; }));
    EXPECT_FALSE(summary->anyIn(0, ColourLineSummary::kGroupLines));
    EXPECT_TRUE(summary->anyIn(2 * ColourLineSummary::kGroupLines - 1, n));
}

TEST(LineTime, TimeBetweenStampedLinesAcrossMidnightAndWithoutStamps) {
    const QString rec = QStringLiteral("  [COM] [G] [00001] message");
    struct Case {
        QString earlier;
        QString later;
        std::optional<std::int64_t> ms;
        QString text;
    };
    const Case cases[] = {
        {"12:00:00.000" + rec, "12:00:01.234" + rec, 1234, QStringLiteral("\u0394 1.234 s")},
        {"08:59:59.999" + rec, "09:00:00.000" + rec, 1, QStringLiteral("\u0394 0.001 s")},
        {"10:00:00.500" + rec, "10:00:00.500" + rec, 0, QStringLiteral("\u0394 0.000 s")},
        // A later line with an earlier clock crossed midnight.
        {"23:59:59.900" + rec, "00:00:00.100" + rec, 200, QStringLiteral("\u0394 0.200 s")},
        {"23:00:00.000" + rec, "01:30:00.000" + rec, 9000000, QStringLiteral("\u0394 9000.000 s")},
        // Replayed stamps may count past 23 hours.
        {"23:59:59.999" + rec, "24:00:00.001" + rec, 2, QStringLiteral("\u0394 0.002 s")},
        // Lines without a stamp: console lines, decoded lines, nearly-stamps.
        {"[G] set log1.h = \"x\"", "12:00:01.234" + rec, std::nullopt, {}},
        {"12:00:00.000" + rec, "\tOpcode: 0x0c03", std::nullopt, {}},
        {"12:00:00.000" + rec, "12:00:0.234 x", std::nullopt, {}},
        {"12:00:00.000" + rec, "12:60:00.000 x", std::nullopt, {}},
        {"12:00:00.000" + rec, "12:00:00.0001", std::nullopt, {}},
        {"12:00:00.000" + rec, "", std::nullopt, {}},
    };
    for (const Case& c : cases) {
        const auto ms = timeBetweenMs(c.earlier, c.later);
        EXPECT_EQ(ms, c.ms) << c.earlier.toStdString() << " / " << c.later.toStdString();
        if (ms) {
            EXPECT_EQ(timeDeltaText(*ms), c.text);
        }
    }
}

TEST(CaptureStatus, StatePaneTextForEveryCaptureState) {
    using Phase = CaptureState::Phase;
    struct Case {
        CaptureStateFacts facts;
        const char* text;
    };
    const QString tty = QStringLiteral("/dev/ttyUSB0");
    const Case cases[] = {
        {{Phase::Idle, CaptureRoute::None, false, {}, false, false, 0}, "Idle"},
        {{Phase::Idle, CaptureRoute::Com, false, tty, false, false, 0}, "Idle"},
        {{Phase::Idle, CaptureRoute::None, true, {}, false, false, 0}, "Paused"},
        {{Phase::ComActive, CaptureRoute::Com, false, tty, false, false, 0}, "COM /dev/ttyUSB0"},
        {{Phase::ComActive, CaptureRoute::Com, true, tty, false, false, 0},
         "COM /dev/ttyUSB0 - Paused"},
        {{Phase::DriverRunning, CaptureRoute::Filter, false, {}, false, false, 0}, "Filter driver"},
        {{Phase::DriverRunning, CaptureRoute::Uart, false, {}, false, false, 0}, "UART driver"},
        {{Phase::DriverArmed, CaptureRoute::Filter, false, {}, false, false, 0},
         "Filter driver, no radio"},
        {{Phase::DriverRunning, CaptureRoute::Uart, true, {}, false, false, 0},
         "UART driver - Paused"},
        {{Phase::Draining, CaptureRoute::Com, false, tty, false, false, 0}, "Stopping"},
        {{Phase::Replaying, CaptureRoute::None, false, {}, true, false, 42}, "Replaying 42 %"},
        {{Phase::Replaying, CaptureRoute::None, false, {}, false, true, 7}, "Opening 7 %"},
    };
    for (const Case& c : cases) EXPECT_EQ(captureStateText(c.facts), c.text) << c.text;
    EXPECT_EQ(serialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serialDevicePath("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(byteSizeText(512), "512 bytes");
    EXPECT_EQ(byteSizeText(1536 * 1024), "1.5 MB");
}

}  // namespace
}  // namespace nimbrel::gui
