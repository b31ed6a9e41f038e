// The search over the line store against a naive model: random lines (stored, edited in
// the middle, spilled to disk in tiny chunks, an open last line), random queries (literal
// and regular expressions, with and without case, whole words) on every engine, the
// prefilter's literal, and a search that follows appended lines.
#include "gui/logview/store_search.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "gui/logview/hit_set.h"
#include "gui/logview/line_matcher.h"
#include "gui/logview/line_store.h"
#include "support/temp_dir.h"

namespace nimbrel::gui {
namespace {

bool isWord(QChar c) {
    return c.unicode() >= 0x80 || c.isDigit() || (c.unicode() < 0x80 && c.isLetter()) || c == u'_';
}

// What the search must find, with nothing but QString and QRegularExpression.
std::vector<std::int64_t> naiveHits(const LineStore& store, const SearchQuery& q) {
    QString p = q.text;
    if (q.wholeWord) p = "\\b(?:" + p + ")\\b";
    const QRegularExpression re(p, q.matchCase ? QRegularExpression::NoPatternOption
                                               : QRegularExpression::CaseInsensitiveOption);
    const Qt::CaseSensitivity cs = q.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto literalMatch = [&](const QString& line) {
        for (qsizetype at = line.indexOf(q.text, 0, cs); at >= 0;
             at = line.indexOf(q.text, at + 1, cs)) {
            const qsizetype end = at + q.text.size();
            if (!q.wholeWord ||
                ((at == 0 || !isWord(line[at - 1])) && (end >= line.size() || !isWord(line[end]))))
                return true;
        }
        return false;
    };
    std::vector<std::int64_t> out;
    for (std::int64_t l = 0; l < store.lineCount(); ++l) {
        const QString line = store.lineText(l);
        if (q.regex ? re.match(line).hasMatch() : literalMatch(line)) out.push_back(l);
    }
    return out;
}

std::vector<std::int64_t> linesOf(const HitSet& set) {
    std::vector<std::int64_t> out;
    for (std::int64_t k = 0; k < set.count(); ++k) out.push_back(set.select(k));
    return out;
}

// Runs a search to its end and gathers its pieces into `set`.
bool searchAll(StoreSearch& search, const LineStore& store, const SearchQuery& q,
               MatchEngine engine, HitSet& set, std::int64_t from = 0) {
    if (!search.start(store.snapshot(), q, from, nullptr, engine)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (search.running() && std::chrono::steady_clock::now() < deadline) {
        for (const HitPiece& p : search.take()) set.assign(p.first, p.count, p.bits);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const HitPiece& p : search.take()) set.assign(p.first, p.count, p.bits);
    return !search.running();
}

const char* const kWords[] = {"le",     "conn",
                              "Conn",   "event:",
                              "handle", "0x1f",
                              "0x2A",   "channel",
                              "37",     "3",
                              "_x",     "x_",
                              "ü",      "Ü",
                              "grüße",  "HCI",
                              "hci",    "[R]",
                              "a.b",    "",
                              "evnt",   "le conn event: handle 0x3c, channel 37"};

QString randomLine(std::mt19937& rng) {
    QString line;
    const int words = static_cast<int>(rng() % 8);
    for (int w = 0; w < words; ++w) {
        if (w > 0) line += (rng() % 4 == 0) ? QStringLiteral(", ") : QStringLiteral(" ");
        line += QString::fromUtf8(kWords[rng() % std::size(kWords)]);
    }
    return line;
}

// Queries that every engine reads the same way.
const SearchQuery kQueries[] = {
    {"conn", false, false, false},
    {"conn", false, true, false},
    {"conn", false, false, true},
    {"0x1f", false, false, true},
    {"ü", false, false, false},
    {"ü", false, true, true},
    {"grüße", false, false, true},
    {"a.b", false, true, false},
    {", ", false, true, false},
    {"Conn event", false, false, false},
    {"le conn event: handle 0x[0-9a-f]+", true, false, false},
    {"0x[0-9a-f]+", true, true, false},
    {"0x[0-9a-f]+", true, false, true},
    {"^le", true, true, false},
    {"[0-9]$", true, true, false},
    {"h(an)?dle|evnt", true, false, false},
    {"ch.nnel 3[0-9]?", true, true, false},
    {"x_?", true, true, true},
    {"g.üße", true, false, false},
    {"a\\.b", true, true, false},
    {"(?i)HCI", true, true, false},
};

TEST(StoreSearch, FindsWhatANaiveSearchFindsForEveryQueryAndEngine) {
    test::TempDir dir;
    LineStore::Options o{dir.path(), {}};
    o.limits.chunkBytes = 512;  // most text comes back from the scratch file
    o.limits.cachedChunks = 2;
    LineStore store(o);
    std::mt19937 rng(22);
    // More lines than one piece of the search, so that workers share the text.
    for (int i = 0; i < 70000; ++i) store.append(randomLine(rng) + "\n", 0x808080);
    store.append(randomLine(rng), 0x808080);  // the open last line
    // Edits in the middle leave the lines in pieces that are not contiguous in the text.
    for (int e = 0; e < 40; ++e) {
        const std::int64_t line = static_cast<std::int64_t>(rng() % 69000);
        store.replace({line, 0}, {line + static_cast<std::int64_t>(rng() % 3), 0},
                      randomLine(rng) + "\n" + randomLine(rng) + "\n", 0xFF0000);
    }
    StoreSearch search(2);
    for (const MatchEngine engine :
         {MatchEngine::Re2, MatchEngine::Pcre2, MatchEngine::Hyperscan}) {
        for (const SearchQuery& q : kQueries) {
            SCOPED_TRACE(q.text.toStdString() + (q.regex ? " regex" : "") +
                         (q.matchCase ? " case" : "") + (q.wholeWord ? " word" : "") + " engine " +
                         std::to_string(static_cast<int>(engine)));
            HitSet set;
            ASSERT_TRUE(searchAll(search, store, q, engine, set));
            const auto expected = naiveHits(store, q);
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(linesOf(set), expected);
        }
    }
}

TEST(StoreSearch, FindsWhatANaiveSearchFindsInATextLogOpenedInPlace) {
    test::TempDir dir;
    const std::string path = dir.path() + "/log.txt";
    std::mt19937 rng(23);
    std::u16string text;
    for (int i = 0; i < 70000; ++i) text += randomLine(rng).toStdU16String() + u"\r\n";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(text.data(), 2, text.size(), f), text.size());  // UTF-16LE here
    std::fclose(f);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    LineStore store(LineStore::Options{dir.path(), {}});
    store.openInPlace(std::make_shared<FileHandle>(fd), text.size() * 2, {}, 0x808080);
    while (store.opening()) {
        store.pollOpened();
        ::usleep(1000);
    }
    store.pollOpened();
    ASSERT_EQ(store.lineCount(), 70001);
    store.replace({100, 0}, {102, 0}, u"le conn event: handle 0x3c, channel 37\n", 0xFF0000);
    StoreSearch search(2);
    for (const SearchQuery& q : kQueries) {
        SCOPED_TRACE(q.text.toStdString());
        HitSet set;
        ASSERT_TRUE(searchAll(search, store, q, defaultMatchEngine(), set));
        EXPECT_EQ(linesOf(set), naiveHits(store, q));
    }
}

TEST(StoreSearch, RefusesAQueryThatCannotBeMatched) {
    LineStore store;
    StoreSearch search(1);
    QString error;
    EXPECT_FALSE(search.start(store.snapshot(), {"", false, false, false}, 0, &error));
    EXPECT_FALSE(search.start(store.snapshot(), {"a(b", true, false, false}, 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(search.running());
}

TEST(StoreSearch, FollowsAppendedLinesAndTheOpenLastLine) {
    LineStore store;
    for (int i = 0; i < 1000; ++i) store.append(QString("line %1\n").arg(i), 0x808080);
    store.append(u"handle", 0x808080);  // open: "handle 7" once it goes on
    StoreSearch search(2);
    const SearchQuery q{"handle 7", false, true, false};
    HitSet set;
    ASSERT_TRUE(searchAll(search, store, q, defaultMatchEngine(), set));
    EXPECT_EQ(set.count(), 0);
    // Only the lines from the old last line on are searched again.
    const std::int64_t from = store.lineCount() - 1;
    store.append(u" 7\nline\nhandle 7", 0x808080);
    ASSERT_TRUE(searchAll(search, store, q, defaultMatchEngine(), set, from));
    EXPECT_EQ(linesOf(set), (std::vector<std::int64_t>{1000, 1002}));
}

TEST(RequiredLiteral, TakesTheLongestTextEveryMatchHolds) {
    const std::pair<const char*, const char*> cases[] = {
        {"le conn event: handle 0x[0-9a-f]+, channel 3[0-9]", "le conn event: handle 0x"},
        {"abc?def", "def"},
        {"ab*cdef", "cdef"},
        {"(abc)+xy", "xy"},
        {"a|bcdef", ""},
        {"(?i)abc", ""},
        {"x\\.y\\d+zz", "x.y"},
        {"ab{0,2}c", "a"},
        {"ab{2}cd", "ab"},
        {"grü?ße", "ße"},
        {"\\x41bcdef", ""},
        {"[abc]def", "def"},
        {"a.bcd", "bcd"},
    };
    for (const auto& [pattern, literal] : cases)
        EXPECT_EQ(requiredLiteral(pattern), literal) << pattern;
}

}  // namespace
}  // namespace nimbrel::gui
