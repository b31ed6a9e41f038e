// The line store with its text on disk: a random model run over tiny chunks that spill to
// the scratch file, snapshots read on another thread, the scratch file's faults and the
// memory that a long capture takes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "gui/logview/line_store.h"
#include "gui/logview/log_edit_history.h"
#include "log_view_test_app.h"
#include "support/resident_memory.h"
#include "support/temp_dir.h"

namespace nimbrel::gui {
namespace {

constexpr Colour kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080;

// Chunks of 256 bytes, two of them cached: appends and edits cross chunk boundaries all
// the time, and most reads come back from the scratch file.
LineStore::Options tinyChunks(const std::string& folder) {
    LineStore::Options o{folder, {}};
    o.limits.chunkBytes = 256;
    o.limits.cachedChunks = 2;
    o.limits.pendingChunks = 4;
    return o;
}

// The store's text with a colour for every unit ('\n' has none).
struct Coloured {
    std::u16string text;
    std::vector<Colour> colours;
    friend bool operator==(const Coloured&, const Coloured&) = default;
};

Coloured contents(const LineStore& s) {
    Coloured c;
    for (std::int64_t l = 0; l < s.lineCount(); ++l) {
        if (l > 0) {
            c.text += u'\n';
            c.colours.push_back(0);
        }
        const QString line = s.lineText(l);
        const std::size_t at = c.colours.size();
        c.text += line.toStdU16String();
        c.colours.resize(at + static_cast<std::size_t>(line.size()), 0);
        for (const ColourRun& r : s.lineRuns(l)) {
            for (int k = r.start; k < r.start + r.length && k < line.size(); ++k)
                c.colours[at + static_cast<std::size_t>(k)] = r.colour;
        }
    }
    return c;
}

TEST(LineStoreOnDisk, RandomAppendsEditsUndoAndRedoMatchAModelWithColours) {
    test::TempDir dir;
    std::mt19937 rng(2024);
    LineStore s(tinyChunks(dir.path()));
    LogEditHistory h;
    Coloured model;
    Coloured base;  // the text when the history was last emptied
    const std::u16string alphabet = u"ab c\n\t\u00fc\u4e2d\r0123456789";
    const Colour colours[] = {kRed, kGreen, kBlue, kGrey};
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto randomText = [&](int maxLen) {
        std::u16string t;
        const int n = pick(maxLen + 1);
        for (int i = 0; i < n; ++i)
            t += alphabet[static_cast<std::size_t>(pick(int(alphabet.size())))];
        return t;
    };
    auto offsetOf = [&](TextPos p) {
        std::size_t off = 0;
        for (std::int64_t l = 0; l < p.line; ++l) off = model.text.find(u'\n', off) + 1;
        return off + static_cast<std::size_t>(p.column);
    };
    auto randomPos = [&] {
        const std::int64_t line =
            std::uniform_int_distribution<std::int64_t>(0, s.lineCount() - 1)(rng);
        return TextPos{line, pick(s.lineLength(line) + 1)};
    };
    auto put = [&](std::size_t from, std::size_t to, const std::u16string& t, Colour c) {
        model.text.replace(from, to - from, t);
        std::vector<Colour> cs(t.size(), c);
        for (std::size_t k = 0; k < t.size(); ++k) {
            if (t[k] == u'\n') cs[k] = 0;
        }
        model.colours.erase(model.colours.begin() + static_cast<std::ptrdiff_t>(from),
                            model.colours.begin() + static_cast<std::ptrdiff_t>(to));
        model.colours.insert(model.colours.begin() + static_cast<std::ptrdiff_t>(from), cs.begin(),
                             cs.end());
    };

    for (int step = 0; step < 100000; ++step) {
        const int kind = pick(12);
        const Colour colour = colours[pick(4)];
        if (kind <= 2) {
            std::u16string t = randomText(kind == 0 ? 300 : 8);  // now and then a long one
            if (!t.empty() && t.back() == u'\r') t.back() = u'y';
            s.append(QStringView(t.data(), qsizetype(t.size())), colour);
            const std::u16string n = test::withLfBreaks(t);
            put(model.text.size(), model.text.size(), n, colour);
            h.clear();
            base = model;
        } else if (kind <= 8) {
            TextPos a = randomPos(), b = randomPos();
            if (b < a) std::swap(a, b);
            const std::u16string t = test::withLfBreaks(randomText(5));
            TextFragment f{QString::fromStdU16String(t), {}};
            if (!t.empty()) f.runs.push_back({0, int(t.size()), colour});
            h.apply(s, a, b, f, kind == 3);
            put(offsetOf(a), offsetOf(b), t, colour);
        } else if (kind <= 10) {
            while (h.canUndo()) h.undo(s);
            ASSERT_EQ(contents(s), base) << "step " << step;
            while (h.canRedo()) h.redo(s);
        } else if (model.text.size() > 6000) {
            s.clear();
            h.clear();
            model = base = Coloured{};
        }
        if (step % 50 == 0 || kind > 8) {
            ASSERT_EQ(contents(s), model) << "step " << step;
        }
    }
    ASSERT_EQ(contents(s), model);
    EXPECT_GT(s.scratchBytes(), 0u);
}

TEST(LineStoreOnDisk, SnapshotsReadLinesOnAnotherThreadWhileAppendsGoOn) {
    test::TempDir dir;
    LineStore s(tinyChunks(dir.path()));
    auto line = [](int i) {
        return QStringLiteral("line %1 \u00fc %2\n").arg(i).arg(QString(i % 50, u'x'));
    };
    for (int i = 0; i < 2000; ++i) s.append(line(i), kGreen);
    const auto snap = s.snapshot();
    std::atomic<bool> ok{true};
    std::thread reader([&] {
        std::string utf8;
        std::u16string utf16;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 2000; ++i) {
                utf8.clear();
                utf16.clear();
                const QString expected = line(i).chopped(1);
                if (!snap->appendUtf8(i, utf8) || QString::fromStdString(utf8) != expected ||
                    !snap->appendUtf16(i, utf16) || QString::fromStdU16String(utf16) != expected) {
                    ok.store(false);
                }
            }
        }
    });
    // Appends and an edit go on meanwhile; the snapshot keeps what it saw.
    for (int i = 2000; i < 6000; ++i) s.append(line(i), kRed);
    s.replace({0, 0}, {5, 0}, u"edited\n", kBlue);
    reader.join();
    EXPECT_TRUE(ok.load());
    EXPECT_EQ(snap->lineCount(), 2001);
    EXPECT_EQ(s.lineText(0), "edited");
    EXPECT_EQ(s.lineText(5995), line(5999).chopped(1));
}

// Appends until the store reports something or `limit` lines went in; the notice.
LineStore::Notice appendUntilNotice(LineStore& s, int limit, int& error) {
    for (int i = 0; i < limit; ++i) {
        s.append(QStringLiteral("[G] %1 the text that has to stay whole\n").arg(i), kGreen);
        if (i % 64 == 0) {
            if (const LineStore::Notice n = s.takeNotice(error); n != LineStore::Notice::None)
                return n;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return s.takeNotice(error);
}

void expectAllLines(const LineStore& s, int lines) {
    int wrong = 0;
    for (int i = 0; i < lines; ++i) {
        if (s.lineText(i) != QStringLiteral("[G] %1 the text that has to stay whole").arg(i))
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(LineStoreOnDisk, AnUnwritableCacheFolderKeepsTheTextInMemoryAndSaysSoOnce) {
    test::TempDir dir;
    // A folder that cannot be made: its parent is a file.
    ASSERT_TRUE(std::fopen(dir.file("file").c_str(), "w"));
    LineStore s(tinyChunks(dir.file("file") + "/cache"));
    int error = 0;
    EXPECT_EQ(appendUntilNotice(s, 20000, error), LineStore::Notice::KeptInMemory);
    EXPECT_EQ(error, ENOTDIR);
    const int lines = static_cast<int>(s.lineCount()) - 1;
    for (int i = lines; i < 3000; ++i)
        s.append(QStringLiteral("[G] %1 the text that has to stay whole\n").arg(i), kGreen);
    EXPECT_EQ(s.takeNotice(error), LineStore::Notice::None);  // said once
    EXPECT_EQ(s.scratchBytes(), 0u);
    expectAllLines(s, 3000);
}

TEST(LineStoreOnDisk, AFullDiskKeepsTheRestInMemoryAndAFullMemoryStopsTheStore) {
    test::TempDir dir;
    LineStore::Options o = tinyChunks(dir.path());
    o.limits.memoryBytes = 64 * 1024;
    LineStore s(o);
    // The scratch file may grow to 4 KiB: a full file system as the writer sees it.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    int error = 0;
    const LineStore::Notice first = appendUntilNotice(s, 20000, error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(first, LineStore::Notice::KeptInMemory);
    EXPECT_EQ(error, EFBIG);
    EXPECT_LE(s.scratchBytes(), 4096u);
    const int written = static_cast<int>(s.lineCount()) - 1;
    expectAllLines(s, written);

    // Memory fills up next: the store says it is full, once, and what it holds is whole.
    int added = written;
    while (!s.full() && added < 200000) {
        s.append(QStringLiteral("[G] %1 the text that has to stay whole\n").arg(added), kGreen);
        ++added;
    }
    EXPECT_TRUE(s.full());
    EXPECT_EQ(s.takeNotice(error), LineStore::Notice::Full);
    EXPECT_EQ(s.takeNotice(error), LineStore::Notice::None);
    expectAllLines(s, added);
    // Clear frees it all.
    s.clear();
    EXPECT_FALSE(s.full());
}

TEST(LineStoreOnDisk, ResidentMemoryGrowsByTheIndexAloneWhileLinesArrive) {
    if (!test::kResidentMemoryIsMeaningful) GTEST_SKIP() << "resident memory under a sanitizer";
    test::TempDir dir;
    LineStore s(LineStore::Options{dir.path(), {}});
    const QString line = QStringLiteral(
        "12:34:56.789  [COM] [G] [00001] [000] [000] [00000] conn 1, handle 12c rssi -40\n");
    // Warm up: the first chunks, the writer and the cache exist before the measure.
    for (int i = 0; i < 100000; ++i) s.append(line, i % 2 ? kGreen : kGrey);
    const std::uint64_t before = test::residentBytes();
    constexpr int kLines = 2000000;  // 170 MB of text
    for (int i = 0; i < kLines; ++i) {
        s.append(line, i % 2 ? kGreen : kGrey);
        while (i % 4096 == 0 && s.full()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::uint64_t growth = test::residentBytes() - std::min(before, test::residentBytes());
    // At most 4 bytes a line of index, and the chunks that wait for the writer or sit in
    // the cache (48 + 24 MiB at most).
    EXPECT_LT(growth, std::uint64_t(kLines) * 4 + (std::uint64_t(72) << 20))
        << static_cast<double>(growth) / 1e6 << " MB";
    EXPECT_LT(s.memoryBytes(), s.textBytes() / 2);
    EXPECT_EQ(s.lineCount(), 100000 + kLines + 1);
    EXPECT_EQ(s.lineText(100000 + kLines - 1), line.chopped(1));
}

}  // namespace
}  // namespace nimbrel::gui
