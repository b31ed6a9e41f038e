// Marks, go to line, the time between lines and the overview strip in the window, driven
// with the keyboard and the mouse as a user would, and a picture of the result.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

#include "gui/logview/mark_margin.h"
#include "gui/logview/overview_strip.h"
#include "gui/window/capture_status.h"
#include "gui/window/command_table.h"
#include "gui/window/go_to_line_dlg.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_view.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

constexpr int kStepMs = 37;
constexpr int kStartMs = ((23 * 60 + 59) * 60 + 58) * 1000;  // 23:59:58.000

// Line i: a console line when i % 10 == 0, a decoded line under its record when
// i % 10 == 5, otherwise a record line stamped kStartMs + i * kStepMs (across midnight).
QString logLine(int i, QColor& colour) {
    if (i % 10 == 0) {
        colour = QColor(0, 255, 0);
        return QStringLiteral("[G] console line %1").arg(i);
    }
    if (i % 10 == 5) {
        colour = QColor(160, 160, 160);
        return QStringLiteral("\tOpcode: 0x0c%1").arg(i, 2, 16, QLatin1Char('0'));
    }
    const int ms = (kStartMs + i * kStepMs) % (24 * 3600 * 1000);
    const bool red = i % 50 == 7;
    colour = red ? QColor(255, 0, 0) : QColor(160, 160, 160);
    return QStringLiteral("%1:%2:%3.%4  [COM] %5 [%6]  le conn event: handle 0x%7")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'))
        .arg(red ? "[R]" : "[D]")
        .arg(i, 5, 10, QLatin1Char('0'))
        .arg(i % 7, 0, 16);
}

class MarksWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        startApp();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
        run(MenuCommand::EditClear);
        ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
        for (int i = 0; i < 400; ++i) {
            QColor colour;
            const QString text = logLine(i, colour);
            view().appendText(text + u'\n', colour);
        }
        // The menus follow the text within a moment (Go To Line needs text).
        frame().refreshCommandStates();
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m);
    }
    void goToLineByKeys(int number) {
        bool shown = false;
        whenModalShown([&](QWidget* w) {
            auto* dlg = qobject_cast<GoToLineDlg*>(w);
            if (!dlg) return;
            shown = true;
            dlg->numberBox()->selectAll();
            QTest::keyClicks(dlg->numberBox(), QString::number(number));
            QTest::keyClick(dlg, Qt::Key_Return);
        });
        key(Qt::Key_G, Qt::ControlModifier);
        EXPECT_TRUE(shown);
        // The keyboard goes back to the log once the dialog has closed.
        EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == &view(); }));
    }
    QString delta() {
        frame().statusPanes()->refreshDelta();
        return frame().statusPanes()->deltaPane()->text();
    }
};

TEST_F(MarksWindowTest, MarksGoToLineAndTheTimeBetweenLinesByKeysAndMouse) {
    ASSERT_EQ(QApplication::focusWidget(), &view());
    goToLineByKeys(40);
    EXPECT_EQ(view().caret(), (TextPos{39, 0}));
    key(Qt::Key_F2, Qt::ControlModifier);
    goToLineByKeys(120);
    EXPECT_EQ(view().caret().line, 119);
    key(Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(view().marks().lines(), (std::vector<std::int64_t>{39, 119}));

    // F2 and Shift+F2 walk the marks and wrap around.
    key(Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(view().caret().line, 39);
    key(Qt::Key_F2);
    EXPECT_EQ(view().caret().line, 119);
    key(Qt::Key_F2);
    EXPECT_EQ(view().caret().line, 39);

    // Between the caret's line and the nearest mark above it, across midnight.
    view().goToLine(101);
    EXPECT_EQ(delta(), QStringLiteral("\u0394 %1.%2 s")
                           .arg((101 - 39) * kStepMs / 1000)
                           .arg((101 - 39) * kStepMs % 1000, 3, 10, QLatin1Char('0')));
    // A line without a stamp (decoded, console) shows none.
    view().goToLine(105);
    EXPECT_EQ(delta(), QString());
    EXPECT_FALSE(frame().statusPanes()->deltaPane()->isVisible());
    view().goToLine(30);  // no mark above
    EXPECT_EQ(delta(), QString());

    // A selection from a stamped line to another, the second ending at a line's start.
    view().setSelection({41, 3}, {62, 0});
    EXPECT_EQ(delta(), QStringLiteral("\u0394 0.740 s"));
    EXPECT_TRUE(frame().statusPanes()->deltaPane()->isVisible());

    // A click in the margin marks the line beside it.
    view().goToLine(200);
    const qint64 first = view().firstVisibleLine();
    QTest::mouseClick(view().markMargin(), Qt::LeftButton, {},
                      QPoint(4, view().rowHeight() * 2 + view().rowHeight() / 2));
    EXPECT_TRUE(view().marks().contains(first + 2));

    // The strip jumps; Clear takes the marks with the text.
    OverviewStrip* strip = view().overviewStrip();
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(4, 1));
    EXPECT_LT(view().caret().line, 400 / strip->height() + 2);
    frame().refreshCommandStates();
    EXPECT_TRUE(menuAction(QStringLiteral("Edit/Next Mark"))->isEnabled());

    // A picture with marks, red lines in the strip and the time between lines.
    view().goToLine(60);
    view().goToLine(101);
    frame().statusPanes()->refresh();
    frame().statusPanes()->refreshDelta();
    view().repaint();
    strip->repaint();
    QTest::qWait(300);
    const QImage shot = frame().grab().toImage();
    ASSERT_TRUE(shot.save(screenshotPath("marks-and-overview.png")));
    const QImage stripShot = strip->grab().toImage();
    bool red = false;
    for (int y = 0; y < stripShot.height() && !red; ++y)
        red = stripShot.pixelColor(2, y) == QColor(255, 0, 0);
    EXPECT_TRUE(red) << "no red line in the overview strip";

    run(MenuCommand::EditClear);
    ASSERT_TRUE(waitFor([&] { return view().marks().empty(); }));
    frame().refreshCommandStates();
    EXPECT_FALSE(menuAction(QStringLiteral("Edit/Next Mark"))->isEnabled());
}

}  // namespace
}  // namespace nimbrel::test
