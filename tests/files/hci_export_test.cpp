#include "files/hci_export.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/string_filter.h"
#include "sim/log_generator.h"
#include "sim/raw_file_writer.h"
#include "support/capture_file_reader.h"
#include "support/hci_records.h"
#include "support/record_builder.h"
#include "support/temp_dir.h"
#include "support/time_zone.h"

namespace nimbrel {
namespace {

using test::Bytes;
using test::operator+;

std::int64_t utcMicros(int y, int mo, int d, int h, int mi, int s, int ms, int offsetHours) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return (static_cast<std::int64_t>(::timegm(&tm)) - offsetHours * 3600) * 1000000 + ms * 1000;
}

// An export of one raw data file with its own definitions, read back.
struct Exported {
    HciExportResult result;
    test::CaptureFile file;
    bool exists = false;
};

class HciExportRig {
public:
    test::TempDir dir;
    MemoryLogView view;
    StringFilter filter;
    LogConsole console{view, filter};
    MessageDefinitionTable definitions;

    explicit HciExportRig(const std::string& definitionText) {
        definitions.loadFromText(definitionText);
    }

    Exported run(const Bytes& raw, bool skipFirstWord = false, bool cancel = false,
                 const std::string& out = "") {
        const std::string rawPath = dir.file("raw.log");
        test::writeFileBytes(rawPath, raw);
        RawDataInput input;
        EXPECT_EQ(input.open(rawPath), 0);
        const std::string outPath = out.empty() ? dir.file("out.btsnoop") : out;
        std::atomic<bool> stop{cancel};
        Exported e;
        e.result =
            exportHciPackets(input, rawPath, definitions, skipFirstWord, outPath, console, stop);
        e.exists = std::filesystem::exists(outPath);
        if (e.exists) e.file = test::readBtsnoop(test::readFileBytes(outPath));
        return e;
    }
};

std::string log1Text() {
    std::ifstream in(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every HCI record of a simulated capture is one packet, in file order, with the record's
// words as its bytes, its direction, and its stamp read as Central European time.
TEST(HciExport, SimulatorFileGivesEveryHciRecordAsAPacketWithItsStamp) {
    test::ScopedTimeZone zone(test::kCentralEuropeanTime);
    sim::LogGenerator generator(11);
    sim::RawFileEncoder encoder;
    Bytes raw;
    struct Entry {
        Bytes record;
        LocalTime stamp;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < 3000; ++i) {
        const sim::SimRecord& r = generator.next();
        encoder.append(r, raw);
        entries.push_back({r.bytes, encoder.now()});
    }
    encoder.finish(raw);

    HciExportRig rig(log1Text());
    const Exported e = rig.run(raw);
    ASSERT_EQ(e.result.writeError, 0);
    ASSERT_TRUE(e.file.valid);
    EXPECT_EQ(e.file.version, 1u);
    EXPECT_EQ(e.file.linkType, 1002u);

    std::size_t k = 0, truncated = 0, commands = 0;
    for (const Entry& entry : entries) {
        const auto expected = test::expectedHciPacket(entry.record);
        if (!expected) continue;
        ASSERT_LT(k, e.file.packets.size());
        const test::CapturedPacket& p = e.file.packets[k++];
        EXPECT_EQ(p.bytes, expected->bytes) << "packet " << k;
        // Both lengths are what was logged; the header's length byte tells the full size.
        EXPECT_EQ(p.originalLength, p.bytes.size());
        EXPECT_EQ(p.flags, expected->command ? 2u : 3u);
        EXPECT_EQ(p.drops, 0u);
        const LocalTime& s = entry.stamp;
        EXPECT_EQ(p.unixMicros,
                  utcMicros(s.year, s.month, s.day, s.hour, s.minute, s.second, s.millisecond, 1));
        if (expected->fullLength > expected->bytes.size()) ++truncated;
        if (expected->command) ++commands;
    }
    EXPECT_EQ(k, e.file.packets.size());
    EXPECT_GT(truncated, 0u);  // long names and inquiry results are logged in part
    EXPECT_EQ(e.result.counts.truncated, truncated);
    EXPECT_EQ(e.result.counts.commands, commands);
    EXPECT_EQ(e.result.counts.events, k - commands);
    EXPECT_EQ(e.result.scan.records, entries.size());
}

Bytes entry(const RawStamp* stamp, const test::RecordParts& parts) {
    Bytes out;
    if (stamp) {
        const auto b = stamp->toBytes();
        out.assign(b.begin(), b.end());
    }
    return out + test::buildRecord(parts);
}

// The replay's stamp rules and hand-over rule, record by record: a packet before the first
// stamp takes the first plausible one, an implausible stamp advances the last by 1 ms,
// HCI records that do not fit their definition are counted, not exported.
TEST(HciExport, StampAndHandOverRulesOfTheReplay) {
    test::ScopedTimeZone zone(test::kCentralEuropeanTime);
    const RawStamp winter{2024, 1, 10, 12, 0, 0, 500};
    const RawStamp implausible{2024, 13, 10, 12, 0, 0, 0};
    const RawStamp summer{2024, 7, 1, 8, 0, 0, 0};
    const Bytes raw =
        entry(nullptr, {.layout = 4, .index = 1355, .params = {0x0C03}}) +  // opcode only
        entry(&winter, {.layout = 4, .index = 7, .params = {5}}) +
        entry(&implausible, {.layout = 4, .index = 1358, .params = {0x0E, 4, 1, 3, 0x0C, 0}}) +
        entry(&summer, {.layout = 8, .index = 1358, .params = {0x0E, 4, 1, 3, 0x0C, 0}}) +
        entry(&summer, {.layout = 4, .index = 1358, .params = {0x0E}}) +
        entry(&summer, {.layout = 5, .index = 1355, .params = {0x0406, 3, 0x40, 0x00, 0x13}});
    HciExportRig rig(
        "#define LOG_HCI_COMMAND 1355 //\"cmd %x\"\n"
        "#define LOG_HCI_EVENT 1358 //\"evt %x %x\"\n"
        "#define LOG_OTHER 7 //\"other %d\"\n");

    struct Case {
        bool skipFirstWord;
        std::vector<Bytes> packets;
        std::uint64_t truncated;  // the command without its length word; with the skip,
                                  // also the one whose length word is now 0x40
    };
    const Case cases[] = {
        {false,
         {{0x01, 0x03, 0x0C}, {0x04, 0x0E, 4, 1, 3, 0x0C, 0}, {0x01, 0x06, 0x04, 3, 0x40, 0, 0x13}},
         1},
        {true, {{0x01}, {0x04, 4, 1, 3, 0x0C, 0}, {0x01, 3, 0, 0x40, 0, 0x13}}, 2},
    };
    const std::int64_t times[] = {utcMicros(2024, 1, 10, 12, 0, 0, 500, 1),
                                  utcMicros(2024, 1, 10, 12, 0, 0, 501, 1),
                                  utcMicros(2024, 7, 1, 8, 0, 0, 0, 2)};
    for (const Case& c : cases) {
        const Exported e = rig.run(raw, c.skipFirstWord);
        ASSERT_TRUE(e.file.valid);
        ASSERT_EQ(e.file.packets.size(), c.packets.size());
        for (std::size_t i = 0; i < c.packets.size(); ++i) {
            EXPECT_EQ(e.file.packets[i].bytes, c.packets[i]) << i << " skip " << c.skipFirstWord;
            EXPECT_EQ(e.file.packets[i].unixMicros, times[i]) << i;
        }
        const HciExportCounts& n = e.result.counts;
        EXPECT_EQ(n.commands, 2u);
        EXPECT_EQ(n.events, 1u);
        EXPECT_EQ(n.byteParameters, 0u);
        EXPECT_EQ(n.notDefined, 2u);  // 8-bit parameters, and too few for the text
        EXPECT_EQ(n.truncated, c.truncated);
        EXPECT_EQ(n.undated, 0u);
    }
}

// A file whose HCI records are not decoded gives a btsnoop file without packets; an output
// that cannot be written, or an export that is cancelled, leaves nothing new behind.
TEST(HciExport, EmptyUnwritableAndCancelledExports) {
    HciExportRig rig(
        "#define LOG_HCI_EVENT 1358 //\"evt %s\"\n"
        "#define LOG_OTHER 7 //\"other %d\"\n");
    const RawStamp stamp{2024, 1, 10, 12, 0, 0, 0};
    const Bytes raw = entry(&stamp, {.layout = 4, .index = 7, .params = {5}}) +
                      entry(&stamp, {.layout = 8, .index = 1358, .params = {0x0E, 4, 1}});

    const Exported empty = rig.run(raw);
    EXPECT_EQ(empty.result.writeError, 0);
    EXPECT_TRUE(empty.file.valid);
    EXPECT_TRUE(empty.file.packets.empty());
    EXPECT_EQ(empty.result.counts.byteParameters, 1u);  // "paraWide is 1 not 4"
    EXPECT_EQ(test::readFileBytes(rig.dir.file("out.btsnoop")).size(), 16u);

    const Exported missingFolder = rig.run(raw, false, false, rig.dir.file("no/such/out.btsnoop"));
    EXPECT_EQ(missingFolder.result.writeError, ENOENT);
    EXPECT_FALSE(missingFolder.exists);

    const Bytes previous{'k', 'e', 'p', 't'};
    test::writeFileBytes(rig.dir.file("out.btsnoop"), previous);
    const Exported cancelled = rig.run(raw, false, true);
    EXPECT_TRUE(cancelled.result.scan.cancelled);
    EXPECT_EQ(test::readFileBytes(rig.dir.file("out.btsnoop")), previous);
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(rig.dir.path()))
        names.push_back(f.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"out.btsnoop", "raw.log"}));
}

}  // namespace
}  // namespace nimbrel
