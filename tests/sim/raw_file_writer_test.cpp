#include "sim/raw_file_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "pipeline/record_layout.h"

namespace nimbrel::sim {
namespace {

SimRecord makeRecord(std::uint16_t index, std::uint32_t gapMs) {
    SimRecord r;
    r.fields.layout = 0;
    r.fields.colourCode = 1;
    r.fields.messageIndex = index;
    r.gapMs = gapMs;
    encodeRecord(r.fields, r.params, r.bytes);
    return r;
}

bool sameTime(const LocalTime& a, const LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.millisecond == b.millisecond;
}

TEST(RawFileWriter, StampsRecordsAndTrailersAfterPauses) {
    RawFileEncoder enc(LocalTime{2024, 3, 18, 23, 59, 59, 990});
    std::vector<std::uint8_t> out;
    enc.append(makeRecord(0x0102, 0), out);
    enc.append(makeRecord(0x0304, 3), out);   // same burst: no trailer before it
    enc.append(makeRecord(0x0506, 20), out);  // after a pause: the previous record ends a window
    enc.finish(out);

    const std::vector<std::uint8_t> expected = {
        0xE8, 0x07, 3,    18,   23,   59,   59,   0xDE, 0x03,  // 23:59:59.990
        0xA5, 0xA5, 0x20, 0x5A, 0x02, 0x01, 0x00, 0x00,        //
        0xE8, 0x07, 3,    18,   23,   59,   59,   0xE1, 0x03,  // .993
        0xA5, 0xA5, 0x20, 0x5A, 0x04, 0x03, 0x00, 0x00,        //
        0x0A, 0x00, 0x00, 0x00,                                // trailer
        0xE8, 0x07, 3,    19,   0,    0,    0,    0x0D, 0x00,  // next day 00:00:00.013
        0xA5, 0xA5, 0x20, 0x5A, 0x06, 0x05, 0x00, 0x00,        //
        0x0A, 0x00, 0x00, 0x00,                                // trailer of the last record
    };
    EXPECT_EQ(out, expected);

    std::vector<std::uint8_t> none;
    RawFileEncoder empty;
    empty.finish(none);
    EXPECT_TRUE(none.empty());
}

TEST(RawFileWriter, CalendarArithmetic) {
    EXPECT_TRUE(
        sameTime(addMilliseconds({2024, 2, 28, 23, 59, 59, 999}, 1), {2024, 2, 29, 0, 0, 0, 0}));
    EXPECT_TRUE(
        sameTime(addMilliseconds({2023, 2, 28, 23, 59, 59, 999}, 1), {2023, 3, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(sameTime(addMilliseconds({2023, 12, 31, 23, 59, 59, 500}, 600),
                         {2024, 1, 1, 0, 0, 0, 100}));
    EXPECT_TRUE(sameTime(addMilliseconds({2024, 3, 18, 9, 30, 0, 0}, 3600000ull * 49 + 61001),
                         {2024, 3, 20, 10, 31, 1, 1}));
}

class RawFileOnDisk : public ::testing::Test {
protected:
    void TearDown() override { std::remove(path_.c_str()); }
    std::vector<std::uint8_t> read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    const std::string path_ =
        ::testing::TempDir() + "nimbrel_sim_raw_" + std::to_string(::getpid()) + ".log";
};

// Walks the file the way a reader does: records found at their sync pair, the stamp in the
// nine bytes before it.
TEST_F(RawFileOnDisk, FileHoldsTheGeneratedRecordsWithPlausibleRisingStamps) {
    ASSERT_EQ(writeRawDataFile(path_, 9, 3000), 0);
    const std::vector<std::uint8_t> bytes = read();

    std::vector<std::uint8_t> expected;
    LogGenerator g(9);
    RawFileEncoder enc;
    for (int i = 0; i < 3000; ++i) enc.append(g.next(), expected);
    enc.finish(expected);
    ASSERT_EQ(bytes, expected);

    LogGenerator again(9);
    std::size_t pos = 0;
    std::uint64_t lastMs = 0;
    int records = 0;
    while (pos < bytes.size()) {
        ASSERT_GE(bytes.size() - pos, kRawStampSize + 8) << "at " << pos;
        const std::uint8_t* s = bytes.data() + pos;
        const int year = s[0] | (s[1] << 8);
        ASSERT_TRUE(year == 2024 && s[2] >= 1 && s[2] <= 12 && s[3] >= 1 && s[3] <= 31 &&
                    s[4] <= 23 && s[5] <= 59 && s[6] <= 59 && (s[7] | (s[8] << 8)) <= 999)
            << "implausible stamp at " << pos;
        const std::uint64_t ms =
            ((((s[3] * 24ull + s[4]) * 60 + s[5]) * 60 + s[6]) * 1000) + (s[7] | (s[8] << 8));
        ASSERT_GE(ms, lastMs);
        lastMs = ms;
        pos += kRawStampSize;
        const SimRecord& r = again.next();
        ASSERT_TRUE(
            std::equal(r.bytes.begin(), r.bytes.end(), bytes.begin() + static_cast<long>(pos)));
        pos += r.bytes.size();
        ++records;
        if (bytes.size() - pos >= 4 && bytes[pos] == 0x0A && bytes[pos + 1] == 0 &&
            bytes[pos + 2] == 0 && bytes[pos + 3] == 0) {
            pos += 4;
        }
    }
    EXPECT_EQ(records, 3000);
    EXPECT_EQ(bytes.size() >= 4 ? bytes[bytes.size() - 4] : 0, 0x0A);
}

TEST_F(RawFileOnDisk, UnwritablePathReportsErrno) {
    EXPECT_EQ(writeRawDataFile("/nonexistent-folder-nimbrel/x.log", 1, 10), ENOENT);
    ASSERT_EQ(writeRawDataFile(path_, 1, 0), 0);
    EXPECT_TRUE(read().empty());
}

}  // namespace
}  // namespace nimbrel::sim
