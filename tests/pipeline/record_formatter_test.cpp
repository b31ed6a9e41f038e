#include "pipeline/record_formatter.h"

#include <gtest/gtest.h>

#include "pipeline/line_output.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "support/formatter_rig.h"
#include "support/record_builder.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;

constexpr char kDefinitions[] =
    "#define CONN 1337 //\"conn %d, handle %x\"\n"
    "#define NAME 40 //\"name %s\"\n"
    "#define PLAIN 41 //\"plain text  \\n\"\n"
    "#define TWO 42 //\"a %d b %d\"\n"
    "#define HCI_CMD 1355 //\"HCI command %x\"\n"
    "#define DUMP 65535 //\"dump %d\"\n"
    "#define MANY 43 //\"first %d second %d\"\n"
    "#define THREE 44 //\"%d %d %d\"\n";

struct Fixture : test::FormatterRig {
    Fixture() : FormatterRig(kDefinitions) {}

    // Formats with a fixed stamp (12:34:56.789) so lines are comparable.
    void show(const Bytes& r, RawStamp stamp = {2026, 3, 4, 12, 34, 56, 789}) {
        formatter.formatAndShow({r.data(), checkHeader(r.data(), r.size()).layout}, &stamp);
    }
    std::vector<MemoryLogView::Run> lines() const { return view.lines(); }
};

Bytes record(unsigned layout, unsigned colour, std::uint16_t index,
             std::vector<std::uint32_t> params = {}, std::uint8_t info = 0) {
    return buildRecord(
        {.layout = layout, .colour = colour, .index = index, .info = info, .params = params});
}

TEST(RecordFormatter, WorkedExample) {
    Fixture f;
    f.toggles.setThreadId(CaptureRoute::Com);
    for (int i = 1; i < 42; ++i) f.show(record(0, 1, 41));
    f.view.clear();
    const Bytes r{0xA5, 0xA5, 0x28, 0x5A, 0x39, 0x05, 0x07, 0x00, 0x02,
                  0x01, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00};
    f.show(r);
    EXPECT_EQ(f.view.plainText(),
              u"12:34:56.789  [COM] [G] [00042] [007] [000] [00000] conn 1, handle 12c\n");
    EXPECT_EQ(f.lines()[0].colour, (Rgb{0, 255, 0}));
}

TEST(RecordFormatter, ColoursRouteTagsAndHeaderNumbers) {
    Fixture f;
    const Rgb expected[8] = {{160, 160, 160}, {0, 255, 0},   {255, 0, 0},     {255, 255, 255},
                             {100, 255, 255}, {255, 255, 0}, {160, 160, 160}, {160, 160, 160}};
    const char16_t* tags[8] = {u"[D]", u"[G]", u"[R]", u"[W]", u"[B]", u"[Y]", u"[D]", u"[D]"};
    for (unsigned c = 0; c < 8; ++c) f.show(record(0, c, 41));
    const auto lines = f.lines();
    ASSERT_EQ(lines.size(), 8u);
    for (unsigned c = 0; c < 8; ++c) {
        EXPECT_EQ(lines[c].colour, expected[c]) << c;
        EXPECT_NE(lines[c].text.find(std::u16string(u"[FIL] ") + tags[c]), std::u16string::npos)
            << c;
    }
    // Trailing white space of the text is trimmed; the "\n" escape stays literal.
    EXPECT_EQ(lines[0].text,
              u"12:34:56.789  [FIL] [D] [00001] [000] [000] [00000] plain text  \\n");
    f.view.clear();
    f.toggles.setThreadId(CaptureRoute::Filter);
    f.show(buildRecord(
        {.layout = 3, .colour = 1, .index = 41, .info = 255, .extraByte = 9, .extraWord = 65535}));
    EXPECT_EQ(f.lines().at(0).text,
              u"12:34:56.789  [FIL] [G] [00009] [255] [009] [65535] plain text  \\n");
}

TEST(RecordFormatter, ParameterErrorDumps) {
    Fixture f;
    // Layout 7 (extraByte and extraWord): count and 32-bit groups, highest byte first.
    f.show(buildRecord({.layout = 7, .colour = 1, .index = 44, .params = {300, 3}}));
    // Wrong width: 1-byte parameters for a %d text; every byte of the record is dumped.
    f.show(record(8, 1, 1337, {1, 2}));
    // No parameters although the text expects some.
    f.show(record(0, 1, 1337));
    f.show(record(3, 1, 1337));
    // Layout 11 with 5 bytes: the short last group shows only the bytes inside the record.
    f.show(record(11, 1, 42, {0x11, 0x22, 0x33, 0x44, 0x55}));
    const auto lines = f.lines();
    ASSERT_EQ(lines.size(), 5u);
    for (const auto& l : lines) EXPECT_EQ(l.colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(lines[0].text,
              u"12:34:56.789  [R] [00001] [000] [000] [00000] parameter error: [Para Num] 02 Para "
              u"[0]0x0000012c [1]0x00000003");
    EXPECT_EQ(lines[1].text,
              u"12:34:56.789  [R] [00002] [000] [000] [00000] parameter error:a5 a5 30 5a 39 05 00 "
              u"00 02 01 02");
    EXPECT_EQ(lines[2].text, u"12:34:56.789  [R] [00003] [000] [000] [00000] parameter error:");
    EXPECT_EQ(lines[3].text,
              u"12:34:56.789  [R] [00004] [000] [000] [00000] parameter error: [Para Num] 00 Para");
    EXPECT_EQ(lines[4].text,
              u"12:34:56.789  [R] [00005] [000] [000] [00000] parameter error: [Para Num] 05 Para "
              u"[0]0x44332211 [1]0x55");
    // With a COM route the error line carries the route tag too.
    f.view.clear();
    f.toggles.setThreadId(CaptureRoute::Com);
    f.show(record(0, 1, 1337));
    EXPECT_NE(f.lines().at(0).text.find(u"[COM] [R] [00006]"), std::u16string::npos);
}

TEST(RecordFormatter, UndefinedIndexStringsAndParameterLimits) {
    Fixture f;
    f.show(record(0, 1, 999));                     // undefined, no parameters
    f.show(record(8, 1, 40, {'A', 'B', 0, 'C'}));  // "%s": a zero byte ends it
    std::vector<std::uint32_t> many(33, 7);
    f.show(record(4, 1, 43, many));  // more than 32: unformatted
    many.resize(32);
    f.show(record(4, 1, 43, many));
    f.show(record(4, 1, 42, {1}));  // fewer than expected
    const auto lines = f.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].text.find(u"Warning! message index isn't defined in log.h"),
              std::u16string::npos);
    EXPECT_TRUE(lines[1].text.ends_with(u"name AB"));
    EXPECT_TRUE(lines[2].text.ends_with(u"first %d second %d"));
    EXPECT_TRUE(lines[3].text.ends_with(u"first 7 second 7"));
    EXPECT_NE(lines[4].text.find(u"parameter error:"), std::u16string::npos);
}

TEST(RecordFormatter, RawDumpReplacesTextOrErrorDump) {
    Fixture f;
    f.show(record(8, 2, 65535, {0x0A, 0xFF, 0x00}));        // width mismatch: still the dump
    f.show(record(4, 1, 65535, {0x0403020A, 0x99999999}));  // first n bytes only
    const auto lines = f.lines();
    EXPECT_TRUE(lines[0].text.ends_with(u"[00000]  a ff 0"));
    EXPECT_EQ(lines[0].colour, (Rgb{255, 0, 0}));
    EXPECT_TRUE(lines[1].text.ends_with(u"[00000]  a 2"));
    EXPECT_EQ(lines[1].colour, (Rgb{0, 255, 0}));
}

TEST(RecordFormatter, StampRepairAndLiveTime) {
    Fixture f;
    f.formatter.resetLastStamp();
    f.show(record(0, 1, 41), {2026, 3, 4, 10, 59, 59, 999});
    f.show(record(0, 1, 41), {0x0900, 3, 4, 10, 59, 59, 0});  // year above 2303
    f.show(record(0, 1, 41), {2026, 0, 4, 1, 2, 3, 0});       // month 0
    f.toggles.setAutoFixTimeStamp(false);
    f.show(record(0, 1, 41), {2026, 0, 4, 30, 2, 3, 0});  // shown as it stands
    const auto lines = f.lines();
    EXPECT_TRUE(lines[0].text.starts_with(u"10:59:59.999  "));
    EXPECT_TRUE(lines[1].text.starts_with(u"11:00:00.000  "));
    EXPECT_TRUE(lines[2].text.starts_with(u"11:00:00.001  "));
    EXPECT_TRUE(lines[3].text.starts_with(u"30:02:03.000  "));
    // Live records show the local time now.
    const Bytes r = record(0, 1, 41);
    f.formatter.formatAndShow({r.data(), checkHeader(r.data(), r.size()).layout}, nullptr);
    const std::u16string live = f.lines().back().text;
    ASSERT_GE(live.size(), 14u);
    EXPECT_EQ(live[2], u':');
    EXPECT_EQ(live[8], u'.');
    EXPECT_EQ(live.substr(12, 2), u"  ");
}

TEST(RecordFormatter, PauseHoldsLinesBackAndContinueFlushesThemThroughTheConsole) {
    Fixture f;
    EXPECT_EQ(f.formatter.pauseMenuText(), u"Pause");
    f.formatter.setPaused(true);
    EXPECT_EQ(f.formatter.pauseMenuText(), u"Continue");
    f.show(record(0, 2, 41));  // red
    f.show(record(0, 0, 41));  // grey [D]
    EXPECT_FALSE(f.view.hasText());
    EXPECT_EQ(f.formatter.lineNumber(), 3);
    f.formatter.setPaused(false);
    f.show(record(0, 1, 41));
    const auto lines = f.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].text.find(u"[R] [00001]"), std::u16string::npos);
    EXPECT_EQ(lines[0].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(lines[1].colour, (Rgb{128, 128, 128}));  // "[D]" takes the view's default colour
    EXPECT_NE(lines[2].text.find(u"[G] [00003]"), std::u16string::npos);
}

TEST(RecordFormatter, FilterClearAndVanishedView) {
    Fixture f;
    f.filter.replaceAll({u"plain"});
    f.show(record(0, 1, 41));
    EXPECT_FALSE(f.view.hasText());
    EXPECT_EQ(f.formatter.lineNumber(), 2);  // filtered lines still count
    f.filter.replaceAll({});
    EXPECT_FALSE(f.formatter.clearEnabled());  // nothing shown yet
    f.show(record(0, 1, 41));
    EXPECT_TRUE(f.formatter.clearEnabled());
    f.formatter.clear();
    EXPECT_FALSE(f.formatter.clearEnabled());
    f.show(record(0, 1, 41));
    EXPECT_NE(f.lines().at(0).text.find(u"[00001]"), std::u16string::npos);
    f.view.setExists(false);
    f.show(record(0, 1, 41));
    EXPECT_EQ(f.formatter.lineNumber(), 2);  // a line for a vanished view is not counted
}

TEST(RecordFormatter, LinesGoToTheLineOutputDuringAReplay) {
    struct Collect : LineOutput {
        std::u16string text;
        void writeLine(std::u16string_view line, Rgb) override { text += line; }
    } out;
    Fixture f;
    f.formatter.setLineOutput(&out);
    f.show(record(0, 1, 41));
    EXPECT_FALSE(f.view.hasText());
    EXPECT_EQ(out.text, u"12:34:56.789  [FIL] [G] [00001] [000] [000] [00000] plain text  \\n\n");
}

}  // namespace
}  // namespace nimbrel
