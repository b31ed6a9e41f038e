#include "sim/log_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "pipeline/record_layout.h"
#include "sim/message_catalog.h"

namespace nimbrel::sim {
namespace {

struct Definition {
    std::string text;
    int params = 0;  // number of '%'
    int width = 0;   // 1 with "%s", 4 with other conversions, 0 without
};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Reads data/LOG1.h the way the definition loader does. Indices defined twice land in
// `duplicates`.
std::map<int, Definition> readDefinitions(std::set<int>* duplicates = nullptr) {
    std::ifstream in(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h");
    EXPECT_TRUE(in) << "LOG1.h not found";
    std::map<int, Definition> defs;
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find("#define ");
        if (at == std::string::npos) continue;
        const std::string body = trim(line.substr(at + 8));
        const auto blank = body.find(' ');
        const auto slashes = body.find("//");
        if (blank == std::string::npos || slashes == std::string::npos) continue;
        const std::string indexText =
            slashes > blank ? trim(body.substr(blank, slashes - blank)) : std::string();
        const int index =
            indexText.empty() || !std::isdigit(static_cast<unsigned char>(indexText[0]))
                ? 0
                : std::stoi(indexText);
        if (index < 0 || index > 65535) continue;
        Definition d;
        const std::size_t from = slashes + 3;
        d.text =
            from < body.size() ? trim(body.substr(from, body.size() - 1 - from)) : std::string();
        d.params = static_cast<int>(std::count(d.text.begin(), d.text.end(), '%'));
        d.width = d.text.find("%s") != std::string::npos ? 1 : (d.params > 0 ? 4 : 0);
        if (duplicates && defs.count(index)) duplicates->insert(index);
        defs[index] = d;
    }
    return defs;
}

const std::set<std::uint32_t> kBasicLmpOpcodes = [] {
    std::set<std::uint32_t> s;
    for (std::uint32_t op = 1; op <= 65; ++op) {
        if (op != 22 && op != 26) s.insert(op);
    }
    for (std::uint32_t op = 124; op <= 127; ++op) s.insert(op);
    return s;
}();
const std::set<std::uint32_t> kExtLmpOpcodes = {1,  2,  3,  4,  11, 12, 13, 16, 17, 21, 22,
                                                23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

TEST(SimDefinitions, Log1DefinesEachIndexOnceIncludingTheDecoderIndices) {
    std::set<int> duplicates;
    const auto defs = readDefinitions(&duplicates);
    EXPECT_TRUE(duplicates.empty());
    EXPECT_EQ(defs.count(0), 0u) << "a stray define landed on index 0";
    for (int index : {1355, 1358, 3091, 3092, 3093, 3094}) {
        ASSERT_EQ(defs.count(index), 1u) << index;
        EXPECT_EQ(defs.at(index).width, 4) << index;
    }
    ASSERT_EQ(defs.count(65535), 1u);
    EXPECT_EQ(defs.at(65535).width, 1);
    for (std::uint16_t index : kUndefinedIndices) EXPECT_EQ(defs.count(index), 0u) << index;
    // No definition text is cut off by the loader's 255-character entries.
    for (const auto& [index, d] : defs) EXPECT_LE(d.text.size(), 255u) << index;
}

TEST(LogGenerator, SameSeedSameRecordsOtherSeedOtherRecords) {
    LogGenerator a(42);
    LogGenerator b(42);
    LogGenerator c(43);
    bool differs = false;
    for (int i = 0; i < 5000; ++i) {
        const SimRecord& ra = a.next();
        const SimRecord& rb = b.next();
        const SimRecord& rc = c.next();
        ASSERT_EQ(ra.bytes, rb.bytes) << "record " << i;
        ASSERT_EQ(ra.gapMs, rb.gapMs) << "record " << i;
        differs = differs || ra.bytes != rc.bytes;
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(a.produced(), 5000u);
}

TEST(LogGenerator, RecordsAreWellFormedAndMatchTheirFields) {
    LogGenerator g(7);
    for (int i = 0; i < 20000; ++i) {
        const SimRecord& r = g.next();
        SCOPED_TRACE(i);
        std::vector<std::uint8_t> encoded;
        ASSERT_GT(encodeRecord(r.fields, r.params, encoded), 0u);
        ASSERT_EQ(encoded, r.bytes);
        const HeaderCheck check = checkHeader(r.bytes.data(), r.bytes.size());
        ASSERT_EQ(check.state, HeaderState::Known);
        ASSERT_EQ(check.layout.length, r.bytes.size());
        // Nothing inside a record can be taken for the next record's sync pair.
        for (std::size_t k = 2; k < r.bytes.size(); ++k) {
            ASSERT_FALSE(r.bytes[k] == kSyncByte &&
                         (k + 1 == r.bytes.size() || r.bytes[k + 1] == kSyncByte))
                << "byte " << k;
        }
    }
}

TEST(LogGenerator, CoversAllLayoutsColoursAndMessages) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        LogGenerator g(seed);
        std::bitset<kLayoutCount> layouts;
        std::bitset<8> colours;
        std::set<std::uint16_t> indices;
        for (int i = 0; i < 20000; ++i) {
            const SimRecord& r = g.next();
            layouts.set(r.fields.layout);
            colours.set(r.fields.colourCode);
            indices.insert(r.fields.messageIndex);
        }
        EXPECT_TRUE(layouts.all()) << layouts;
        EXPECT_TRUE(colours.all()) << colours;
        for (std::uint16_t index :
             {kHciCommandIndex, kHciEventIndex, kLmpSentIndex, kLmpSentExtIndex, kLmpReceivedIndex,
              kLmpReceivedExtIndex, kRawDumpIndex}) {
            EXPECT_EQ(indices.count(index), 1u) << index;
        }
        for (std::uint16_t index : kUndefinedIndices) EXPECT_EQ(indices.count(index), 1u) << index;
        // Most of the catalogue shows up in a run of this length.
        EXPECT_GE(indices.size(), kMessageCount * 9 / 10);
    }
}

TEST(LogGenerator, EveryDefinedIndexMatchesItsDefinition) {
    const auto defs = readDefinitions();
    const std::set<std::uint16_t> undefined(kUndefinedIndices.begin(), kUndefinedIndices.end());
    LogGenerator g(11);
    std::size_t undefinedSeen = 0;
    for (int i = 0; i < 30000; ++i) {
        const SimRecord& r = g.next();
        const std::uint16_t index = r.fields.messageIndex;
        if (undefined.count(index)) {
            ++undefinedSeen;
            continue;
        }
        auto it = defs.find(index);
        ASSERT_NE(it, defs.end()) << "index " << index << " is not in LOG1.h";
        const LayoutShape& shape = kLayoutTable[r.fields.layout];
        const std::size_t n = shape.paramStart ? r.params.size() : 0;
        ASSERT_EQ(static_cast<int>(shape.paramWidth), it->second.width) << "index " << index;
        ASSERT_LE(it->second.params, static_cast<int>(n)) << "index " << index;
        if (shape.paramWidth == 1) {
            // A text: printable, at most a terminating zero.
            for (std::size_t k = 0; k < n && index != kRawDumpIndex; ++k) {
                const bool last = k + 1 == n;
                ASSERT_TRUE((r.params[k] >= 0x20 && r.params[k] < 0x7F) ||
                            (last && r.params[k] == 0))
                    << "index " << index;
            }
        }
    }
    EXPECT_GT(undefinedSeen, 0u);
    EXPECT_LT(undefinedSeen, 300u);  // occasional
}

TEST(LogGenerator, StartsWithTheBootSequenceAndTheHostReset) {
    LogGenerator g(5);
    EXPECT_EQ(g.next().fields.messageIndex, 1);  // the boot banner
    int firstCommand = -1;
    for (int i = 1; i < 60 && firstCommand < 0; ++i) {
        const SimRecord& r = g.next();
        if (r.fields.messageIndex == kHciCommandIndex) firstCommand = static_cast<int>(r.params[0]);
    }
    EXPECT_EQ(firstCommand, 0x0C03);
}

// HCI commands and events carry opcode (code), length and one packet byte per word; LMP
// PDUs carry the words the LMP decoder reads.
TEST(LogGenerator, ProtocolRecordsArePackedForTheDecoders) {
    LogGenerator g(3);
    std::set<std::uint32_t> commands;
    std::set<std::uint32_t> events;
    std::set<std::uint32_t> leSubevents;
    std::uint32_t lastCommand = 0;
    for (int i = 0; i < 30000; ++i) {
        const SimRecord& r = g.next();
        const std::uint16_t index = r.fields.messageIndex;
        const std::vector<std::uint32_t>& w = r.params;
        if (index == kHciCommandIndex || index == kHciEventIndex) {
            ASSERT_EQ(kLayoutTable[r.fields.layout].paramWidth, 4u);
            ASSERT_GE(w.size(), 2u);
            ASSERT_LE(w.size(), 22u);
            ASSERT_EQ(w.size(), 2 + std::min<std::size_t>(w[1], 20))
                << "length and logged bytes disagree";
            for (std::size_t k = 2; k < w.size(); ++k) ASSERT_LE(w[k], 0xFFu);
            if (index == kHciCommandIndex) {
                ASSERT_LE(w[0], 0xFFFFu);
                commands.insert(w[0]);
                lastCommand = w[0];
            } else {
                ASSERT_LE(w[0], 0xFFu);
                events.insert(w[0]);
                if (w[0] == 0x3E) leSubevents.insert(w[2]);
                if (w[0] == 0x0E) {
                    // Command Complete: credits, then the opcode of a command sent before.
                    ASSERT_EQ(w[3] | (w[4] << 8), lastCommand);
                }
            }
        } else if (index == kLmpSentIndex || index == kLmpReceivedIndex) {
            ASSERT_EQ(w.size(), 15u);
            ASSERT_EQ(kBasicLmpOpcodes.count(w[1]), 1u) << w[1];
        } else if (index == kLmpSentExtIndex || index == kLmpReceivedExtIndex) {
            ASSERT_EQ(w.size(), 16u);
            ASSERT_EQ(w[1], 127u);
            ASSERT_EQ(kExtLmpOpcodes.count(w[2]), 1u) << w[2];
        }
    }
    for (std::uint32_t op :
         {0x0C03u, 0x1001u, 0x0401u, 0x0405u, 0x0406u, 0x2006u, 0x200Au, 0x200Bu, 0x200Du}) {
        EXPECT_EQ(commands.count(op), 1u) << std::hex << op;
    }
    for (std::uint32_t code : {0x01u, 0x03u, 0x05u, 0x0Eu, 0x0Fu, 0x3Eu})
        EXPECT_EQ(events.count(code), 1u) << code;
    for (std::uint32_t sub : {0x01u, 0x02u, 0x03u}) EXPECT_EQ(leSubevents.count(sub), 1u) << sub;
}

}  // namespace
}  // namespace nimbrel::sim
