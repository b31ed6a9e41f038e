// The tag filters in the window: View > Filter by its menu, the status bar's count, marks
// on shown lines, Show All Lines, and a picture of the result.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>

#include "gui/logview/shown_lines.h"
#include "gui/window/capture_status.h"
#include "gui/window/command_table.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_view.h"
#include "pipeline/settings_store.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

class FiltersWindowTest : public WindowTest {};

TEST_F(FiltersWindowTest, GreyAndDecodedLinesHiddenByTheMenuWithMarksAndTheCount) {
    startApp();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
    run(MenuCommand::EditClear);
    ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
    // Records with a decoded line under every fourth, a red one now and then, a console line.
    for (int i = 0; i < 400; ++i) {
        const bool red = i % 9 == 4;
        const QColor c = red ? QColor(255, 0, 0) : QColor(160, 160, 160);
        view().appendText(QStringLiteral("12:00:%1.%2  [COM] %3 [%4]  le conn event: handle 0x%5\n")
                              .arg(i / 10 % 60, 2, 10, QLatin1Char('0'))
                              .arg(i % 10 * 100, 3, 10, QLatin1Char('0'))
                              .arg(red ? "[R]" : "[D]")
                              .arg(i, 5, 10, QLatin1Char('0'))
                              .arg(i % 7),
                          c);
        if (i % 4 == 0)
            view().appendText(
                QStringLiteral("\tOpcode: 0x0c%1\n").arg(i % 256, 2, 16, QLatin1Char('0')), c);
        if (i % 50 == 10)
            view().appendText(QStringLiteral("[G] console line %1\n").arg(i), QColor(0, 255, 0));
    }
    // The count follows the text without waiting for the panes' timer.
    EXPECT_EQ(frame().statusPanes()->linesPane()->text(), QStringLiteral("508 lines"));
    frame().refreshCommandStates();
    QAction* grey = menuAction(QStringLiteral("View/Filter/[D] and Untagged Lines"));
    QAction* decoded = menuAction(QStringLiteral("View/Filter/Decoded Lines"));
    ASSERT_TRUE(grey && decoded);
    EXPECT_TRUE(grey->isChecked());
    EXPECT_FALSE(menuAction(QStringLiteral("File/Export Shown Lines..."))->isEnabled());

    // Turned off by the menu: the grey records and the decoded lines go from the screen.
    grey->trigger();
    frame().refreshCommandStates();
    EXPECT_FALSE(grey->isChecked());
    EXPECT_TRUE(view().filterActive());
    EXPECT_TRUE(menuAction(QStringLiteral("File/Export Shown Lines..."))->isEnabled());
    // Decoded lines under red records still show until their own filter goes too.
    const qint64 withDecoded = view().shownLines().shownLines();
    decoded->trigger();
    const qint64 shown = view().shownLines().shownLines();
    EXPECT_LT(shown, withDecoded);
    EXPECT_EQ(shown, 44 + 8);  // red records, console lines
    frame().statusPanes()->refresh();
    EXPECT_EQ(frame().statusPanes()->linesPane()->text(),
              QStringLiteral("%1 of %2 lines shown").arg(shown).arg(view().lineCount()));
    // The filter is kept for the next start.
    EXPECT_EQ(SettingsStore().GetLineFilter(), u"RYGBW");

    // Marks on shown lines by keys: Ctrl+Home, down twice, Ctrl+F2.
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view(), Qt::Key_Down);
    QTest::keyClick(&view(), Qt::Key_Down);
    QTest::keyClick(&view(), Qt::Key_F2, Qt::ControlModifier);
    const qint64 marked = view().caret().line;
    EXPECT_EQ(view().lineOfRow(2), marked);
    EXPECT_TRUE(view().lineText(marked).contains("[R]"));
    for (int i = 0; i < 5; ++i) QTest::keyClick(&view(), Qt::Key_Down);
    QTest::keyClick(&view(), Qt::Key_F2, Qt::ControlModifier);
    view().setSelection({marked, 0}, {marked, 0});

    view().repaint();
    QTest::qWait(300);
    const QImage shot = frame().grab().toImage();
    ASSERT_TRUE(shot.save(screenshotPath("marks-and-filters.png")));

    run(MenuCommand::FilterShowAll);
    EXPECT_FALSE(view().filterActive());
    EXPECT_EQ(view().rowCount(), view().store().lineCount());
    EXPECT_TRUE(view().marks().contains(marked));
    EXPECT_EQ(SettingsStore().GetLineFilter(), u"RYGBWD+");
}

}  // namespace
}  // namespace nimbrel::test
