#include "files/text_log_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "pipeline/color_tag.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/string_filter.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string utf16le(std::u16string_view text) {
    std::string out;
    for (const char16_t u : text) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::vector<std::u16string> readLines(const std::string& path) {
    std::vector<std::u16string> lines;
    std::atomic<bool> stop{false};
    const TextLogReadResult r = readTextLog(
        path, [&](std::u16string_view l) { lines.emplace_back(l); }, stop);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.lines, lines.size());
    return lines;
}

[[maybe_unused]] std::size_t filesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

struct Console {
    MemoryLogView view;
    StringFilter filter;
    LogConsole console{view, filter};
    std::atomic<bool> stop{false};
    TextLogOpenOutcome open(const std::string& path) {
        return openTextLog(console, {path, {}, {}}, stop);
    }
};

TEST(TextLogFile, SavedTextIsUtf16LeWithCrLfAndOpensWithTheSameLinesAndColours) {
    test::TempDir dir;
    const std::string path = dir.file("log.txt");
    const std::u16string text =
        u"[G] set log1.h = \"x\"\n"
        u"03:04:05.000  [COM] [R] [00001] [000] [000] [00001] HCI_Reset\n"
        u"\tOpcode: 0x0c03\n"
        u"[Y] 100 %s and %d stay as they are 中文\n"
        u"[D] firmware line\n";
    ASSERT_EQ(writeTextLog(path, text), 0);

    std::u16string crlf;
    for (const char16_t u : text) {
        if (u == u'\n') crlf += u'\r';
        crlf += u;
    }
    EXPECT_EQ(readBytes(path), utf16le(crlf));  // no byte-order mark, CR LF per line

    Console c;
    c.view.append(u"old text\n", kGrey);
    bool started = false;
    EXPECT_EQ(openTextLog(c.console,
                          {path,
                           [&] {
                               started = true;
                               c.view.clear();
                           },
                           {}},
                          c.stop),
              TextLogOpenOutcome::Done);
    EXPECT_TRUE(started);
    EXPECT_EQ(c.view.plainText(), text);
    const auto lines = c.view.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].colour, kGreen);
    EXPECT_EQ(lines[1].colour, kRed);
    EXPECT_EQ(lines[2].colour, kGrey);  // decoded continuation line
    EXPECT_EQ(lines[3].colour, kYellow);
    EXPECT_EQ(lines[4].colour, kGrey);  // "[D]" is not a console tag

    // Saving what was opened gives the same bytes again.
    ASSERT_EQ(writeTextLog(dir.file("again.txt"), c.view.plainText()), 0);
    EXPECT_EQ(readBytes(dir.file("again.txt")), readBytes(path));
}

TEST(TextLogFile, LineEndsByteOrderMarkAndOddLastByte) {
    test::TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> lines;
    };
    const Case cases[] = {
        {"lf only", utf16le(u"a\nb\nc"), {u"a", u"b", u"c"}},
        {"crlf with a final line end", utf16le(u"a\r\n\r\nb\r\n"), {u"a", u"", u"b"}},
        {"byte-order mark dropped", utf16le(u"\uFEFF[R] x\r\ny"), {u"[R] x", u"y"}},
        {"only the leading mark is dropped", utf16le(u"a\n\uFEFFb"), {u"a", u"\uFEFFb"}},
        {"lone CR stays inside a line", utf16le(u"a\rb\n"), {u"a\rb"}},
        {"odd last byte ignored", utf16le(u"ab\n") + "x", {u"ab"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.file("in.txt"), c.bytes);
        EXPECT_EQ(readLines(dir.file("in.txt")), c.lines);
    }
}

TEST(TextLogFile, LinesAcrossReadChunksAndOddChunkBoundariesStayWhole) {
    test::TempDir dir;
    // Lines of varying length over several 1 MiB chunks, with an odd-length prefix so that
    // a chunk boundary falls inside a code unit; the reader must not split or merge lines.
    std::u16string text = u"\uFEFF";
    std::vector<std::u16string> expected;
    for (int i = 0; i < 60000; ++i) {
        std::u16string line =
            u"[B] line " + std::u16string(static_cast<std::size_t>(i % 37), u'x') + u" ü";
        line += static_cast<char16_t>(u'0' + i % 10);
        expected.push_back(line);
        text += line + (i % 3 ? u"\r\n" : u"\n");
    }
    writeBytes(dir.file("big.txt"), utf16le(text));
    ASSERT_GT(readBytes(dir.file("big.txt")).size(), 2u << 20);
    std::vector<int> percents;
    std::vector<std::u16string> lines;
    std::atomic<bool> stop{false};
    readTextLog(
        dir.file("big.txt"), [&](std::u16string_view l) { lines.emplace_back(l); }, stop,
        [&](int p) { percents.push_back(p); });
    EXPECT_EQ(lines, expected);
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));

    // A stop request ends the reading between lines.
    lines.clear();
    std::atomic<bool> stopNow{true};
    const TextLogReadResult r = readTextLog(
        dir.file("big.txt"), [&](std::u16string_view l) { lines.emplace_back(l); }, stopNow);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(lines.size(), 1u);
}

TEST(TextLogFile, OpenAppliesTheFilterAndReportsMissingAndUnreadableFilesInRed) {
    test::TempDir dir;
    Console c;
    writeBytes(dir.file("log.txt"), utf16le(u"[G] keep\r\n[R] HCI drop\r\nhci keep\r\n"));
    c.filter.replaceAll({u"HCI"});
    EXPECT_EQ(c.open(dir.file("log.txt")), TextLogOpenOutcome::Done);
    EXPECT_EQ(c.view.plainText(), u"[G] keep\nhci keep\n");

    c.view.clear();
    EXPECT_EQ(c.open(dir.file("none.txt")), TextLogOpenOutcome::Missing);
    ASSERT_EQ(c.view.lines().size(), 1u);
    EXPECT_EQ(c.view.lines()[0].text,
              u"[R] File \"" + utf8ToUtf16(dir.file("none.txt")) + u"\" doesn't exist.");
    EXPECT_EQ(c.view.lines()[0].colour, kRed);

    // A folder exists but cannot be read as a file; `started` never runs.
    c.view.clear();
    bool started = false;
    EXPECT_EQ(openTextLog(c.console, {dir.path(), [&] { started = true; }, {}}, c.stop),
              TextLogOpenOutcome::Unreadable);
    EXPECT_FALSE(started);
    ASSERT_EQ(c.view.lines().size(), 1u);
    EXPECT_NE(c.view.lines()[0].text.find(u"Is a directory"), std::u16string::npos);
    EXPECT_EQ(c.view.lines()[0].colour, kRed);

#ifndef _WIN32
    if (::geteuid() != 0) {  // permissions do not stop the superuser
        writeBytes(dir.file("locked.txt"), utf16le(u"x\n"));
        ::chmod(dir.file("locked.txt").c_str(), 0);
        c.view.clear();
        EXPECT_EQ(c.open(dir.file("locked.txt")), TextLogOpenOutcome::Unreadable);
        EXPECT_NE(c.view.plainText().find(u"Permission denied"), std::u16string::npos);
    }
#endif
}

// File size limits and permission bits are POSIX's.
#ifndef _WIN32
TEST(TextLogFile, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.file("log.txt");
    writeBytes(path, "old contents");
    ::chmod(path.c_str(), 0640);

    // The disk fills up part-way (a file size limit stands in for it).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int error = writeTextLog(path, std::u16string(1000, u'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readBytes(path), "old contents");
    EXPECT_EQ(filesIn(dir.path()), 1u);

    EXPECT_EQ(writeTextLog(dir.file("no/such/folder.txt"), u"x"), ENOENT);

    // A good save replaces the file and keeps its permissions.
    ASSERT_EQ(writeTextLog(path, u"new\n"), 0);
    EXPECT_EQ(readBytes(path), utf16le(u"new\r\n"));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

#endif  // _WIN32

}  // namespace
}  // namespace nimbrel
