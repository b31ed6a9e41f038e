// The log view's line store: appends, colour runs, edits and their undo, against plain
// models of the text.
#include "gui/logview/line_store.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "gui/logview/log_edit_history.h"
#include "log_view_test_app.h"
#include "support/temp_dir.h"

namespace nimbrel::gui {
namespace {

constexpr Colour kGrey = 0x808080, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

QString all(const LineStore& s) { return s.text({}, s.endPos()); }

std::vector<ColourRun> runs(std::initializer_list<ColourRun> r) { return r; }

TEST(LineStore, AppendsSplitLinesAtEveryKindOfLineEnd) {
    struct Case {
        std::vector<QString> appends;
        QStringList lines;
    };
    const Case cases[] = {
        {{"one line\n"}, {"one line", ""}},
        {{"a\nb\nc"}, {"a", "b", "c"}},
        {{"start ", "continued", " end\n", "next"}, {"start continued end", "next"}},
        {{"crlf\r\nlf\ncr\rend"}, {"crlf", "lf", "cr", "end"}},
        // A line of an opened text log brings its own "\r"; a "\n" that follows in the
        // next append belongs to the same line end.
        {{"first\r", "\nsecond\r", "third"}, {"first", "second", "third"}},
        {{"\n\n"}, {"", "", ""}},
        {{QString::fromUtf8("中文 ünï😀code\n")}, {QString::fromUtf8("中文 ünï😀code"), ""}},
    };
    for (const Case& c : cases) {
        LineStore s;
        for (const QString& a : c.appends) s.append(a, kGrey);
        QStringList got;
        for (std::int64_t l = 0; l < s.lineCount(); ++l) got << s.lineText(l);
        EXPECT_EQ(got, c.lines) << c.appends.front().toStdString();
        EXPECT_EQ(all(s), c.lines.join(u'\n'));
    }
}

TEST(LineStore, ColourRunsFollowTheAppendsThatMadeTheLine) {
    LineStore s;
    s.append(u"12:00 [G] ", kGreen);
    s.append(u"red part", kRed);
    s.append(u" more red\nnew line ", kRed);
    s.append(u"blue\n", kBlue);
    EXPECT_EQ(s.lineRuns(0), runs({{0, 10, kGreen}, {10, 17, kRed}}));
    EXPECT_EQ(s.lineRuns(1), runs({{0, 9, kRed}, {9, 4, kBlue}}));
    EXPECT_TRUE(s.lineRuns(2).empty());
    EXPECT_EQ(s.textBytes(), std::uint64_t(all(s).toUtf8().size()));
}

TEST(LineStore, EditsAtStartMiddleAndEndUndoAndRedoWithTheirColours) {
    LineStore s;
    s.append(u"alpha\n", kRed);
    s.append(u"beta\n", kGreen);
    s.append(u"gamma", kBlue);
    LogEditHistory h;
    const QString original = all(s);
    const auto colours = [&] {
        std::vector<std::vector<ColourRun>> out;
        for (std::int64_t l = 0; l < s.lineCount(); ++l) out.push_back(s.lineRuns(l));
        return out;
    };
    const auto originalColours = colours();

    TextFragment ins{"X\nY", {{0, 3, kGrey}}};
    h.apply(s, {0, 0}, {0, 0}, ins, false);                                  // start
    h.apply(s, {2, 1}, {3, 2}, TextFragment{"--", {{0, 2, kGrey}}}, false);  // middle, across lines
    h.apply(s, s.endPos(), s.endPos(), TextFragment{"!", {{0, 1, kGrey}}}, false);  // end
    EXPECT_EQ(all(s), "X\nYalpha\nb--mma!");
    EXPECT_EQ(s.lineRuns(1), runs({{0, 1, kGrey}, {1, 5, kRed}}));
    EXPECT_EQ(s.lineRuns(2), runs({{0, 1, kGreen}, {1, 2, kGrey}, {3, 3, kBlue}, {6, 1, kGrey}}));

    while (h.canUndo()) h.undo(s);
    EXPECT_EQ(all(s), original);
    EXPECT_EQ(colours(), originalColours);
    while (h.canRedo()) h.redo(s);
    EXPECT_EQ(all(s), "X\nYalpha\nb--mma!");
}

TEST(LineStore, TypingMergesIntoOneUndoStepUntilSomethingElseHappens) {
    LineStore s;
    s.append(u"log\n", kGrey);
    LogEditHistory h;
    TextPos at{1, 0};
    for (QChar c : QStringLiteral("abc"))
        at = h.apply(s, at, at, TextFragment{QString(c), {{0, 1, kGrey}}}, true);
    h.breakTyping();
    at = h.apply(s, at, at, TextFragment{"d", {{0, 1, kGrey}}}, true);
    EXPECT_EQ(all(s), "log\nabcd");
    h.undo(s);
    EXPECT_EQ(all(s), "log\nabc");
    h.undo(s);
    EXPECT_EQ(all(s), "log\n");
    EXPECT_FALSE(h.canUndo());
}

TEST(LineStore, MemoryFollowsTheIndexForManyLinesAndTheTextForOneLongGrowingLine) {
    test::TempDir dir;
    LineStore::Options options{dir.path(), {}};
    options.limits.cachedChunks = 2;
    LineStore many(options);
    const QString line =
        QStringLiteral("12:34:56.789  [COM] [G] [00001] [000] [000] [00000] conn 1, handle 12c\n");
    for (int i = 0; i < 200000; ++i) many.append(line, i % 3 ? kGreen : kRed);
    EXPECT_EQ(many.textBytes(), std::uint64_t(200000) * std::uint64_t(line.size()));
    // The text goes to the scratch file; what stays is the index and a few chunks.
    // (The writer works on its own thread: on a busy machine it takes a while.)
    for (int i = 0; i < 500 && (many.scratchBytes() < many.textBytes() / 2 ||
                                many.memoryBytes() >= many.textBytes() / 2);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        many.full();  // collects the writer's progress
    }
    EXPECT_GT(many.scratchBytes(), many.textBytes() / 2);
    EXPECT_LT(many.memoryBytes(), many.textBytes() / 2);

    // A line continued piece by piece (a text log whose lines end in a bare line feed)
    // grows in place instead of leaving a copy behind for every piece.
    LineStore one(LineStore::Options{dir.path(), {}});
    const QString piece(1000, u'x');
    for (int i = 0; i < 4000; ++i) one.append(piece, kGrey);
    EXPECT_EQ(one.lineCount(), 1);
    EXPECT_EQ(one.lineLength(0), 4000000);
    EXPECT_LT(one.memoryBytes(), 4 * one.textBytes());
}

// Random edits and appends against a plain UTF-16 string give the same text.
TEST(LineStore, RandomEditsMatchAPlainStringModel) {
    std::mt19937 rng(12345);
    LineStore s;
    LogEditHistory h;
    std::u16string model;
    std::u16string base;  // the text when the history was last emptied
    const std::u16string alphabet = u"ab c\n\tü中\r";
    auto randomText = [&](int maxLen) {
        std::u16string t;
        const int n = std::uniform_int_distribution<int>(0, maxLen)(rng);
        for (int i = 0; i < n; ++i)
            t += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        return t;
    };
    // The model's (line, column) to offset.
    auto offsetOf = [&](TextPos p) {
        std::size_t off = 0;
        for (std::int64_t l = 0; l < p.line; ++l) off = model.find(u'\n', off) + 1;
        return off + static_cast<std::size_t>(p.column);
    };
    auto randomPos = [&] {
        const std::int64_t line =
            std::uniform_int_distribution<std::int64_t>(0, s.lineCount() - 1)(rng);
        return TextPos{line, std::uniform_int_distribution<int>(0, s.lineLength(line))(rng)};
    };

    for (int step = 0; step < 100000; ++step) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
        if (kind == 0) {
            std::u16string t = randomText(6);
            if (!t.empty() && t.back() == u'\r') t.back() = u'y';
            s.append(QStringView(t.data(), qsizetype(t.size())), kRed);
            model += test::withLfBreaks(t);
            h.clear();
            base = model;
        } else if (kind <= 6) {
            TextPos a = randomPos(), b = randomPos();
            if (b < a) std::swap(a, b);
            const std::u16string t = test::withLfBreaks(randomText(4));
            const TextFragment f{
                QString::fromStdU16String(t),
                t.empty() ? std::vector<ColourRun>{} : runs({{0, int(t.size()), kGreen}})};
            h.apply(s, a, b, f, kind == 1);
            const std::size_t from = offsetOf(a), to = offsetOf(b);
            model.replace(from, to - from, t);
        } else if (kind <= 8) {
            // Undo everything since the last append, then redo it all.
            while (h.canUndo()) h.undo(s);
            ASSERT_EQ(all(s).toStdU16String(), base) << "step " << step;
            while (h.canRedo()) h.redo(s);
        } else if (model.size() > 3000) {
            s.clear();
            h.clear();
            model.clear();
            base.clear();
        }
        ASSERT_EQ(all(s).toStdU16String(), model) << "step " << step;
    }
}

}  // namespace
}  // namespace nimbrel::gui
