// The log view widget driven with QTest under the offscreen platform.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "gui/log_text_view.h"
#include "log_view_test_app.h"

namespace nimbrel::gui {
namespace {

class LogTextViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::logViewTestApp();
        view = std::make_unique<LogTextView>();
        view->resize(640, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->setFocus();
    }
    void addLines(int from, int to, QColor colour = QColor(128, 128, 128)) {
        for (int i = from; i < to; ++i) view->appendText(QStringLiteral("line %1\n").arg(i), colour);
    }

    std::unique_ptr<LogTextView> view;
};

TEST_F(LogTextViewTest, ShowsColouredLinesGreyOnBlack) {
    view->appendText(u"12:00:00.000 [G] started\n", QColor(0, 255, 0));
    view->appendText(u"plain grey line\n", LogTextView::defaultTextColour());
    EXPECT_EQ(view->lineCount(), 2);
    EXPECT_EQ(view->plainText(), "12:00:00.000 [G] started\nplain grey line\n");
    ASSERT_EQ(view->lineRuns(0).size(), 1);
    EXPECT_EQ(view->lineRuns(0)[0].colour, QColor(0, 255, 0));
    EXPECT_EQ(view->font().pointSize(), 9);
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());

    const QImage shot = view->grab().toImage();
    if (const QString dir = qEnvironmentVariable("NIMBREL_GRAB_DIR"); !dir.isEmpty()) shot.save(dir + "/log_text_view.png");
    // Somewhere in the first row the green text shows; the background is black.
    bool green = false;
    for (int x = 0; x < 200 && !green; ++x) {
        for (int y = 0; y < 14 && !green; ++y) green = shot.pixelColor(x, y).green() > 150 && shot.pixelColor(x, y).red() < 100;
    }
    EXPECT_TRUE(green);
    EXPECT_EQ(shot.pixelColor(600, 250), QColor(0, 0, 0));
}

}  // namespace
}  // namespace nimbrel::gui
