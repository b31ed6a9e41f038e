#include "sim/record_encoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "pipeline/record_layout.h"
#include "platform/little_endian.h"

namespace nimbrel::sim {
namespace {

TEST(RecordEncoder, WorkedExampleGivesTheWireBytes) {
    RecordFields f;
    f.layout = 4;
    f.colourCode = 1;
    f.messageIndex = 1337;
    f.infoByte = 7;
    const std::vector<std::uint32_t> params = {1, 300};
    std::vector<std::uint8_t> out = {0xEE};  // appends after what is there
    EXPECT_EQ(encodeRecord(f, params, out), 17u);
    const std::vector<std::uint8_t> expected = {0xEE, 0xA5, 0xA5, 0x28, 0x5A, 0x39,
                                                0x05, 0x07, 0x00, 0x02, 0x01, 0x00,
                                                0x00, 0x00, 0x2C, 0x01, 0x00, 0x00};
    EXPECT_EQ(out, expected);
}

// Every layout puts its fields where the framing side looks for them.
TEST(RecordEncoder, EveryLayoutRoundTripsThroughTheLayoutTable) {
    const std::vector<std::uint32_t> params = {0x11223344, 0x000000FE, 0x80000001};
    for (unsigned layout = 0; layout < kLayoutCount; ++layout) {
        SCOPED_TRACE(layout);
        RecordFields f;
        f.layout = layout;
        f.colourCode = layout % 8;
        f.messageIndex = 0xC14;
        f.infoByte = 0x42;
        f.extraByte = 0x9C;
        f.extraWord = 0xBEEF;
        std::vector<std::uint8_t> out;
        const std::size_t length = encodeRecord(f, params, out);
        ASSERT_EQ(length, out.size());

        const LayoutShape& shape = kLayoutTable[layout];
        const std::size_t n = shape.paramStart ? params.size() : 0;
        EXPECT_EQ(length, encodedRecordLength(layout, n));
        const HeaderCheck check = checkHeader(out.data(), out.size());
        ASSERT_EQ(check.state, HeaderState::Known);
        EXPECT_EQ(check.layout.length, length);

        const RecordRef r{out.data(), check.layout};
        EXPECT_EQ(r.layoutNumber(), layout);
        EXPECT_EQ(r.colourCode(), layout % 8);
        EXPECT_EQ(out[2] & 1, 0);
        EXPECT_EQ(r.messageIndex(), 0xC14);
        EXPECT_EQ(r.infoByte(), 0x42);
        EXPECT_EQ(r.extraByte(), shape.extraByteOffset ? 0x9C : 0);
        EXPECT_EQ(r.extraWord(), shape.extraWordOffset ? 0xBEEF : 0);
        EXPECT_EQ(r.paramCount(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* p = out.data() + shape.paramStart + i * shape.paramWidth;
            if (shape.paramWidth == 4) {
                EXPECT_EQ(loadLe32(p), params[i]);
            } else {
                EXPECT_EQ(*p, params[i] & 0xFF);
            }
        }
    }
}

TEST(RecordEncoder, RefusesWhatTheWireFormatCannotCarry) {
    std::vector<std::uint8_t> out;
    RecordFields f;
    f.layout = 12;
    EXPECT_EQ(encodeRecord(f, {}, out), 0u);
    f.layout = 4;
    f.colourCode = 8;
    EXPECT_EQ(encodeRecord(f, {}, out), 0u);
    f.colourCode = 0;
    const std::vector<std::uint32_t> tooMany(256, 1);
    EXPECT_EQ(encodeRecord(f, tooMany, out), 0u);
    EXPECT_TRUE(out.empty());

    const std::vector<std::uint32_t> most(255, 1);
    f.layout = 7;
    EXPECT_EQ(encodeRecord(f, most, out), kLongestRecord);
    EXPECT_EQ(encodedRecordLength(12, 0), 0u);
}

}  // namespace
}  // namespace nimbrel::sim
