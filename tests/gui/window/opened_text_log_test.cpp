// Text logs opened in place: the view's lines and colours against the text log loader's
// (each line printed through the console with a newline of its own), over slabs of every
// size, long lines cut, files that shrink or grow while open, and saving onto the file
// that is open.
#include <gtest/gtest.h>

#include <QString>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "files/text_log_file.h"
#include "gui/logview/line_store.h"
#include "gui/window/file_commands.h"
#include "pipeline/color_tag.h"
#include "pipeline/text_trim.h"
#include "support/temp_dir.h"

namespace nimbrel::gui {
namespace {

constexpr Colour kGrey = 0x808080;
constexpr Rgb kGreyRgb{128, 128, 128};

std::string utf16le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

struct Line {
    QString text;
    Colour colour;
    friend bool operator==(const Line&, const Line&) = default;
};
void PrintTo(const Line& l, std::ostream* os) { *os << l.text.toStdString() << " #" << l.colour; }

// The view's lines (without the empty last line) and each one's colour.
std::vector<Line> linesOf(const LineStore& s) {
    std::vector<Line> out;
    for (std::int64_t l = 0; l + 1 < s.lineCount() || (l < s.lineCount() && s.lineLength(l)); ++l) {
        const auto runs = s.lineRuns(l);
        out.push_back({s.lineText(l), runs.empty() ? kGrey : runs.front().colour});
    }
    return out;
}

// What the text log loader shows: every line of the file printed through the console with
// a newline of its own. Each line of the view takes the colour of its own tags (a line that
// a lone CR ends is a line of its own).
std::vector<Line> loaderLines(const std::string& path) {
    LineStore ref;
    std::atomic<bool> stop{false};
    readTextLog(
        path,
        [&](std::u16string_view line) {
            // Not QString::fromUtf16: it would take a leading U+FEFF for a byte-order mark.
            ref.append(QString(reinterpret_cast<const QChar*>(line.data()),
                               static_cast<qsizetype>(line.size())) +
                           u'\n',
                       kGrey);
        },
        stop);
    std::vector<Line> lines = linesOf(ref);
    for (Line& l : lines) {
        const Rgb c = colourOfTags(trimWhiteSpace(l.text.toStdU16String())).value_or(kGreyRgb);
        l.colour = (Colour(c.r) << 16) | (Colour(c.g) << 8) | c.b;
    }
    return lines;
}

TextLogIndexer::Outcome openAndWait(LineStore& s, const std::string& path,
                                    TextLogIndexer::Options o = {}, std::uint64_t size = 0) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    struct stat st {};
    ::fstat(fd, &st);
    o.fd = std::make_shared<FileHandle>(fd);
    o.size = size ? size : static_cast<std::uint64_t>(st.st_size);
    s.openInPlace(std::move(o), kGrey);
    while (s.opening()) {
        s.pollOpened();
        ::usleep(1000);
    }
    return s.openedOutcome();
}

TEST(OpenedTextLog, LinesAndColoursAreTheLoadersForEveryKindOfLineEnd) {
    test::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"crlf", utf16le(u"[G] a\r\n[R] b\r\n\r\nc [Y] and [B]\r\n")},
        {"lf only", utf16le(u"a\nb\nc")},
        {"lone cr ends a line", utf16le(u"a\rb\n[W] c\r")},
        {"cr before cr lf", utf16le(u"x\r\r\ny\r\r")},
        {"byte-order mark dropped", utf16le(u"\uFEFF[R] x\r\ny")},
        {"only the leading mark is dropped", utf16le(u"a\n\uFEFFb")},
        {"odd last byte ignored", utf16le(u"ab\r\n") + "x"},
        {"last line without a line end", utf16le(u"[G] one\r\nlast")},
        {"empty file", ""},
        {"only a mark", utf16le(u"\uFEFF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("in.log"), c.bytes);
        LineStore s;
        const TextLogIndexer::Outcome o = openAndWait(s, dir.file("in.log"));
        EXPECT_EQ(linesOf(s), loaderLines(dir.file("in.log")));
        EXPECT_EQ(o.cutLines, 0u);
        EXPECT_FALSE(o.shrank);
        EXPECT_EQ(s.lineLength(s.lineCount() - 1), 0);  // the text ends with a line break
    }
}

TEST(OpenedTextLog, SlabEdgesAnywhereNeitherSplitNorMergeLines) {
    test::TempDir dir;
    std::u16string text = u"\uFEFF";
    static const char16_t* const kEnds[] = {u"\r\n", u"\n", u"\r", u"\r\r\n"};
    for (int i = 0; i < 3000; ++i) {
        text += u"[" + std::u16string(1, u"RGBWYD"[i % 6]) + u"] line " +
                std::u16string(static_cast<std::size_t>(i % 23), u'x') + u" \u00fc";
        text += kEnds[i % 4];
    }
    writeBytes(dir.file("big.log"), utf16le(text));
    const std::vector<Line> expected = loaderLines(dir.file("big.log"));
    ASSERT_EQ(expected.size(), 3000u);
    for (const std::uint64_t slab : {4u, 5u, 7u, 64u, 1000u, 1u << 20}) {
        SCOPED_TRACE(slab);
        LineStore s;
        TextLogIndexer::Options o;
        o.slabUnits = slab;
        o.threads = 2;
        openAndWait(s, dir.file("big.log"), o);
        EXPECT_EQ(linesOf(s), expected);
    }
}

TEST(OpenedTextLog, LinesLongerThanTheLimitAreCutAndFilteredLinesLeftOut) {
    test::TempDir dir;
    // A 1 MiB line and a bit, a surrogate pair right at the cut, then lines to filter.
    std::u16string longLine =
        u"[R] " + std::u16string((1u << 20) - 5, u'x') + u"\U0001F600" + std::u16string(100, u'y');
    writeBytes(dir.file("long.log"),
               utf16le(longLine + u"\r\n[G] keep\r\n[R] HCI drop\r\nhci keep\r\n"));
    LineStore s;
    TextLogIndexer::Options o;
    o.filter = {u"HCI"};
    const TextLogIndexer::Outcome outcome = openAndWait(s, dir.file("long.log"), o);
    EXPECT_EQ(outcome.cutLines, 1u);
    const std::vector<Line> lines = linesOf(s);
    ASSERT_EQ(lines.size(), 4u);
    // The pair is never split: the first piece stops before it.
    EXPECT_EQ(lines[0].text.size(), (1 << 20) - 1);
    EXPECT_EQ(lines[0].colour, 0xFF0000u);
    EXPECT_EQ(lines[1].text, QString::fromStdU16String(u"\U0001F600" + std::u16string(100, u'y')));
    EXPECT_EQ(lines[1].colour, kGrey);
    EXPECT_EQ(lines[2].text, "[G] keep");
    EXPECT_EQ(lines[3].text, "hci keep");
    EXPECT_EQ(lines[0].text + lines[1].text, QString::fromStdU16String(longLine));
}

TEST(OpenedTextLog, AFileThatShrinksOrGrowsKeepsWhatWasReadAndSaysSo) {
    test::TempDir dir;
    std::u16string text;
    for (int i = 0; i < 1000; ++i)
        text += u"[G] line " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u"\r\n";
    writeBytes(dir.file("log.log"), utf16le(text));

    // Shorter than when it was opened, before the indexing reached its end.
    {
        LineStore s;
        const TextLogIndexer::Outcome o =
            openAndWait(s, dir.file("log.log"), {}, utf16le(text).size() + 4000);
        EXPECT_TRUE(o.shrank);
        EXPECT_EQ(s.lineCount(), 1001);
    }
    // Shorter after the indexing: lines past the new end show empty, said once.
    {
        LineStore s;
        openAndWait(s, dir.file("log.log"));
        ASSERT_EQ(s.lineCount(), 1001);
        ASSERT_EQ(::truncate(dir.file("log.log").c_str(), 2000), 0);
        EXPECT_EQ(s.lineText(10), "[G] line 0");
        EXPECT_EQ(s.lineText(900), "");
        int error = 0;
        EXPECT_EQ(s.takeNotice(error), LineStore::Notice::FileChanged);
        EXPECT_EQ(s.lineText(901), "");
        EXPECT_EQ(s.takeNotice(error), LineStore::Notice::None);
    }
    // Longer: the view holds what the file had when it was opened.
    writeBytes(dir.file("log.log"), utf16le(text));
    {
        LineStore s;
        openAndWait(s, dir.file("log.log"));
        FILE* f = std::fopen(dir.file("log.log").c_str(), "ab");
        const std::string more = utf16le(u"[R] later\r\n");
        std::fwrite(more.data(), 1, more.size(), f);
        std::fclose(f);
        EXPECT_EQ(s.lineCount(), 1001);
        EXPECT_EQ(s.lineText(999), "[G] line 9");
    }
}

TEST(OpenedTextLog, SavingOntoTheOpenFileKeepsTheTextTheViewReads) {
    test::TempDir dir;
    std::u16string text;
    for (int i = 0; i < 5000; ++i)
        text += u"[B] record " + std::u16string(static_cast<std::size_t>(i % 40), u'z') +
                (i % 5 ? u"\r\n" : u"\n");
    const std::string path = dir.file("open.log");
    writeBytes(path, utf16le(text));
    LineStore s;
    openAndWait(s, path);
    s.replace({3, 0}, {3, 3}, u"[R] edited", 0xFF0000);
    s.append(u"[G] appended after the file\n", 0x00FF00);
    const std::vector<Line> before = linesOf(s);

    ASSERT_EQ(FileCommands::saveTextLog(s.snapshot(), path, false), 0);
    // The view still reads the file it opened, whose text the save left alone.
    EXPECT_EQ(linesOf(s), before);
    // The saved file holds the view's text, every line ending in CR LF.
    QString expected;
    for (const Line& l : before) expected += l.text + "\r\n";
    LineStore again;
    openAndWait(again, path);
    EXPECT_EQ(linesOf(again).size(), before.size());
    FILE* f = std::fopen(path.c_str(), "rb");
    std::string bytes(static_cast<std::size_t>(expected.size()) * 2 + 16, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    EXPECT_EQ(bytes, utf16le(expected.toStdU16String()));
}

}  // namespace
}  // namespace nimbrel::gui
