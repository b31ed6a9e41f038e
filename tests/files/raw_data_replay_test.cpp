#include "files/raw_data_replay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "pipeline/line_output.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_formatter.h"
#include "platform/file_handle.h"
#include "support/formatter_rig.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;
using test::operator+;

const Bytes kStamp{0xEA, 0x07, 12, 9, 8, 7, 6, 0x05, 0x00};  // 08:07:06.005

struct Lines : LineOutput {
    std::vector<std::u16string> lines;
    void writeLine(std::u16string_view line, Rgb) override {
        lines.emplace_back(line.substr(0, line.size() - 1));
    }
};

struct Replay : test::FormatterRig {
    Lines out;
    std::atomic<bool> stop{false};
    std::vector<int> percents;

    Replay() : FormatterRig("#define A 1 //\"one %d\"\n#define B 2 //\"two\"\n") {
        formatter.setLineOutput(&out);
        formatter.resetLastStamp();
    }
    ReplayScanResult run(const Bytes& file) {
        return scanRawData(file.data(), file.size(), formatter, console, stop,
                           [this](int p) { percents.push_back(p); });
    }
    ReplayScanResult runFile(const std::string& path,
                             const std::function<void(int)>& onPercent = {}) {
        RawDataInput input;
        EXPECT_EQ(input.open(path), 0);
        return scanRawDataFile(input, formatter, console, stop, [&](int p) {
            percents.push_back(p);
            if (onPercent) onPercent(p);
        });
    }
};

Bytes entry(const Bytes& record) { return kStamp + record; }

TEST(RawDataReplay, NoiseTruncatedLastRecordBadLayoutAndInnerSyncPairs) {
    const Bytes one = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {5}});
    const Bytes inner = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {0xA5A5}});
    Bytes bad = buildRecord({.layout = 0, .index = 2});
    bad[2] = 13 << 1;  // layout 13
    const Bytes two = buildRecord({.layout = 0, .colour = 2, .index = 2});
    const Bytes file = Bytes{1, 2, 3} + entry(one) + Bytes{0x0A, 0, 0, 0} + Bytes(20, 0x77) +
                       entry(bad) + entry(inner) + entry(two) + entry(inner) +
                       entry(Bytes(one.begin(), one.end() - 1));
    Replay r;
    const ReplayScanResult result = r.run(file);
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(r.out.lines.size(), 4u);
    EXPECT_EQ(r.out.lines[0], u"08:07:06.005  [FIL] [G] [00001] [000] [000] [00000] one 5");
    EXPECT_EQ(r.out.lines[1], u"08:07:06.005  [FIL] [G] [00002] [000] [000] [00000] one 42405");
    EXPECT_EQ(r.out.lines[2], u"08:07:06.005  [FIL] [R] [00003] [000] [000] [00000] two");
    EXPECT_EQ(r.out.lines[3], u"08:07:06.005  [FIL] [G] [00004] [000] [000] [00000] one 42405");
    EXPECT_EQ(r.view.plainText(), u"++++++default case, error++++++\n");
    ASSERT_FALSE(r.percents.empty());
    EXPECT_TRUE(std::is_sorted(r.percents.begin(), r.percents.end()));
    // Noise: the three leading bytes, the 20 bytes of 0x77, the bad candidate with its stamp
    // and the cut last record with its stamp; stamps and the trailer of shown records are not.
    EXPECT_EQ(result.records, 4u);
    EXPECT_EQ(result.noiseBytes, 3u + 20u + (9u + bad.size()) + (9u + one.size() - 1));
    EXPECT_EQ(result.defaultCases, 1u);

    // With a report for unknown layouts, it gets the candidate's offset instead of the line.
    Replay withOffsets;
    std::vector<std::uint64_t> offsets;
    withOffsets.formatter.setLineOutput(&withOffsets.out);
    scanRawData(file.data(), file.size(), withOffsets.formatter, withOffsets.console,
                withOffsets.stop, {}, [&](std::uint64_t at) { offsets.push_back(at); });
    const std::uint64_t badAt = 3 + entry(one).size() + 4 + 20 + kStamp.size();
    EXPECT_EQ(offsets, std::vector<std::uint64_t>{badAt});
    EXPECT_EQ(withOffsets.view.plainText(), u"");
}

// Records the scan must not lose where a raw data file's stamps and trailers meet sync
// pairs, as live framing keeps them: after a candidate that is no record, the next pair is
// looked for from its second byte; a record with A5 A5 among its parameters stands when a
// trailer and then the next entry follow it.
TEST(RawDataReplay, RecordsBehindAStampEndingInA5AndAfterATrailerStand) {
    const Bytes one = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {5}});
    const Bytes inner = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {0xA5A5}});
    const Bytes two = buildRecord({.layout = 0, .colour = 2, .index = 2});
    Bytes stampEndingInA5 = kStamp;
    stampEndingInA5.back() = 0xA5;  // with the sync pair behind it: A5 A5 A5
    const Bytes trailer{0x0A, 0, 0, 0};
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::u16string> texts;  // the message texts shown, in order
    };
    const Case cases[] = {
        {"a stamp ending in A5 before a record",
         entry(one) + stampEndingInA5 + two + entry(one),
         {u"one 5", u"two", u"one 5"}},
        {"inner A5 A5, then the trailer and the next entry",
         entry(inner) + trailer + entry(two),
         {u"one 42405", u"two"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Replay r;
        const ReplayScanResult result = r.run(c.file);
        std::vector<std::u16string> texts;
        for (const std::u16string& line : r.out.lines)
            texts.push_back(line.substr(line.rfind(u"] ") + 2));
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(result.records, c.texts.size());
    }
}

TEST(RawDataReplay, CountsUndefinedIndicesAndParameterErrors) {
    Replay r;
    const Bytes undefinedPlain = buildRecord({.layout = 0, .index = 9});
    const Bytes undefinedWithParams = buildRecord({.layout = 4, .index = 9, .params = {1}});
    const Bytes twoWithParams = buildRecord({.layout = 4, .index = 2, .params = {1}});
    const Bytes fine = buildRecord({.layout = 4, .index = 1, .params = {7}});
    const ReplayScanResult result = r.run(entry(undefinedPlain) + entry(undefinedWithParams) +
                                          entry(twoWithParams) + entry(fine));
    EXPECT_EQ(result.records, 4u);
    EXPECT_EQ(result.noiseBytes, 0u);
    const FormatCounts counts = r.formatter.counts();
    EXPECT_EQ(counts.undefinedIndices, 2u);
    EXPECT_EQ(counts.parameterErrors,
              2u);  // the undefined index with a parameter, and "two" with one
}

TEST(RawDataReplay, FirstRecordWithoutStampAndRecordsEndingTheFile) {
    Replay r;
    // A sync pair at offset 0 has no stamp in front: the line shows the local time now.
    const Bytes eight = buildRecord({.layout = 0, .colour = 1, .index = 2});
    r.run(eight + entry(eight));
    ASSERT_EQ(r.out.lines.size(), 2u);
    EXPECT_EQ(r.out.lines[0].substr(12, 21), u"  [FIL] [G] [00001] [");
    // The last record of a file ends it exactly, even a layout-0 record of eight bytes.
    EXPECT_TRUE(r.out.lines[1].starts_with(u"08:07:06.005  "));
}

TEST(RawDataReplay, SyncPairsCloserThanTheRecordSkipTheFirstAndTheStopFlagEndsTheScan) {
    Replay r;
    const Bytes one = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {5}});
    const Bytes cut(one.begin(), one.begin() + 6);
    r.run(entry(cut) + entry(one) + entry(one));
    EXPECT_EQ(r.out.lines.size(), 2u);
    Replay s;
    s.stop = true;
    const ReplayScanResult result = s.run(entry(one) + entry(one) + entry(one));
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(s.out.lines.size(), 1u);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Reading the file block by block finds exactly what a scan of the whole file in memory
// finds, records and noise straddling the block ends included.
TEST(RawDataReplay, BlockReadingMatchesTheWholeFileScan) {
    std::mt19937 rng(8);
    Bytes file;
    while (file.size() < 3'500'000) {
        auto add = [&file](const Bytes& b) { file.insert(file.end(), b.begin(), b.end()); };
        add(entry(test::randomRecord(rng)));
        const int extra = std::uniform_int_distribution<int>(0, 9)(rng);
        if (extra == 0) add(Bytes{0x0A, 0, 0, 0});
        if (extra == 1) add(Bytes(std::uniform_int_distribution<std::size_t>(1, 3000)(rng), 0x33));
    }
    test::TempDir dir;
    writeFile(dir.file("raw.log"), file);
    Replay whole;
    const ReplayScanResult expected = whole.run(file);
    Replay blocks;
    const ReplayScanResult got = blocks.runFile(dir.file("raw.log"));
    EXPECT_GT(expected.records, 10000u);
    EXPECT_EQ(got.records, expected.records);
    EXPECT_FALSE(got.fileChanged);
    EXPECT_EQ(got.readError, 0);
    EXPECT_TRUE(blocks.out.lines == whole.out.lines);
    EXPECT_EQ(blocks.percents, whole.percents);
}

// Another program cuts the file to half while it is replayed: the scan ends after the last
// complete record of what is left, says so, and no signal is raised.
TEST(RawDataReplay, FileShortenedDuringTheReplayEndsAfterTheLastCompleteRecord) {
    const Bytes one = buildRecord({.layout = 4, .colour = 1, .index = 1, .params = {5}});
    const Bytes e = entry(one);
    Bytes file;
    while (file.size() < 6'000'000) file.insert(file.end(), e.begin(), e.end());
    test::TempDir dir;
    const std::string path = dir.file("raw.log");
    writeFile(path, file);
    const std::uint64_t half = file.size() / 2 + 5;  // inside an entry
    Replay r;
    bool cut = false;
    const ReplayScanResult result = r.runFile(path, [&](int percent) {
        if (percent == 10 && !cut) cut = truncateFile(path, half) == 0;
    });
    ASSERT_TRUE(cut);
    EXPECT_TRUE(result.fileChanged);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.records, half / e.size());
    EXPECT_EQ(r.out.lines.size(), half / e.size());
    EXPECT_TRUE(r.out.lines.back().starts_with(u"08:07:06.005  [FIL] [G] ["));
    EXPECT_TRUE(r.out.lines.back().ends_with(u"] [000] [000] [00000] one 5"));
}

TEST(RawDataReplay, EmptyFileShowsNothing) {
    Replay r;
    const ReplayScanResult result = r.run(Bytes{});
    EXPECT_EQ(result.records, 0u);
    EXPECT_TRUE(r.out.lines.empty());
    EXPECT_TRUE(r.percents.empty());
}

TEST(ReplayRange, CutsClampsAndShowsPlainOrColouredLines) {
    test::TempDir dir;
    const std::string path = dir.file("t.txt");
    const std::string text = "[G] a\n[R] b\n[D] c\nzz\n";  // 21 bytes
    auto write = [&] { std::ofstream(path, std::ios::binary) << text; };
    write();
    ReplayRange range = cutReplayText(path, 50, 100);
    EXPECT_EQ(range.begin, 10u);
    EXPECT_EQ(range.end, 21u);
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(showReplayRange(path, range, false, console, stop));
    EXPECT_EQ(view.plainText(), u"b\n[D] c\nzz\n");  // starts mid-line when the cut falls there
    // Out-of-range and reversed percentages are clamped; the file is cut at the end.
    range = cutReplayText(path, 80, 30);
    EXPECT_EQ(range.begin, 6u);
    EXPECT_EQ(range.end, 6u);
    EXPECT_EQ(test::readFileBytes(path).size(), 6u);
    write();
    range = cutReplayText(path, -5, 250);
    EXPECT_EQ(range.begin, 0u);
    EXPECT_EQ(range.end, 21u);
    view.clear();
    ASSERT_TRUE(showReplayRange(path, range, true, console, stop));
    const auto lines = view.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].colour, (Rgb{0, 255, 0}));
    EXPECT_EQ(lines[1].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(lines[2].colour, (Rgb{128, 128, 128}));
    EXPECT_FALSE(showReplayRange(dir.file("missing"), range, true, console, stop));
}

}  // namespace
}  // namespace nimbrel
