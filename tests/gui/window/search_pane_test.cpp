// The search pane in the window, driven with the keyboard and the mouse: Ctrl+Shift+F,
// typing, Enter, a click on a result, next and previous hits, new lines while the pane is
// open, marks listed among the hits, the history kept, and the hits and a highlight rule
// drawn in the view (with a picture of it all).
#include "gui/window/search_pane.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "gui/logview/search_line_set.h"
#include "gui/logview/shown_lines.h"
#include "gui/window/highlight_rules.h"
#include "gui/window/search_results_list.h"
#include "pipeline/settings_store.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

class SearchPaneTest : public WindowTest {
protected:
    gui::SearchPane& pane() { return *frame().searchPane(); }
    QComboBox* box() { return pane().findChild<QComboBox*>("searchText"); }
    QString count() { return pane().findChild<QLabel*>("searchCount")->text(); }
    bool searched(const QString& expected) {
        return waitFor([&] { return pane().search().complete() && count() == expected; });
    }

    // Formatter-like lines; every 7th holds "channel 37" once.
    void fill(int from, int to) {
        for (int i = from; i < to; ++i) {
            const QString channel = i % 7 == 0 ? "37" : QString::number(10 + i % 20);
            view().appendText(QString("09:00:%1.%2  [G] [%3] le conn event: handle 0x%4, "
                                      "channel %5\n")
                                  .arg(i / 1000 % 60, 2, 10, QChar('0'))
                                  .arg(i % 1000, 3, 10, QChar('0'))
                                  .arg(i, 5, 10, QChar('0'))
                                  .arg(i % 256, 0, 16)
                                  .arg(channel),
                              i % 3 == 0 ? QColor(0, 255, 0) : QColor(0, 255, 255));
        }
    }
};

TEST_F(SearchPaneTest, FindsListsAndWalksThroughHitsFromTheKeyboardAndMouse) {
    startApp();
    view().clear();
    fill(0, 3000);
    const std::int64_t expected = (3000 + 6) / 7;

    QTest::keyClick(&frame(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(waitFor([&] { return pane().isVisible(); }));
    EXPECT_TRUE(pane().isAncestorOf(QApplication::focusWidget()));
    QTest::keyClicks(box()->lineEdit(), "CHANNEL 37");
    ASSERT_TRUE(searched(QString("%L1 hits").arg(expected))) << count().toStdString();
    EXPECT_EQ(pane().results().rowCount(), expected);

    // Enter searches at once and selects the first hit after the caret.
    view().setSelection({0, 0}, {0, 0});
    QTest::keyClick(box()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(view().caret().line, 7);
    EXPECT_EQ(view().selectedText(), "channel 37");
    EXPECT_EQ(pane().history().value(0), "CHANNEL 37");

    // A click on a row selects that line's match; Enter on the list does the same.
    gui::SearchResultsList& list = pane().results();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.rowPoint(3) + QPoint(20, 4));
    EXPECT_EQ(view().caret().line, 21);
    EXPECT_EQ(view().selectedText(), "channel 37");
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(view().caret().line, 28);

    // Next and previous: the keys and the buttons; past the last hit from the top again.
    QTest::keyClick(&list, Qt::Key_F4);
    EXPECT_EQ(view().caret().line, 35);
    QTest::keyClick(&list, Qt::Key_F4, Qt::ShiftModifier);
    QTest::keyClick(&list, Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_EQ(view().caret().line, 21);
    QTest::mouseClick(pane().findChild<QToolButton*>("searchNext"), Qt::LeftButton);
    EXPECT_EQ(view().caret().line, 28);
    view().setSelection({2996, 0}, {2996, 0});
    QTest::mouseClick(pane().findChild<QToolButton*>("searchNext"), Qt::LeftButton);
    EXPECT_EQ(view().caret().line, 0);
    QTest::mouseClick(pane().findChild<QToolButton*>("searchPrevious"), Qt::LeftButton);
    EXPECT_EQ(view().caret().line, 2996);

    // Match case finds none of the upper-case text; a regular expression finds them again.
    QTest::mouseClick(pane().findChild<QCheckBox*>("searchMatchCase"), Qt::LeftButton);
    ASSERT_TRUE(searched("0 hits")) << count().toStdString();
    box()->lineEdit()->selectAll();
    QTest::keyClicks(box()->lineEdit(), "handle 0x[0-9a-f]+, channel 3[7]");
    QTest::mouseClick(pane().findChild<QCheckBox*>("searchRegex"), Qt::LeftButton);
    ASSERT_TRUE(searched(QString("%L1 hits").arg(expected))) << count().toStdString();
}

TEST_F(SearchPaneTest, FollowsNewLinesListsMarksAndDrawsHitsInTheView) {
    startApp();
    view().clear();
    fill(0, 200);
    frame().routeCommand(MenuCommand::ViewSearchPane);
    pane().searchFor({"channel 37", false, false, false});
    ASSERT_TRUE(searched("29 hits")) << count().toStdString();

    // Lines that arrive while the pane is open are searched as they come.
    fill(200, 400);
    ASSERT_TRUE(searched("58 hits")) << count().toStdString();
    EXPECT_TRUE(pane().search().matches(399));
    EXPECT_FALSE(pane().search().matches(398));
    // An edit above the hits searches again: the line numbers moved.
    view().setSelection({0, 0}, {1, 0});
    view().deleteSelection();
    ASSERT_TRUE(
        waitFor([&] { return pane().search().complete() && pane().search().matches(398); }));
    EXPECT_EQ(pane().search().hits()->count(), 57);

    // The view's marks are listed among the hits; the filter and the overview strip get
    // the hits while a search is set.
    view().marks().toggle(2);
    view().marks().toggle(5);
    ASSERT_TRUE(waitFor([&] { return pane().results().rowCount() == 59; }));
    EXPECT_EQ(pane().results().lineAt(0), 2);
    EXPECT_EQ(pane().results().lineAt(1), 5);
    EXPECT_EQ(view().shownLines().searchSet(), frame().searchLines());
    EXPECT_TRUE(frame().searchLines()->contains(398));
    EXPECT_TRUE(frame().searchLines()->anyIn(390, 399));
    EXPECT_FALSE(frame().searchLines()->anyIn(392, 398));

    // The hits and a highlight rule show in the view.
    frame().highlighter()->setRules({{"\\[G\\]", true, true, QColor(120, 0, 90), true}});
    view().setSelection({6, 0}, {6, 0});
    pane().results().setCurrentLine(6);
    frame().resize(1100, 700);
    QApplication::processEvents();
    const QImage shot = frame().grab().toImage();
    ASSERT_TRUE(shot.save(screenshotPath("search-pane.png")));
    const QImage viewShot = view().viewport()->grab().toImage();
    bool hitShown = false, ruleShown = false;
    for (int y = 0; y < viewShot.height(); ++y) {
        for (int x = 0; x < viewShot.width(); ++x) {
            const QColor c = viewShot.pixelColor(x, y);
            hitShown = hitShown || c == gui::kSearchHitBackground;
            ruleShown = ruleShown || c == QColor(120, 0, 90);
        }
    }
    EXPECT_TRUE(hitShown);
    EXPECT_TRUE(ruleShown);

    // No search, no search lines for the filter.
    pane().searchFor({"", false, false, false});
    EXPECT_EQ(view().shownLines().searchSet(), nullptr);

    // The pane stays open at the next start, with the window's layout.
    stopApp();
    startApp();
    EXPECT_TRUE(pane().isVisible());
    frame().routeCommand(MenuCommand::ViewSearchPane);  // the keyboard goes to the pane
    frame().routeCommand(MenuCommand::ViewSearchPane);  // and the pane away
    EXPECT_FALSE(pane().isVisible());
}

TEST(HighlightRules, SurviveTheirTextInTheSettings) {
    const std::vector<gui::HighlightRule> rules = {
        {"le conn\tevent", false, true, QColor(10, 20, 30), true},
        {"0x[0-9a-f]+", true, false, QColor(200, 0, 0), false},
    };
    EXPECT_EQ(gui::highlightRulesFromText(gui::highlightRulesText(rules)), rules);
    EXPECT_TRUE(gui::highlightRulesFromText("on\tnot a colour\ttext\tcase\tx\nrubbish").empty());
}

}  // namespace
}  // namespace nimbrel::test
