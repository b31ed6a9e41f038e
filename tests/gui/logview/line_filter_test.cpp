// The tag filters: the shown-line map against a plain model, and the log view with a
// filter on through edits, appends, copy, export and find.
#include "gui/logview/line_filter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <random>
#include <set>

#include "gui/logview/log_text_view.h"
#include "gui/logview/shown_line_map.h"
#include "gui/logview/shown_lines.h"
#include "log_view_test_app.h"

namespace nimbrel::gui {
namespace {

TEST(ShownLineMapTest, RankAndSelectFollowAppendsSplicesAndCutsLikeAPlainList) {
    std::mt19937 rng(22);
    ShownLineMap map;
    std::vector<bool> model;
    auto check = [&](const char* step) {
        ASSERT_EQ(map.size(), static_cast<std::int64_t>(model.size())) << step;
        std::int64_t shown = 0;
        for (std::size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(map.shown(static_cast<std::int64_t>(i)), model[i]) << step << " line " << i;
            ASSERT_EQ(map.rank(static_cast<std::int64_t>(i)), shown) << step << " line " << i;
            if (model[i]) {
                ASSERT_EQ(map.select(shown), static_cast<std::int64_t>(i)) << step;
                ++shown;
            }
        }
        ASSERT_EQ(map.shownCount(), shown) << step;
        ASSERT_EQ(map.rank(map.size()), shown) << step;
        ASSERT_EQ(map.select(shown), -1) << step;
    };
    auto randomBits = [&](std::size_t n, int percentShown) {
        std::vector<bool> bits(n);
        for (std::size_t i = 0; i < n; ++i) bits[i] = static_cast<int>(rng() % 100) < percentShown;
        return bits;
    };
    for (const bool b : randomBits(5000, 30)) {
        map.append(b);
        model.push_back(b);
    }
    check("appended");
    // Splices at block and word edges and anywhere: lines in, lines out, both.
    struct Splice {
        std::int64_t first, removed;
        std::size_t inserted;
    };
    const Splice splices[] = {{0, 0, 3},    {0, 5, 0},       {511, 2, 700}, {512, 0, 64},
                              {63, 64, 1},  {4000, 1000, 0}, {100, 1, 1},   {1024, 1500, 33},
                              {2000, 0, 1}, {0, 0, 0}};
    for (const Splice& s : splices) {
        const std::int64_t first = std::min<std::int64_t>(s.first, map.size());
        const std::int64_t removed = std::min<std::int64_t>(s.removed, map.size() - first);
        const std::vector<bool> in = randomBits(s.inserted, 60);
        map.splice(first, removed, in);
        model.erase(model.begin() + first, model.begin() + first + removed);
        model.insert(model.begin() + first, in.begin(), in.end());
        check("spliced");
    }
    map.truncate(1500);
    model.resize(1500);
    check("truncated");
    for (const bool b : randomBits(600, 90)) {
        map.append(b);
        model.push_back(b);
    }
    check("appended after the cut");
}

TEST(LineFilterTest, KindsComeFromTheColourAndALeadingTabAndSurviveTheSettingsText) {
    EXPECT_EQ(lineTagOf(0xFF0000, false), LineTag::Red);
    EXPECT_EQ(lineTagOf(0x64FFFF, false), LineTag::Blue);
    EXPECT_EQ(lineTagOf(0xA0A0A0, false), LineTag::Grey);  // "[D]" records
    EXPECT_EQ(lineTagOf(0x808080, false), LineTag::Grey);  // untagged text
    EXPECT_EQ(lineTagOf(0xFF0000, true), LineTag::Decoded);
    LineFilter f;
    EXPECT_FALSE(f.active());
    f.tags[static_cast<int>(LineTag::Grey)] = false;
    f.onlySearch = true;
    EXPECT_TRUE(f.active());
    EXPECT_EQ(LineFilter::fromText(f.toText()), f);
    EXPECT_EQ(LineFilter::fromText("garbage"), LineFilter{});
}

// Lines whose shown kind is known from their text: "R" red, "G" green, "D" grey, "T"
// decoded (a tab first).
QColor colourOfKind(QChar kind) {
    switch (kind.unicode()) {
    case u'R': return QColor(255, 0, 0);
    case u'G': return QColor(0, 255, 0);
    default: return QColor(160, 160, 160);
    }
}

class SetOfLines : public LineSet {
public:
    bool contains(std::int64_t line) const override { return lines.count(line) > 0; }
    bool anyIn(std::int64_t first, std::int64_t last) const override {
        auto it = lines.lower_bound(first);
        return it != lines.end() && *it < last;
    }
    std::set<std::int64_t> lines;
};

class FilteredViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::logViewTestApp();
        view = std::make_unique<LogTextView>();
        view->resize(640, 200);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->setFocus();
        // 300 lines: kinds R, D, T, G, D, T, ...
        for (int i = 0; i < 300; ++i) add(i);
        LineFilter f;
        f.tags[static_cast<int>(LineTag::Grey)] = false;
        f.tags[static_cast<int>(LineTag::Decoded)] = false;
        view->setLineFilter(f);
    }
    void add(int i) {
        static const QString kinds = QStringLiteral("RDTGDT");
        const QChar kind = kinds[i % kinds.size()];
        const QString text = kind == u'T' ? QStringLiteral("\tdecoded %1").arg(i)
                                          : QStringLiteral("%1 line %2").arg(kind).arg(i);
        view->appendText(text + u'\n', colourOfKind(kind));
    }
    // What the rows show, against a plain walk over the lines: red and green lines that
    // do not start with a tab.
    void expectRowsMatchTheText(const char* step) {
        QStringList expected;
        for (qint64 l = 0; l < view->store().lineCount() - 1; ++l) {
            const QString t = view->lineText(l);
            const QList<LogTextView::Run> runs = view->lineRuns(l);
            const QColor c = runs.isEmpty() ? QColor() : runs.front().colour;
            if (!t.startsWith(u'\t') && (c == QColor(255, 0, 0) || c == QColor(0, 255, 0)))
                expected << t;
        }
        QStringList rows;
        for (qint64 r = 0; r + 1 < view->rowCount(); ++r)
            rows << view->lineText(view->lineOfRow(r));
        EXPECT_EQ(rows, expected) << step;
        EXPECT_EQ(view->shownLines().shownLines(), expected.size()) << step;
    }

    std::unique_ptr<LogTextView> view;
};

TEST_F(FilteredViewTest, TheFilterFollowsTypingCutAndUndoAboveItAndAppendsAtTheEnd) {
    ASSERT_TRUE(view->filterActive());
    EXPECT_EQ(view->rowCount(), 100 + 1);  // the open last line stays a row
    expectRowsMatchTheText("filtered");

    // Typing a new line above the shown ones, and a decoded line typed in the middle.
    view->setSelection({0, 0}, {0, 0});
    QTest::keyClicks(view.get(), "typed");
    QTest::keyClick(view.get(), Qt::Key_Return);
    expectRowsMatchTheText("typed");
    // A cut over hidden and shown lines.
    view->setSelection({10, 0}, {40, 0});
    view->cut();
    expectRowsMatchTheText("cut");
    view->undo();
    view->undo();
    view->undo();
    expectRowsMatchTheText("undone");
    EXPECT_EQ(view->lineText(0), "R line 0");

    // Replace All rewrites lines in place: red records that gain a leading tab count as
    // decoded lines and go; its undo brings them back, its redo takes them again.
    EXPECT_EQ(view->replaceAll(QStringLiteral("R line"), QStringLiteral("\tR line"), true, false),
              50);
    expectRowsMatchTheText("replaced");
    view->undo();
    expectRowsMatchTheText("replace undone");
    view->redo();
    expectRowsMatchTheText("replace redone");
    view->undo();
    expectRowsMatchTheText("replace undone again");

    // Appends are filtered as they arrive and the view keeps following the end.
    view->setSelection(view->store().endPos(), view->store().endPos());
    ASSERT_TRUE(view->followsEnd());
    for (int i = 300; i < 330; ++i) add(i);
    expectRowsMatchTheText("appended");
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    EXPECT_EQ(view->lineText(view->lineOfRow(view->rowCount() - 2)), "G line 327");

    // Down goes from shown line to shown line.
    view->setSelection({0, 0}, {0, 0});
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->lineText(view->caret().line), "G line 3");
}

TEST_F(FilteredViewTest, CopyAndExportTakeTheShownLinesSaveTakesAll) {
    view->setSelection({0, 0}, {7, 0});
    view->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "R line 0\nG line 3\nR line 6");

    std::u16string exported, saved;
    const auto snapshot = view->store().snapshot();
    ASSERT_TRUE(
        snapshot->writeTextLog([&](std::u16string_view u) { return exported.append(u), true; },
                               view->shownLines().keeper()));
    ASSERT_TRUE(
        snapshot->writeTextLog([&](std::u16string_view u) { return saved.append(u), true; }));
    const QString e = QString::fromStdU16String(exported), s = QString::fromStdU16String(saved);
    EXPECT_TRUE(e.startsWith("R line 0\r\nG line 3\r\nR line 6\r\n")) << e.left(80).toStdString();
    EXPECT_EQ(e.count("\r\n"), 100);
    EXPECT_EQ(s.count("\r\n"), 300);
}

TEST_F(FilteredViewTest, FindOnAHiddenLineRevealsItAndOnlySearchHitsShowWithASearchSet) {
    QSignalSpy revealed(view.get(), &LogTextView::hiddenLineRevealed);
    view->setSelection({0, 0}, {0, 0});
    ASSERT_TRUE(view->find("decoded 8", true, false, true));
    EXPECT_EQ(view->caret(), (TextPos{8, 10}));
    ASSERT_EQ(revealed.count(), 1);
    EXPECT_TRUE(view->shownLines().isShown(8));
    EXPECT_EQ(view->lineOfRow(view->rowOfLine(8)), 8);
    EXPECT_EQ(view->shownLines().shownLines(), 101);

    SetOfLines hits;
    hits.lines = {0, 1, 3, 9};
    view->setSearchFilter(&hits);
    LineFilter f = view->lineFilter();
    f.onlySearch = true;
    view->setLineFilter(f);
    EXPECT_EQ(view->shownLines().shownLines(), 3);  // 0 and 3 shown kinds, 9 "G line 9"
    EXPECT_EQ(view->lineOfRow(2), 9);
    hits.lines.insert(12);
    emit hits.changed();
    EXPECT_EQ(view->shownLines().shownLines(), 4);
    view->setLineFilter(LineFilter{});
    EXPECT_FALSE(view->filterActive());
    EXPECT_EQ(view->rowCount(), view->store().lineCount());
}

}  // namespace
}  // namespace nimbrel::gui
