#include "pipeline/message_definition_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "pipeline/definition_line.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/string_filter.h"
#include "support/resident_memory.h"
#ifndef _WIN32
#include "support/lonely_fifo.h"
#endif

namespace nimbrel {
namespace {

using test::kResidentMemoryIsMeaningful;

using namespace std::string_literals;

struct Expected {
    std::u16string text;
    std::int32_t params;
    std::int32_t width;
};

void expectEntry(const MessageDefinitionTable& table, std::uint16_t index, const Expected& e) {
    const MessageEntry entry = table.entry(index);
    EXPECT_EQ(entry.formatText, e.text) << "index " << index;
    EXPECT_EQ(entry.expectedParams, e.params) << "index " << index;
    EXPECT_EQ(entry.expectedWidth, e.width) << "index " << index;
    EXPECT_EQ(entry.format.text(), e.text) << "index " << index;
}

const Expected kUndefined{std::u16string(kUndefinedMessageText), 0, 0};

class TempFile {
public:
    explicit TempFile(const std::string& bytes) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("nimbrel_defs_" + std::to_string(std::random_device()() % 1000000) + "_" +
                  std::to_string(counter_++) + ".h"))
                    .string();
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::string path_;
};

TEST(MessageDefinitionTable, EmptyUntilTheFirstLoadThenUndefinedText) {
    MessageDefinitionTable table;
    EXPECT_FALSE(table.loaded());
    expectEntry(table, 0, {u"", 0, 0});
    expectEntry(table, 65535, {u"", 0, 0});

    table.loadFromText("#define MSG_CONN 1337 //\"conn %d, handle %x\"\n");
    EXPECT_TRUE(table.loaded());
    expectEntry(table, 1337, {u"conn %d, handle %x", 2, 4});
    expectEntry(table, 0, kUndefined);
    expectEntry(table, 65535, kUndefined);
    EXPECT_EQ(table.entry(1337).format.conversionCount(), 2u);
    EXPECT_EQ(table.definedCount(), 1u);
}

TEST(MessageDefinitionTable, LineRules) {
    MessageDefinitionTable table;
    table.loadFromText(
        "// #define X 5 //\"t\"\n"           // "#define " anywhere in the line
        "#define A 7 // text\n"              // delimiters: the blank after // and the final t
        "#define  B   +9   //'plain'   \n"   // body and index trimmed, sign allowed
        "  #define C 12abc //\"x %s %d\"\n"  // index stops at the first non-digit
        "#define D 0x54B //\"hex\"\n"        // 0x54B reads as 0
        "#define E 65536 //\"too big\"\n"    // outside 0..65535: ignored
        "#define F -1 //\"negative\"\n"
        "#define G 65535 //\"last\"\n"
        "#define H 20\n"  // no //: ignored
        "#defineI 21 //\"no blank after define\"\n"
        "#define J 22 //\"\n"  // too short for both delimiters: empty text
        "#define K 23 //\"  padded %u  \"\n"
        "#define L 24 //\"100%%\"\n");
    expectEntry(table, 5, {u"t", 0, 0});
    expectEntry(table, 7, {u"tex", 0, 0});
    expectEntry(table, 9, {u"plain", 0, 0});
    expectEntry(table, 12, {u"x %s %d", 2, 1});
    expectEntry(table, 0, {u"hex", 0, 0});
    expectEntry(table, 65535, {u"last", 0, 0});
    expectEntry(table, 20, kUndefined);
    expectEntry(table, 21, kUndefined);
    expectEntry(table, 22, {u"", 0, 0});
    expectEntry(table, 23, {u"padded %u", 1, 4});
    expectEntry(table, 24, {u"100%%", 2, 4});
    EXPECT_EQ(table.definedCount(), 9u);
}

TEST(MessageDefinitionTable, TabInsteadOfBlankPutsTheTextAtIndexZero) {
    MessageDefinitionTable table;
    table.loadFromText("#define NAME\t300 //\"tabbed %d\"\n#define Z//5 //\"slashes first\"\n");
    expectEntry(table, 300, kUndefined);
    // Both land on 0 and their counts add up. The text starts after the first "//", the
    // one inside the name.
    expectEntry(table, 0, {u"//\"slashes first", 1, 4});
}

TEST(MessageDefinitionTable, RepeatedIndexKeepsTheLastTextAndAddsCounts) {
    MessageDefinitionTable table;
    table.loadFromText("#define A 7 //\"x\"\n#define B 7 //\"y %d\"\n");
    expectEntry(table, 7, {u"y %d", 1, 4});

    table.loadFromText("#define A 8 //\"%s\"\n#define B 8 //\"%d %d\"\n#define C 8 //\"none\"\n");
    expectEntry(table, 8, {u"none", 3, 4});  // width follows the last text once a count exists
    expectEntry(table, 7, kUndefined);       // every load starts from scratch
    EXPECT_EQ(table.definedCount(), 1u);
}

TEST(MessageDefinitionTable, WidthFollowsPercentS) {
    MessageDefinitionTable table;
    table.loadFromText(
        "#define A 1 //\"%s and %d\"\n"
        "#define B 2 //\"no conversions\"\n"
        "#define C 3 //\"%-8s\"\n");  // no literal "%s": width 4
    expectEntry(table, 1, {u"%s and %d", 2, 1});
    expectEntry(table, 2, {u"no conversions", 0, 0});
    expectEntry(table, 3, {u"%-8s", 1, 4});
}

TEST(MessageDefinitionTable, CrLfLinesAndEightBitText) {
    MessageDefinitionTable table;
    table.loadFromText(
        "#define A 1 //\"crlf %d\"\r\n#define B 2 //\"caf\xE9\"\r\n#define C 3 //\"end\"");
    expectEntry(table, 1, {u"crlf %d", 1, 4});
    expectEntry(table, 2, {u"caf\u00E9", 0, 0});
    expectEntry(table, 3, {u"end", 0, 0});  // last line without a line end
}

TEST(MessageDefinitionTable, LongTextIsCutTo255Characters) {
    const std::string longText(300, 'a');
    MessageDefinitionTable table;
    table.loadFromText("#define A 4 //\"" + longText + "%d\"\n");
    const MessageEntry e = table.entry(4);
    EXPECT_EQ(e.formatText.size(), kMaxFormatTextLength);
    EXPECT_EQ(e.expectedParams, 0);  // the '%' was cut off
}

TEST(MessageDefinitionTable, ParseLineAppliesToTheTableAsItStands) {
    MessageDefinitionTable table;
    table.loadFromText("#define A 7 //\"a %d\"\n");
    table.parseLine("#define B 7 //\"b %d\"");
    table.parseLine("#define C 8 //\"c\"");
    table.parseLine("not a definition");
    expectEntry(table, 7, {u"b %d", 2, 4});
    expectEntry(table, 8, {u"c", 0, 0});
}

TEST(MessageDefinitionTable, ZeroByteEndsTheLine) {
    MessageDefinitionTable table;
    table.loadFromText("#define A 9 //\"ab\"\0junk %d\n#define B 10\0 //\"x\"\n"s);
    expectEntry(table, 9, {u"ab", 0, 0});
    expectEntry(table, 10, kUndefined);
}

TEST(DefinitionLine, IndexReadsLikeAtoi) {
    EXPECT_EQ(readDecimalIndex("1234"), 1234);
    EXPECT_EQ(readDecimalIndex("+5x"), 5);
    EXPECT_EQ(readDecimalIndex("-0"), 0);
    EXPECT_EQ(readDecimalIndex("-17"), -17);
    EXPECT_EQ(readDecimalIndex("abc"), 0);
    EXPECT_EQ(readDecimalIndex(""), 0);
    EXPECT_EQ(readDecimalIndex("- 5"), 0);
    EXPECT_GT(readDecimalIndex("99999999999999999999999"), 65535);
    EXPECT_FALSE(parseDefinitionLine("#define A 99999999999999999999 //\"x\""));
    EXPECT_FALSE(parseDefinitionLine("#define A -99999999999999999999 //\"x\""));
}

TEST(MessageDefinitionTable, LoadFromFileAndFailedLoadKeepsTheTable) {
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    MessageDefinitionTable table;

    EXPECT_FALSE(table.load("/nonexistent/nimbrel/LOG1.h", console));
    EXPECT_FALSE(table.loaded());
    expectEntry(table, 1, {u"", 0, 0});
    EXPECT_EQ(view.plainText(),
              u"[R] Open message definition file \"/nonexistent/nimbrel/LOG1.h\" failed!\n");

    {
        TempFile file("#define A 1 //\"first %d\"\r\n");
        EXPECT_TRUE(table.load(file.path(), console));
    }
    EXPECT_TRUE(table.loaded());
    expectEntry(table, 1, {u"first %d", 1, 4});

    view.clear();
    const std::string gone =
        (std::filesystem::temp_directory_path() / "nimbrel_no_such_file.h").string();
    EXPECT_FALSE(table.load(gone, console));
    EXPECT_EQ(view.plainText(), u"[R] Open message definition file \"" +
                                    std::u16string(gone.begin(), gone.end()) + u"\" failed!\n");
    ASSERT_EQ(view.lines().size(), 1u);
    EXPECT_EQ(view.lines()[0].colour, (Rgb{255, 0, 0}));
    EXPECT_TRUE(table.loaded());
    expectEntry(table, 1, {u"first %d", 1, 4});

    // A folder opens but cannot be read: also a failure that keeps the table.
    EXPECT_FALSE(table.load(std::filesystem::temp_directory_path().string(), console));
    expectEntry(table, 1, {u"first %d", 1, 4});

    // An empty file is a successful load that defines nothing.
    TempFile empty("");
    EXPECT_TRUE(table.load(empty.path(), console));
    expectEntry(table, 1, kUndefined);
}

// Files that hold no definition at all load (the table of "isn't defined" texts), and a
// yellow line after the loader's own lines says so; a FIFO nothing writes to is refused
// at once instead of waited for (FIFOs are POSIX's).
TEST(MessageDefinitionTable, FilesWithoutDefinitionsAndFifosWithoutAWriter) {
    struct Case {
        const char* name;
        std::string bytes;  // empty name: the FIFO
        bool loads;
        std::u16string secondLine;  // after the path; empty: no line at all
    };
    std::string utf16;
    for (const char c : "#define A 1 //\"one\"\n"s) utf16 += std::string{c, '\0'};
    const Case cases[] = {
        {"empty", "", true, u"[Y] No message definitions found in "},
        {"picture", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, true,
         u"[Y] No message definitions found in "},
        {"utf-16", "\xff\xfe"s + utf16, true, u"[Y] No message definitions found in "},
        {"one definition", "#define A 1 //\"one\"\n", true, u""},
#ifndef _WIN32
        {"fifo", "", false, u""},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLogView view;
        StringFilter filter;
        LogConsole console(view, filter);
        MessageDefinitionTable table;
        table.loadFromText("#define A 1 //\"kept\"\n");
        TempFile file(c.bytes);
        std::string path = file.path();
#ifndef _WIN32
        std::optional<test::LonelyFifo> fifo;
        if (!c.loads) {
            fifo.emplace(file.path() + ".fifo");
            path = fifo->path();
        }
#endif
        const std::u16string widePath(path.begin(), path.end());
        EXPECT_EQ(table.load(path, console), c.loads);
        if (!c.loads) {
#ifndef _WIN32
            EXPECT_FALSE(fifo->releasedAReader()) << "the loader waited for a writer";
#endif
            EXPECT_EQ(view.plainText(), u"[R] Open message definition file \"" + widePath +
                                            u"\" failed!\n[R] \"" + widePath +
                                            u"\" is a FIFO without a writer.\n");
            expectEntry(table, 1, {u"kept", 0, 0});
        } else if (c.secondLine.empty()) {
            EXPECT_EQ(view.plainText(), u"");
        } else {
            EXPECT_EQ(view.plainText(), c.secondLine + widePath + u"\n");
            ASSERT_EQ(view.lines().size(), 1u);
            EXPECT_EQ(view.lines()[0].colour, (Rgb{255, 255, 0}));
            expectEntry(table, 1, kUndefined);
        }
    }
}

// FIFOs, pipes as /dev/fd/N and resident memory are POSIX's.
#ifndef _WIN32
long peakResidentKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Sources that never end (a FIFO whose writer never stops, /dev/zero) and a file far too
// large are refused after reading at most the limit, quickly and with bounded memory; the
// table in force stays in force.
TEST(MessageDefinitionTable, EndlessOrHugeSourcesAreRefusedAndKeepTheTable) {
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    MessageDefinitionTable table;
    TempFile good("#define A 1 //\"kept %d\"\n");
    ASSERT_TRUE(table.load(good.path(), console));

    const std::string fifo = good.path() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
    // A reader that reads nothing lets the writer in before the load looks: a FIFO whose
    // writer has not come yet is refused, not waited for.
    const int holder = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    std::atomic<std::uint64_t> written{0};
    std::thread writer([&fifo, &written] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return;
        const std::string line(4096, '#');
        ssize_t n = 0;
        while ((n = ::write(fd, line.data(), line.size())) > 0)
            written += static_cast<std::uint64_t>(n);
        ::close(fd);  // the reader went away
    });
    // A sparse regular file of 100 MB: refused from its size, without reading it.
    const std::string huge = good.path() + ".huge";
    {
        const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 100'000'000), 0);
        ::close(fd);
    }

    while (written.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const long peakBefore = peakResidentKiB();
    for (const std::string& path : {fifo, std::string("/dev/zero"), huge}) {
        view.clear();
        EXPECT_FALSE(table.load(path, console)) << path;
        const std::u16string widePath(path.begin(), path.end());
        EXPECT_EQ(view.plainText(),
                  u"[R] Open message definition file \"" + widePath +
                      u"\" failed!\n[R] A message definition file is read up to 64 MiB; \"" +
                      widePath + u"\" is longer.\n")
            << path;
        ASSERT_EQ(view.lines().size(), 2u);
        EXPECT_EQ(view.lines()[1].colour, (Rgb{255, 0, 0}));
        expectEntry(table, 1, {u"kept %d", 1, 4});
    }
    // At most the limit was held at once.
    if (kResidentMemoryIsMeaningful) {
        EXPECT_LT(peakResidentKiB() - peakBefore,
                  3 * static_cast<long>(kDefinitionFileSizeLimit >> 10));
    }
    ::close(holder);
    writer.join();
    // The writer ran into the closed end soon after the limit: nothing read past it.
    EXPECT_GT(written.load(), kDefinitionFileSizeLimit);
    EXPECT_LT(written.load(), kDefinitionFileSizeLimit + (std::uint64_t{1} << 20));
    std::signal(SIGPIPE, oldPipeHandler);
    std::remove(fifo.c_str());
    std::remove(huge.c_str());
}

// A pipe, as a shell's process substitution "<(cat LOG1.h)" gives, is read to its end.
TEST(MessageDefinitionTable, PipeIsReadToItsEnd) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "#define M" + std::to_string(i) + " " + std::to_string(i) + " //\"m %d\"\n";
    std::thread writer([&] {
        ::write(fds[1], text.data(), text.size());
        ::close(fds[1]);
    });
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    MessageDefinitionTable table;
    EXPECT_TRUE(table.load("/dev/fd/" + std::to_string(fds[0]), console));
    writer.join();
    ::close(fds[0]);
    EXPECT_EQ(table.definedCount(), 3000u);
    EXPECT_TRUE(view.plainText().empty());
}

#endif  // _WIN32

TEST(MessageDefinitionTable, LargeFileKeepsEveryDefinition) {
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        text += "#define MSG_" + std::to_string(i) + " " + std::to_string(i * 6) + " //\"message " +
                std::to_string(i) + " value %d flags %x\"\r\n";
    }
    MessageDefinitionTable table;
    table.loadFromText(text);
    EXPECT_EQ(table.definedCount(), 10000u);
    expectEntry(table, 6 * 9999, {u"message 9999 value %d flags %x", 2, 4});
    expectEntry(table, 6 * 9999 + 1, kUndefined);
    std::u16string out;
    const std::uint32_t params[] = {0xFFFFFFFF, 255};
    table.entry(6 * 123).format.applyWords(out, params, 2);
    EXPECT_EQ(out, u"message 123 value -1 flags ff");
}

}  // namespace
}  // namespace nimbrel
