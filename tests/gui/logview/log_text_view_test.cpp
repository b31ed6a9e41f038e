// The log view widget driven with QTest under the offscreen platform.
#include "gui/logview/log_text_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "gui/logview/find_dialog.h"
#include "gui/logview/log_text_colour.h"
#include "gui/logview/view_font.h"
#include "log_view_test_app.h"

namespace nimbrel::gui {
namespace {

class LogTextViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::showFocusedLogView(view);
        if (HasFatalFailure()) return;
    }
    void addLines(int from, int to, QColor colour = QColor(128, 128, 128)) {
        for (int i = from; i < to; ++i)
            view->appendText(QStringLiteral("line %1\n").arg(i), colour);
    }

    // The centre of a character cell in viewport coordinates.
    QPoint cell(qint64 line, int column) const {
        const QFontMetricsF fm(view->font());
        const qreal w = fm.horizontalAdvance(QLatin1Char('0'));
        return QPoint(
            2 + static_cast<int>(w * column + w / 2) - view->horizontalScrollBar()->value(),
            static_cast<int>(static_cast<qreal>(line - view->firstVisibleLine()) * fm.height() +
                             fm.height() / 2));
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(view.get(), Qt::Key(k), m);
    }
    QScrollBar* vbar() const { return view->verticalScrollBar(); }

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
    // Columns line up on screen, whatever the face says of itself.
    const QFontMetricsF metrics(view->font());
    EXPECT_GT(metrics.horizontalAdvance('i'), 0);
    EXPECT_DOUBLE_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    EXPECT_DOUBLE_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('0'));

    const QImage shot = view->grab().toImage();
    if (const QString dir = qEnvironmentVariable("NIMBREL_GRAB_DIR"); !dir.isEmpty())
        shot.save(dir + "/log_text_view.png");
    // Somewhere in the first row the green text shows; the background is black.
    bool green = false;
    for (int x = 0; x < 200 && !green; ++x) {
        for (int y = 0; y < 14 && !green; ++y)
            green = shot.pixelColor(x, y).green() > 150 && shot.pixelColor(x, y).red() < 100;
    }
    EXPECT_TRUE(green);
    EXPECT_EQ(shot.pixelColor(600, 250), QColor(0, 0, 0));
}

// The face is chosen by its advances: a proportional candidate is passed over for the next
// one whose columns line up; with none, the last candidate stands.
TEST_F(LogTextViewTest, TheViewsFaceIsTheFirstCandidateWhoseColumnsLineUp) {
    const QFont proportional(QStringLiteral("Sans Serif"));
    const QFont monospaced(QStringLiteral("Monospace"));
    if (looksFixedPitch(proportional) || !looksFixedPitch(monospaced))
        GTEST_SKIP() << "this machine has no proportional and monospaced faces to tell apart";
    const QFont chosen = firstFixedLooking({proportional, monospaced});
    EXPECT_EQ(chosen, monospaced);
    EXPECT_EQ(firstFixedLooking({proportional}), proportional);
}

TEST_F(LogTextViewTest, KeyboardMovesTheCaretAndShiftExtendsTheSelection) {
    view->appendText(u"first line\nsecond one\nthird", LogTextView::defaultTextColour());
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedText(), "fi");
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedText(), "first line");
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view->selectedText(), "first line\nsecond one");
    key(Qt::Key_Right);  // collapses to the selection's end
    EXPECT_FALSE(view->hasSelection());
    EXPECT_EQ(view->caret(), (TextPos{1, 10}));
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(view->caret(), (TextPos{1, 7}));
    key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->selectedText(), "one\nthird");
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(view->caret().line, 2);

    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first line\nsecond one\nthird");
}

TEST_F(LogTextViewTest, MouseClickDragDoubleAndTripleClickSelect) {
    view->appendText(u"alpha beta_gamma delta\nsecond line here\n",
                     LogTextView::defaultTextColour());
    QWidget* vp = view->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, cell(0, 2));
    EXPECT_EQ(view->caret(), (TextPos{0, 2}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, cell(1, 3));
    EXPECT_EQ(view->selectedText(), "pha beta_gamma delta\nsec");

    QTest::mousePress(vp, Qt::LeftButton, {}, cell(0, 6));
    QMouseEvent move(QEvent::MouseMove, cell(0, 10), vp->mapToGlobal(cell(0, 10)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, cell(0, 10));
    EXPECT_EQ(view->selectedText(), "beta");

    QTest::mouseDClick(vp, Qt::LeftButton, {}, cell(0, 8));
    EXPECT_EQ(view->selectedText(), "beta_gamma");
    QTest::mousePress(vp, Qt::LeftButton, {}, cell(0, 8));  // third click
    QTest::mouseRelease(vp, Qt::LeftButton, {}, cell(0, 8));
    EXPECT_EQ(view->selectedText(), "alpha beta_gamma delta\n");
}

TEST_F(LogTextViewTest, DraggingBelowTheViewScrollsAndExtends) {
    addLines(0, 200);
    key(Qt::Key_Home, Qt::ControlModifier);
    QWidget* vp = view->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, cell(0, 0));
    const QPoint below(20, vp->height() + 30);
    QMouseEvent move(QEvent::MouseMove, below, vp->mapToGlobal(below), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::qWait(400);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, below);
    EXPECT_GT(vbar()->value(), 0);
    EXPECT_GT(view->caret().line, view->visibleLineCount());
    EXPECT_EQ(view->anchor(), (TextPos{0, 0}));
}

TEST_F(LogTextViewTest, TypingEditingUndoAndRedoMarkTheDocumentModified) {
    view->appendText(u"log line\n", QColor(0, 255, 0));
    QSignalSpy edited(view.get(), &LogTextView::userEdited);
    QSignalSpy undoState(view.get(), &LogTextView::undoAvailable);
    key(Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(view.get(), "note");
    key(Qt::Key_Backspace);
    key(Qt::Key_Return);
    QTest::keyClicks(view.get(), "x");
    EXPECT_EQ(view->plainText(), "log line\nnot\nx");
    EXPECT_GE(edited.count(), 3);
    ASSERT_FALSE(undoState.isEmpty());
    EXPECT_TRUE(undoState.last().at(0).toBool());

    // Text typed at the start of a coloured line takes that line's colour.
    key(Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(view.get(), ">");
    EXPECT_EQ(view->lineRuns(0).size(), 1);
    key(Qt::Key_Delete);
    EXPECT_EQ(view->lineText(0), ">og line");

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->lineText(0), ">log line");
    while (view->canUndo()) view->undo();
    EXPECT_EQ(view->plainText(), "log line\n");
    view->redo();
    EXPECT_TRUE(view->canRedo());
    while (view->canRedo()) view->redo();
    EXPECT_EQ(view->plainText(), ">og line\nnot\nx");

    // Appended lines are not edits: they leave undo alone and mark nothing modified.
    edited.clear();
    view->appendText(u"\nmore", QColor(255, 0, 0));
    EXPECT_TRUE(edited.isEmpty());
    EXPECT_TRUE(view->canUndo());
    view->clear();
    EXPECT_FALSE(view->canUndo());
    EXPECT_FALSE(view->hasText());
}

TEST_F(LogTextViewTest, PastesPlainTextOnlyAndCutsToTheClipboard) {
    view->appendText(u"one two three", LogTextView::defaultTextColour());
    QSignalSpy edited(view.get(), &LogTextView::userEdited);

    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(picture);
    EXPECT_FALSE(view->canPaste());
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(view->plainText(), "one two three");
    EXPECT_TRUE(edited.isEmpty());

    QGuiApplication::clipboard()->setText(QStringLiteral("pasted\r\ntext"));
    EXPECT_TRUE(view->canPaste());
    key(Qt::Key_End);
    view->paste();
    EXPECT_EQ(view->plainText(), "one two threepasted\ntext");
    EXPECT_EQ(edited.count(), 1);

    view->setSelection({0, 4}, {0, 8});
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "two ");
    EXPECT_EQ(view->lineText(0), "one threepasted");
}

TEST_F(LogTextViewTest, FollowsTheEndUntilTheUserScrollsUpOrSelects) {
    addLines(0, 500);
    EXPECT_TRUE(view->followsEnd());
    EXPECT_EQ(vbar()->value(), vbar()->maximum());
    addLines(500, 600);
    EXPECT_EQ(vbar()->value(), vbar()->maximum());
    EXPECT_EQ(view->firstVisibleLine() + view->visibleLineCount(), 601);

    // Scrolled up: the place stays while the scroll range grows.
    vbar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QTest::qWait(10);
    const int place = vbar()->value();
    const int range = vbar()->maximum();
    addLines(600, 700);
    EXPECT_EQ(vbar()->value(), place);
    EXPECT_EQ(vbar()->maximum(), range + 100);
    EXPECT_FALSE(view->followsEnd());

    // Back at the end: following again.
    vbar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QTest::qWait(10);
    addLines(700, 710);
    EXPECT_EQ(vbar()->value(), vbar()->maximum());
    EXPECT_TRUE(view->followsEnd());

    // A selection keeps its lines in view while lines arrive.
    view->setSelection({650, 0}, {650, 4});
    const int selectedPlace = vbar()->value();
    addLines(710, 800);
    EXPECT_EQ(vbar()->value(), selectedPlace);
    key(Qt::Key_End, Qt::ControlModifier);  // caret to the end: the selection is gone
    addLines(800, 810);
    EXPECT_EQ(vbar()->value(), vbar()->maximum());

    // The mouse wheel scrolls up just as well.
    const QPointF inside(50, 50);
    QWheelEvent wheel(inside, view->viewport()->mapToGlobal(inside), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QTest::qWait(10);
    const int wheeled = vbar()->value();
    EXPECT_LT(wheeled, vbar()->maximum());
    addLines(810, 900);
    EXPECT_EQ(vbar()->value(), wheeled);
}

TEST_F(LogTextViewTest, LongLinesScrollSidewaysWithoutWrapping) {
    const QString longLine = QString(2047, u'x');
    view->appendText(longLine + QStringLiteral("\nshort\n"), LogTextView::defaultTextColour());
    EXPECT_EQ(view->lineCount(), 2);
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 2000 * 5);
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_End);
    EXPECT_GT(view->horizontalScrollBar()->value(), 0);

    // Tabs stop every eight columns: the character after a tab lines up with column 8.
    view->clear();
    view->appendText(u"\tX\n12345678X\n", LogTextView::defaultTextColour());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(0, 8));
    EXPECT_EQ(view->caret(), (TextPos{0, 1}));
}

TEST_F(LogTextViewTest, ContextMenuRequestsReachTheOwnerAndDropsAreRefused) {
    view->appendText(u"text\n", LogTextView::defaultTextColour());
    QSignalSpy menu(view.get(), &LogTextView::contextMenuRequested);
    const QPoint at(30, 5);
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &mouse);
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu.at(0).at(0).toPoint(), view->viewport()->mapToGlobal(at));
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(0, 0),
                               view->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(view->viewport(), &keyboard);
    EXPECT_EQ(menu.count(), 2);

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/some.log"))});
    data.setText(QStringLiteral("dragged text"));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(view->plainText(), "text\n");
}

TEST_F(LogTextViewTest, FindDialogAndFindNextSelectMatchesAndWrap) {
    view->appendText(u"Alpha beta\nalphabet ALPHA\nlast alpha line\n",
                     LogTextView::defaultTextColour());
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    auto* dialog = view->findChild<FindDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    dialog->findEdit()->setText(QStringLiteral("alpha"));
    dialog->wholeWordBox()->setChecked(true);
    QTest::mouseClick(dialog->findNextButton(), Qt::LeftButton);
    EXPECT_EQ(view->anchor(), (TextPos{0, 0}));
    EXPECT_EQ(view->selectedText(), "Alpha");
    key(Qt::Key_F3);
    EXPECT_EQ(view->anchor(), (TextPos{1, 9}));  // "alphabet" is not a whole word
    key(Qt::Key_F3);
    EXPECT_EQ(view->anchor(), (TextPos{2, 5}));
    key(Qt::Key_F3);
    EXPECT_EQ(view->anchor(), (TextPos{0, 0}));  // wrapped

    dialog->matchCaseBox()->setChecked(true);
    dialog->upButton()->setChecked(true);
    QTest::mouseClick(dialog->findNextButton(), Qt::LeftButton);
    EXPECT_EQ(view->anchor(), (TextPos{2, 5}));  // backwards, wrapped, lower case only
    EXPECT_TRUE(dialog->status().isEmpty());
    dialog->findEdit()->setText(QStringLiteral("zeta"));
    QTest::mouseClick(dialog->findNextButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->status().isEmpty());
    EXPECT_EQ(view->anchor(), (TextPos{2, 5}));
}

TEST_F(LogTextViewTest, ReplaceAndReplaceAllUndoAsTheUserExpects) {
    view->appendText(u"err here\nno err, err\nfine\n", QColor(255, 0, 0));
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_H, Qt::ControlModifier);
    auto* dialog = view->findChild<FindDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->mode(), FindDialog::Mode::Replace);
    dialog->findEdit()->setText(QStringLiteral("err"));
    dialog->replaceEdit()->setText(QStringLiteral("warning"));
    QTest::mouseClick(dialog->findNextButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->replaceButton(), Qt::LeftButton);
    EXPECT_EQ(view->lineText(0), "warning here");
    EXPECT_EQ(view->selectedText(), "err");  // the next match
    EXPECT_EQ(view->lineRuns(0).size(), 1);  // the replacement takes the text's colour

    QTest::mouseClick(dialog->replaceAllButton(), Qt::LeftButton);
    EXPECT_EQ(view->plainText(), "warning here\nno warning, warning\nfine\n");
    view->undo();  // replace all is one step
    EXPECT_EQ(view->plainText(), "warning here\nno err, err\nfine\n");
    view->undo();
    EXPECT_EQ(view->plainText(), "err here\nno err, err\nfine\n");
}

// Finds, copies and replace-alls over millions of lines go on on the worker: the GUI thread
// takes lines meanwhile, the outcome comes with a signal, and an edit or a clear in between
// drops it.
TEST_F(LogTextViewTest, LongFindCopyAndReplaceAllGoOnOnTheWorker) {
    constexpr int kLines = 2'000'000;
    const QString thousand = QStringLiteral("plain grey text\n").repeated(1000);
    const auto fill = [&] {
        view->beginAppendBatch();
        for (int i = 0; i < kLines / 1000; ++i)
            view->appendText(thousand, LogTextView::defaultTextColour());
        view->appendText(u"the needle line\n", QColor(255, 0, 0));
        view->endAppendBatch();
        view->setSelection({0, 0}, {0, 0});
    };
    fill();
    QSignalSpy found(view.get(), &LogTextView::findFinished);
    EXPECT_FALSE(view->find(QStringLiteral("NEEDLE"), false, false, true));
    view->appendText(u"arrived while searching\n", LogTextView::defaultTextColour());
    ASSERT_TRUE(found.wait(30000));
    EXPECT_TRUE(found.at(0).at(0).toBool());
    EXPECT_EQ(view->anchor(), (TextPos{kLines, 4}));
    EXPECT_EQ(view->selectedText(), "needle");

    // Cleared while the worker searches: nothing is selected.
    found.clear();
    view->setSelection({0, 0}, {0, 0});
    EXPECT_FALSE(view->find(QStringLiteral("needle"), true, false, true));
    view->clear();
    ASSERT_TRUE(found.wait(30000));
    EXPECT_FALSE(found.at(0).at(0).toBool());
    EXPECT_FALSE(view->hasSelection());

    // A long selection is copied as it was when the copy started.
    fill();
    QSignalSpy copied(view.get(), &LogTextView::copyFinished);
    view->setSelection({kLines - 30000, 6}, {kLines, 10});
    view->copy();
    view->appendText(u"not copied\n", LogTextView::defaultTextColour());
    ASSERT_TRUE(copied.wait(30000));
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text.count(u'\n'), 30000);
    EXPECT_TRUE(text.startsWith("grey text\nplain grey text\n"));
    EXPECT_TRUE(text.endsWith("plain grey text\nthe needle"));

    // Replace All: the search on the worker, the edit on the GUI thread, one undo step.
    QSignalSpy replaced(view.get(), &LogTextView::replaceAllFinished);
    EXPECT_EQ(view->replaceAll(QStringLiteral("needle"), QStringLiteral("pin"), true, false), -1);
    ASSERT_TRUE(replaced.wait(30000));
    EXPECT_EQ(replaced.at(0).at(0).toInt(), 1);
    EXPECT_EQ(view->lineText(kLines), "the pin line");
    view->undo();
    EXPECT_EQ(view->lineText(kLines), "the needle line");
}

TEST_F(LogTextViewTest, PrintsToPdfWithTheTextOnIt) {
    for (int i = 0; i < 150; ++i)
        view->appendText(QStringLiteral("QZJX printed %1\n").arg(i), QColor(255, 255, 0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    view->print(&printer);
    const QPageLayout layout = printer.pageLayout();
    EXPECT_NEAR(layout.margins(QPageLayout::Inch).left(), 0.5, 0.01);
    EXPECT_NEAR(layout.margins(QPageLayout::Inch).bottom(), 0.5, 0.01);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    const auto pages = pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") +
                       pdf.count("/Type /Page ") + pdf.count("/Type /Page/") +
                       pdf.count("/Type /Page>");
    EXPECT_GE(pages, 2);  // 150 lines of 9 points do not fit one page
    // The fonts' maps from glyphs to characters hold the printed letters Q, Z, J and X.
    QByteArray maps;
    for (qsizetype at = pdf.indexOf("stream"); at >= 0; at = pdf.indexOf("stream", at + 6)) {
        qsizetype start = at + 6;
        if (pdf.mid(start, 2) == "\r\n") start += 2;
        else if (pdf[start] == '\n') start += 1;
        else continue;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0) break;
        // qUncompress wants the zlib data behind a big-endian size bound.
        QByteArray packed = QByteArray::fromHex("01000000") + pdf.mid(start, end - start);
        const QByteArray plain =
            pdf.mid(start - 80, 80).contains("FlateDecode") ? qUncompress(packed) : QByteArray();
        maps += plain.isEmpty() ? pdf.mid(start, end - start) : plain;
    }
    for (const char* code : {"<0051>", "<005A>", "<004A>", "<0058>"}) {
        EXPECT_TRUE(maps.contains(code) || maps.contains(QByteArray(code).toLower())) << code;
    }
}

// Colours made for a black screen print dark enough to read on white (contrast 4.5 or
// more) and keep their hue.
TEST(LogTextPrintColour, EveryTagColourStaysReadableOnWhitePaper) {
    auto luminance = [](const QColor& c) {
        auto lin = [](int v) {
            const double x = v / 255.0;
            return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.red()) + 0.7152 * lin(c.green()) + 0.0722 * lin(c.blue());
    };
    for (const QColor screen :
         {QColor(255, 255, 0), QColor(255, 255, 255), QColor(160, 160, 160), QColor(128, 128, 128),
          QColor(0, 255, 0), QColor(100, 255, 255), QColor(255, 0, 0), QColor(0, 0, 0)}) {
        const QColor paper = printColour(screen);
        EXPECT_GE(1.05 / (luminance(paper) + 0.05), 4.5) << screen.name().toStdString();
        if (screen.hsvSaturation() > 0) {
            EXPECT_NEAR(paper.hsvHue(), screen.hsvHue(), 2) << screen.name().toStdString();
        }
    }
    EXPECT_EQ(printColour(QColor(0, 0, 0)), QColor(0, 0, 0));
}

TEST_F(LogTextViewTest, ExposesVisibleTextAndCaretToAccessibility) {
    addLines(0, 3);
    view->setSelection({1, 5}, {1, 5});
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(iface, nullptr);
    QAccessibleTextInterface* text = iface->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), "line 0\nline 1\nline 2\n");
    EXPECT_EQ(text->cursorPosition(), 7 + 5);
    text->setSelection(0, 0, 4);
    EXPECT_EQ(view->selectedText(), "line");
}

}  // namespace
}  // namespace nimbrel::gui
