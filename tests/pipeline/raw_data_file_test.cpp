#include "pipeline/raw_data_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "pipeline/capture_hub.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_emitter.h"
#include "platform/file_handle.h"
#include "platform/path.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"

namespace nimbrel {
namespace {

using test::buildRecord;
using test::Bytes;

RecordRef refOf(const Bytes& b) { return {b.data(), checkHeader(b.data(), b.size()).layout}; }

TEST(RawDataFile, NamesOfBothRoutes) {
    const LocalTime t{2026, 3, 7, 9, 5, 4, 321};
    EXPECT_EQ(RawDataFile::comRouteName("/data", t, "ttyUSB0"),
              joinPath("/data", "RawData_20260307_090504_ttyUSB0.log"));
    EXPECT_EQ(RawDataFile::driverRouteName("/data", t),
              joinPath("/data", "RawData_20260307_090504.log"));
    RawDataFile file("/data");
    EXPECT_EQ(file.comPortName(), "0");
    file.setComPortName("/dev/pts/7");  // only the last path element goes into names
    EXPECT_EQ(file.comPortName(), "7");
}

TEST(RawDataFile, StampAndRecordBytesWithTrailerOnlyAfterTheLastOfAWindow) {
    test::TempDir dir;
    RawDataFile file(dir.path());
    file.setName(dir.file("raw.log"));
    const Bytes a = buildRecord({.layout = 4, .index = 1337, .params = {1, 300}});
    const Bytes b = buildRecord({.layout = 2, .index = 3, .extraByte = 4});
    const LocalTime before = localTimeNow();
    file.appendRecord(refOf(a), false);
    file.appendRecord(refOf(b), true);
    const Bytes bytes = test::readFileBytes(dir.file("raw.log"));
    ASSERT_EQ(bytes.size(), 9 + a.size() + 9 + b.size() + 4);
    EXPECT_EQ(Bytes(bytes.begin() + 9, bytes.begin() + 9 + static_cast<long>(a.size())), a);
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{0x0A, 0x00, 0x00, 0x00}));
    // Stamp: year LE, month, day, hour, minute, second, millisecond LE.
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), before.year);
    EXPECT_EQ(bytes[2], before.month);
    EXPECT_EQ(bytes[3], before.day);
    EXPECT_LE(bytes[7] | (bytes[8] << 8), 999);
    const RawStamp s = makeRawStamp({2303, 12, 31, 23, 59, 58, 999});
    EXPECT_EQ(s, (RawStamp{2303, 12, 31, 23, 59, 58, 999}));
    EXPECT_EQ(s.toBytes(), (std::array<std::uint8_t, kRawStampSize>{0xFF, 0x08, 12, 31, 23, 59, 58,
                                                                    0xE7, 0x03}));
    EXPECT_EQ(RawStamp::fromBytes(s.toBytes().data()), s);
}

TEST(RawDataFile, PrepareReportsTheFileOrTheFailure) {
    test::TempDir dir;
    MemoryLogView view;
    StringFilter filter;
    LogConsole console(view, filter);
    RawDataFile file(dir.path());
    file.setName(dir.file("raw.log"));
    EXPECT_TRUE(file.prepare(console));
    EXPECT_TRUE(std::filesystem::exists(dir.file("raw.log")));
    file.setName(dir.file("missing/raw.log"));
    EXPECT_FALSE(file.prepare(console));
    EXPECT_EQ(file.lastError(), ENOENT);
    // Entries that cannot be written are counted for the capture's summary.
    const Bytes r = buildRecord({.layout = 0, .index = 1});
    file.appendRecord(refOf(r), false);
    file.appendRecord(refOf(r), true);
    EXPECT_EQ(file.entriesLost(), 2u);
    file.setName(dir.file("raw.log"));
    EXPECT_TRUE(file.prepare(console));
    EXPECT_EQ(file.entriesLost(), 0u) << "a new capture counts afresh";
    EXPECT_EQ(file.lastError(), 0);
    const auto lines = view.lines();
    ASSERT_EQ(lines.size(), 3u);
    const std::string raw = dir.file("raw.log");
    EXPECT_EQ(lines[0].text,
              u"[G] Write Log to File(" + std::u16string(raw.begin(), raw.end()) + u")");
    EXPECT_EQ(lines[0].colour, (Rgb{0, 255, 0}));
    EXPECT_NE(lines[1].text.find(u"Fail with error:0x2"), std::u16string::npos);  // ENOENT
    EXPECT_EQ(lines[1].colour, (Rgb{255, 0, 0}));
}

TEST(RawDataFile, SwitchesToANewFileAfter50MiBOnlyOnALastOfWindowRecord) {
    test::TempDir dir;
    RawDataFile file(dir.path());
    const std::string first = dir.file("RawData_first.log");
    file.setName(first);
    const Bytes r = buildRecord({.layout = 0, .index = 1});
    ASSERT_NE(truncateFile(first, 0), 0);  // not there yet
    file.appendRecord(refOf(r), false);
    ASSERT_EQ(truncateFile(first, kRawDataSwitchSize), 0);
    file.appendRecord(refOf(r), false);  // not last of a window: stays
    EXPECT_EQ(file.name(), first);
    file.appendRecord(refOf(r), true);
    const std::string second = file.name();
    EXPECT_NE(second, first);
    EXPECT_EQ(second.rfind(joinPath(dir.path(), "RawData_"), 0), 0u);
    EXPECT_EQ(second.substr(second.size() - 6),
              "_0.log");  // COM suffix, "0" before any COM capture
    EXPECT_EQ(test::readFileBytes(second).size(), 9 + r.size() + 4);
}

TEST(RawDataFile, NothingIsWrittenWithSavingOff) {
    test::TempDir dir;
    CaptureHub hub(dir.path());
    hub.rawDataFile.setName(dir.file("raw.log"));
    test::CollectingSink display;
    MessageDefinitionTable definitions;
    RecordEmitter emitter(display, definitions, hub);
    const Bytes r = buildRecord({.layout = 0});
    emitter.onRecord(refOf(r), true);
    EXPECT_FALSE(std::filesystem::exists(dir.file("raw.log")));
    EXPECT_TRUE(display.records().empty());  // no definitions loaded: not shown either
    definitions.loadFromText("");
    hub.setAutoSaveRawData(true);
    emitter.onRecord(refOf(r), true);
    EXPECT_EQ(display.records().size(), 1u);
    EXPECT_EQ(test::readFileBytes(dir.file("raw.log")).size(), 9 + r.size() + 4);
}

TEST(RawDataFile, TextChunkIsUtf16WithSignExtendedBytesAndNeverHoldsTheSyncPair) {
    test::TempDir dir;
    RawDataFile file(dir.path());
    file.setName(dir.file("raw.log"));
    file.appendTextChunk(u"A\xFFA5");
    EXPECT_EQ(test::readFileBytes(dir.file("raw.log")),
              (Bytes{0x41, 0x00, 0xA5, 0xFF, 0x0A, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace nimbrel
