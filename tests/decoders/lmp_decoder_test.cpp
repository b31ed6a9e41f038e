#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/decoder_test_util.h"
#include "decoders/decoders.h"

namespace nimbrel {
namespace {

using test::fill;
using test::narrow;
using test::RecordWords;

using Decoder = std::u16string (*)(ParamWords);

std::string decode(Decoder decoder, const std::vector<std::uint32_t>& words) {
    return narrow(decoder(RecordWords(words).view()));
}

// A basic record: opcode in word 1, content in words 8 to 14.
std::vector<std::uint32_t> basicWords(std::uint32_t opcode, std::vector<std::uint32_t> content) {
    std::vector<std::uint32_t> words{0x11, opcode, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    words.insert(words.end(), content.begin(), content.end());
    words.resize(15, 0);
    return words;
}

// An extended record: escape opcode in word 1, extended opcode in word 2, content in
// words 10 to 15.
std::vector<std::uint32_t> extendedWords(std::uint32_t escape, std::uint32_t opcode,
                                         std::vector<std::uint32_t> content) {
    std::vector<std::uint32_t> words{0x11, escape, opcode, 0x33, 0x44,
                                     0x55, 0x66,   0x77,   0x88, 0x99};
    words.insert(words.end(), content.begin(), content.end());
    words.resize(16, 0);
    return words;
}

TEST(LmpDecoder, VersionRequestSentAndReceived) {
    const std::vector<std::uint32_t> words = basicWords(37, {0x09, 0x5D, 0x00, 0x10, 0x22});
    EXPECT_EQ(decode(DecodeLmpSent, words),
              "send lmp opcode: 37, name is LMP_version_req \n\t VersNr: 09"
              " \n\t CompId: 5d 00 \n\t SubVersNr: 10 22");
    EXPECT_EQ(decode(DecodeLmpReceived, words),
              "receive lmp opcode: 37, name is LMP_version_req \n\t VersNr: 09"
              " \n\t CompId: 5d 00 \n\t SubVersNr: 10 22");
}

// Lines of every shape: fields, notes after the values or on a line of their own, names
// without a space before the first item, labels without a colon, rows shared by several
// opcodes.
struct GoldenLine {
    std::uint32_t first;
    std::uint32_t last;
    const char* pattern;  // the text after ", name is "
};

// clang-format off
const GoldenLine kBasicLines[] = {
    {2, 2,
     "LMP_name_res \n\t name offset: %02x \n\t name length: %02x \n\t "
     "name fragment: %02x %02x %02x %02x %02x lost others"},
    {5, 5, "LMP_clkoffset_req\n\t no content"},
    {6, 6, "LMP_clkoffset_res\n\t clock offset: %02x %02x"},
    {11, 11,
     "LMP_au_rand \n\t "
     "random number is %02x %02x %02x %02x %02x %02x %02x lost the others"},
    {18, 18, "LMP_stop_encryption_req\n\t no content"},
    {20, 20, "LMP_hold \n\t hold time: %02x %02x \n\t hold instant: %02x %02x %02x %02x"},
    {23, 23,
     "LMP_sniff_req \n\t timing control flags: %02x \n\t Dsniff: %02x %02x \n\t "
     "Tsniff: %02x %02x \n\t sniff attempt: %02x %02x \n\t lost others"},
    {25, 25,
     "LMP_park_req\n\t timing control flags: %02x \n\t DB: %02x %02x \n\t "
     "TB: %02x %02x \n\t NB: %02x \n\t delta B: %02x \n\t others are lost"},
    {29, 29,
     "LMP_unpark_BD_ADDR_req \n\t timing control flags: %02x \n\t DB: %02x %02x \n\t "
     "LT_ADDR 1st unpark & LT_ADDR 2nd unpark: %02x \n\t lost others"},
    {30, 30,
     "LMP_unpark_PM_ADDR_req \n\t timing control flags: %02x \n\t DB: %02x %02x \n\t "
     "LT_ADDR 1st unpark & LT_ADDR 2nd unpark: %02x \n\t PM_ADDR 1st unpark: %02x \n\t "
     "PM_ADDR 2nd unpark: %02x \n\t LT_ADDR 3rd unpark & LT_ADDR 4th unpark: %02x \n\t "
     "lost the others"},
    {40, 40, "LMP_features_res \n\t features: %02x %02x %02x %02x %02x %02x %02x lost the others"},
    {49, 49, "LMP_setup_complete \n\t no contents"},
    {51, 51, "LMP_host_connection_req\n\t on content"},
    {52, 52,
     "LMP_slot_offset \n\t slot offset: %02x %02x \n\t "
     "BD_ADDR: %02x %02x %02x %02x %02x lost one byte"},
    {57, 57,
     "LMP_test_control \n\t test scenario: %02x \n\t hopping mode: %02x \n\t "
     "TX frequency: %02x \n\t RX frequency: %02x \n\t power control mode: %02x \n\t "
     "poll period: %02x \n\t packet type: %02x \n\t lost others"},
    {60, 60,
     "LMP_set_AFH \n\t AFH_instant: %02x %02x %02x %02x \n\t AFH_mode: %02x \n\t "
     "AFH_channel_map: %02x %02x lost the others"},
    {124, 127, "Escape 1 \n\t extended op code: %02x \n\t variable: %02x %02x %02x %02x %02x %02x"},
};
// clang-format on

// clang-format off
const GoldenLine kExtendedLines[] = {
    {3, 3,
     "LMP_features_req_ext \n\t features page: %02x \n\t max supported page: %02x \n\t "
     "extended features: %02x %02x %02x %02x lost the others"},
    {11, 11, "LMP_packet_type_table_req\n\t packet type table: %02x"},
    {12, 12,
     "LMP_eSCO_link_req \n\t eSCO handle: %02x \n\t eSCO LT_ADDR: %02x \n\t "
     "timing control flags: %02x \n\t DeSCO: %02x \n\t TeSCO: %02x \n\t WeSCO: %02x \n\t "
     "lost others"},
    {17, 17,
     "LMP_channel_classification \n\t "
     "AFH_channel_classification: %02x %02x %02x %02x %02x %02x lost the others"},
    {21, 21,
     "LMP_sniff_subrating_req \n\t max_sniff_subrate: %02x \n\t "
     "min_sniff_mode_timeout: %02x %02x \n\t "
     "sniff_subrating_instant: %02x %02x %02x lost one byte"},
    {25, 25,
     "LMP_IO_Capability_req \n\t IO_capabilities %02x \n\t "
     "OOB Authentication Data: %02x \n\t Authentication Requirement: %02x"},
    {27, 27, "LMP_numeric_comparison_failed \n\t no content"},
};
// clang-format on

// Content words: one above 0xFF and one with all bits set, both printed whole; more
// values than a record holds, cut to the content words by basicWords and extendedWords.
const std::vector<std::uint32_t> kContent{0x0A, 0x1A2, 0x33, 0xFFFFFFFF, 0x05, 0x66, 0x7F, 0xBAD};

TEST(LmpDecoder, BasicLines) {
    for (const GoldenLine& line : kBasicLines) {
        for (std::uint32_t opcode = line.first; opcode <= line.last; ++opcode) {
            SCOPED_TRACE(opcode);
            const std::vector<std::uint32_t> words = basicWords(opcode, kContent);
            const std::string body = ", name is " + fill(line.pattern, kContent);
            const std::string number = std::to_string(opcode);
            EXPECT_EQ(decode(DecodeLmpSent, words), "send lmp opcode: " + number + body);
            EXPECT_EQ(decode(DecodeLmpReceived, words), "receive lmp opcode: " + number + body);
        }
    }
}

TEST(LmpDecoder, ExtendedLines) {
    for (const GoldenLine& line : kExtendedLines) {
        SCOPED_TRACE(line.first);
        const std::vector<std::uint32_t> words = extendedWords(127, line.first, kContent);
        const std::string body = ", name is " + fill(line.pattern, kContent);
        const std::string numbers = "127/" + std::to_string(line.first);
        EXPECT_EQ(decode(DecodeLmpSentExt, words), "send lmp ext opcode: " + numbers + body);
        EXPECT_EQ(decode(DecodeLmpReceivedExt, words), "receive lmp ext opcode: " + numbers + body);
    }
}

TEST(LmpDecoder, KnowsEveryOpcodeOfItsTables) {
    int basic = 0;
    int extended = 0;
    for (std::uint32_t opcode = 0; opcode < 300; ++opcode) {
        basic += decode(DecodeLmpSent, basicWords(opcode, {})).starts_with("send") ? 1 : 0;
        extended +=
            decode(DecodeLmpSentExt, extendedWords(127, opcode, {})).starts_with("send") ? 1 : 0;
    }
    EXPECT_EQ(basic, 63 + 4);  // the escape opcodes 124 to 127 share a row
    EXPECT_EQ(extended, 21);
}

TEST(LmpDecoder, EscapeOpcodesShareOneRow) {
    EXPECT_EQ(decode(DecodeLmpSent, basicWords(127, {0x03, 1, 2, 3, 4, 5, 0x1A2})),
              "send lmp opcode: 127, name is Escape 1 \n\t extended op code: 03"
              " \n\t variable: 01 02 03 04 05 1a2");
    EXPECT_EQ(decode(DecodeLmpReceived, basicWords(124, {})),
              "receive lmp opcode: 124, name is Escape 1 \n\t extended op code: 00"
              " \n\t variable: 00 00 00 00 00 00");
}

TEST(LmpDecoder, OpcodesWithoutRow) {
    for (const std::uint32_t opcode :
         {0u, 22u, 26u, 66u, 100u, 123u, 128u, 200u, 0x10025u, 0x80000025u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(opcode);
        EXPECT_EQ(decode(DecodeLmpSent, basicWords(opcode, kContent)), "unknow lmp message");
        EXPECT_EQ(decode(DecodeLmpReceived, basicWords(opcode, kContent)), "unknow lmp message");
    }
    for (const std::uint32_t opcode :
         {0u, 5u, 10u, 14u, 15u, 18u, 20u, 33u, 127u, 0x10001u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(opcode);
        EXPECT_EQ(decode(DecodeLmpSentExt, extendedWords(127, opcode, kContent)),
                  "unknow ext lmp message");
        EXPECT_EQ(decode(DecodeLmpReceivedExt, extendedWords(127, opcode, kContent)),
                  "unknow ext lmp message");
    }
}

TEST(LmpDecoder, ExtendedEntriesNeedTheEscapeOpcode) {
    for (const std::uint32_t escape : {0u, 1u, 37u, 126u, 128u, 0x17Fu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(escape);
        EXPECT_EQ(decode(DecodeLmpSentExt, extendedWords(escape, 3, kContent)),
                  "it is not ext lmp message");
        EXPECT_EQ(decode(DecodeLmpReceivedExt, extendedWords(escape, 30, kContent)),
                  "it is not ext lmp message");
    }
    EXPECT_EQ(decode(DecodeLmpReceivedExt, extendedWords(127, 30, {0x02})),
              "receive lmp ext opcode: 127/30, name is LMP_keypress_notification"
              " \n\t Notification Type: 02");
}

TEST(LmpDecoder, WordsMissingFromTheRecordReadAsZero) {
    // Two words held: the content words all lie beyond the record.
    EXPECT_EQ(decode(DecodeLmpSent, {0x11, 37}),
              "send lmp opcode: 37, name is LMP_version_req \n\t VersNr: 00"
              " \n\t CompId: 00 00 \n\t SubVersNr: 00 00");
    // Eleven words: the first content word of an extended record is held, the rest not.
    EXPECT_EQ(decode(DecodeLmpSentExt, {0, 127, 1, 0, 0, 0, 0, 0, 0, 0, 0x04}),
              "send lmp ext opcode: 127/1, name is LMP_accepted_ext \n\t escape op code: 04"
              " \n\t extended op code: 00");
    EXPECT_EQ(decode(DecodeLmpSentExt, {0}), "it is not ext lmp message");
    EXPECT_EQ(decode(DecodeLmpReceived, {}), "unknow lmp message");
}

TEST(LmpDecoder, AppendKeepsWhatTheBufferHolds) {
    const RecordWords words(basicWords(5, {}));
    std::u16string line = u"line";
    AppendLmpSent(line, words.view());
    EXPECT_EQ(line, u"linesend lmp opcode: 5, name is LMP_clkoffset_req\n\t no content");
}

}  // namespace
}  // namespace nimbrel
