#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoders/decoder_test_util.h"
#include "decoders/decoders.h"

namespace nimbrel {
namespace {

using test::fill;
using test::hciWords;
using test::narrow;
using test::RecordWords;

std::string decode(const std::vector<std::uint32_t>& words) {
    return narrow(DecodeHciCommand(RecordWords(words).view()));
}

// Length 0x14 and twenty distinct parameter bytes A0..B3.
std::vector<std::uint32_t> fullPacket(std::uint32_t opcode) {
    std::vector<std::uint32_t> bytes;
    for (std::uint32_t i = 0; i < 20; ++i) {
        bytes.push_back(0xA0 + i);
    }
    return hciWords(opcode, 0x14, bytes);
}

// What a template reads when filled from fullPacket: the length, then the bytes.
std::string expectedFull(const char* pattern) {
    std::vector<std::uint32_t> values{0x14};
    for (std::uint32_t i = 0; i < 20; ++i) {
        values.push_back(0xA0 + i);
    }
    return fill(pattern, values);
}

TEST(HciCommandDecoder, PrintsFieldBytesInPacketOrder) {
    EXPECT_EQ(decode(hciWords(0x0C28, 4, {0x40, 0x00, 0x40, 0x06})),
              "HCI_CMD: Write Automatic Flush Timeout Command, opcode: 0x0C28, len: 04"
              " \n\t Connection_Handle: 40 00 \n\t Flush_Timeout: 40 06");
    EXPECT_EQ(decode(fullPacket(0x0C11)),
              expectedFull("HCI_CMD: Write Stored Link Key Command, opcode: 0x0C11, len: %02x"
                           " \n\t Num_Keys_To_Write: %02x"
                           " \n\t BD_ADDR [i]: %02x %02x %02x %02x %02x %02x"
                           " \n\t Link_Key[i] is out of buffer"));
    EXPECT_EQ(decode(hciWords(0x0C03, 0)),
              "HCI_CMD: Reset Command, opcode: 0x0C03 , len: 00 \n\t No parameters");
}

struct Line {
    std::uint32_t opcode;
    const char* pattern;
};

// Every row whose head or labels depart from the common pattern.
// clang-format off
const Line kDepartingRows[] = {
    {0x0402, "HCI_CMD:Inquiry Cancel Command, opcode: 0x0402, len: %02x"},
    {0x0403, "HCI_CMD:Periodic Inquiry Mode Command, opcode: 0x0403, len: %02x"
             " \n\t Max_Period_Length: %02x %02x \n\t Min_Period_Length: %02x %02x"
             " \n\t Lap: %02x %02x %02x \n\t Inquiry_Length: %02x \n\t Num_Responses: %02x"},
    {0x0404, "HCI_CMD:Exit Periodic Inquiry Mode Command, opcode: 0x0404, len: %02x"},
    {0x0405, "HCI_CMD:Create Connection Command, opcode: 0x0405, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x \n\t Packet_Type: %02x %02x"
             " \n\t Page_Scan_Repetition_Mode: %02x \n\t Reserved: %02x"
             " \n\t Clock_Offset: %02x %02x \n\t Allow_Role_Switch: %02x"},
    {0x0406, "HCI_CMD:Disconnect Command, opcode: 0x0406, len: %02x"
             " \n\t Connection_Handle: %02x %02x \n\t Reason: %02x"},
    {0x0408, "HCI_CMD:Create Connection Cancel Command, opcode: 0x0408, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"},
    {0x0409, "HCI_CMD:Accept Connection Request Command, opcode: 0x0409, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x \n\t Role: %02x"},
    {0x0429, "HCI_CMD:Accept Synchronous  Connection Request Command, opcode: 0x0429, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"
             " \n\t Transmit_Bandwidth: %02x %02x %02x %02x"
             " \n\t Receive_Bandwidth: %02x %02x %02x %02x \n\t Max_Latency: %02x %02x"
             " \n\t Content_Format: %02x %02x \n\t Retransmission_Effort: %02x"},
    {0x1001, "HCI_CMD:Read Local Version Information Command, opcode: 0x1001, len: %02x"
             " \n\t No parameters"},
    {0x040E, "HCI_CMD:  PIN Code Request Negative Reply Command, opcode: 0x040E, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"},
    {0x0C33, "HCI_CMD:  Host Buffer Size Command, opcode: 0x0C33, len: %02x"
             " \n\t Host_ACL_Data_Packet_Length: %02x %02x"
             " \n\t Host_Synchronous_Data_Packet_Length: %02x"
             " \n\t Host_Total_Num_ACL_Data_Packets: %02x %02x"
             " \n\t Host_Total_Num_Synchronous_Data_Packets: %02x %02x"},
    {0x0C52, "HCI_CMD:  Write Extended Inquiry Response Command, opcode: 0x0C52, len: %02x"
             " \n\t FEC_Required: %02x \n\t Extended Inquiry Response is out of buffer"},
    {0x080E, "HCI_CMD: Read Default Link Policy Settings Command , opcode: 0x080E, len: %02x"},
    {0x0C46, "HCI_CMD: Read Page Scan Type Command , opcode: 0x0C46, len: %02x"
             " \n\t No parameters"},
    {0x0C03, "HCI_CMD: Reset Command, opcode: 0x0C03 , len: %02x \n\t No parameters"},
    {0x0436, "HCI_CMD:, opcode: 0x0436, len: %02x \n\t Physical_Link_Handle: %02x"
             " \n\t Dedicated_AMP_Key_Length: %02x \n\t Dedicated_AMP_Key_Type: %02x"
             " \n\t Dedicated_AMP_Key is unknown length"},
    {0x080D, "HCI_CMD:, opcode: 0x080D, len: %02x \n\t Connection_Handle: %02x %02x"
             " \n\t Link_Policy_Settings: %02x %02x"},
    {0x2001, "HCI_CMD:, opcode: 0x2001, len: %02x"
             " \n\t LE_Event_Mask: %02x %02x %02x %02x %02x %02x %02x %02x"},
    {0x0401, "HCI_CMD: Inquiry command, opcode: 0x0401, len: %02x \n\t LAP:%02x %02x %02x"
             " \n\t inquiry_length:%02x \n\t Num_Reponses:%02x"},
    {0x0435, "HCI_CMD: Create Physical Link Command, opcode: 0x0435, len: %02x"
             " \n\t Physical _Link_Handle:: %02x \n\t Dedicated_AMP_Key_Length: %02x"
             " \n\t Dedicated_AMP_Key_Type: %02x \n\t Dedicated_AMP_Key is unknow length"},
};
// clang-format on

TEST(HciCommandDecoder, RowsWithTheirOwnHeadsAndLabels) {
    for (const Line& line : kDepartingRows) {
        SCOPED_TRACE(line.opcode);
        EXPECT_EQ(decode(fullPacket(line.opcode)), expectedFull(line.pattern));
    }
}

// Rows that cut long parameters, print notes in their place or end on an empty item.
// clang-format off
const Line kNotedRows[] = {
    {0x0810, "HCI_CMD: Flow Specification Command, opcode: 0x0810, len: %02x"
             " \n\t Connection_Handle: %02x %02x \n\t Flags: %02x \n\t Flow_direction: %02x"
             " \n\t Service_Type: %02x \n\t Token Rate: %02x %02x %02x %02x"
             " \n\t Token Bucket Size: %02x %02x %02x %02x"
             " \n\t Peak_Bandwidth: %02x %02x %02x %02x"
             " \n\t Access Latency: %02x %02x %02x lost one byte"},
    {0x040B, "HCI_CMD: Link Key Request Reply Command, opcode: 0x040B, len: %02x"
             " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"
             " \n\t Link_Key: %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x"
             " %02x"},
    {0x0C13, "HCI_CMD: Write Local Name Command, opcode: 0x0C13, len: %02x"
             " \n\t Local Name is out of buffer"},
    {0x0C42, "HCI_CMD: Read Inquiry Scan Type Command, opcode: 0x0C42, len: %02x"
             " \n\t : No parameters"},
    {0x043A, "HCI_CMD: Disconnect Log ical Link Command, opcode: 0x043A, len: %02x"
             " \n\t Logical_Link_Handle: %02x %02x \n\t "},
    {0x1803, "HCI_CMD: Enable De vice Under Test Mode Command, opcode: 0x1803, len: %02x \n\t "},
    {0x200D, "HCI_CMD: LE Create Connection Command, opcode: 0x200D, len: %02x"
             " \n\t LE_Scan_Interval: %02x %02x \n\t LE_Scan_Window: %02x %02x"
             " \n\t Initiator_Filter_Policy: %02x \n\t Peer_Address_Type: %02x"
             " \n\t Peer_Address: %02x %02x %02x %02x %02x %02x \n\t Own_Address_Type: %02x"
             " \n\t Conn_Interval_Min: %02x %02x \n\t Conn_Interval_Max: %02x %02x"},
    {0x1409, "HCI_CMD: Read Local AMP Info Command, opcode: 0x1409, len: %02x"
             " \n\t No parameters"},
};
// clang-format on

TEST(HciCommandDecoder, LongAndVariableParametersGiveNotes) {
    for (const Line& line : kNotedRows) {
        SCOPED_TRACE(line.opcode);
        EXPECT_EQ(decode(fullPacket(line.opcode)), expectedFull(line.pattern));
    }
}

TEST(HciCommandDecoder, OpcodesWithoutRowGiveTheirGroupsFallback) {
    const struct {
        std::uint32_t ogf;
        const char* text;
    } groups[] = {
        {1, "unknow Link Control Command"},
        {2, "unknow Link Policy Commands"},
        {3, "unknow CONTROLLER & BASEBAND COMMANDS"},
        {4, "unknow Informational Parameters Commands"},
        {5, "unknow Status Parameters Commands"},
        {6, "unknow Testing Commands"},
        {8, "unknow LE CONTROLLER COMMANDS"},
    };
    for (const auto& group : groups) {
        SCOPED_TRACE(group.ogf);
        for (const std::uint32_t ocf : {0x000u, 0x0FFu, 0x100u, 0x3FFu}) {
            EXPECT_EQ(decode(fullPacket(group.ogf << 10 | ocf)), group.text);
        }
    }
    EXPECT_EQ(decode(fullPacket(0x0407)), "unknow Link Control Command");
    EXPECT_EQ(decode(fullPacket(0x0C02)), "unknow CONTROLLER & BASEBAND COMMANDS");
    EXPECT_EQ(decode(fullPacket(0x2004)), "unknow LE CONTROLLER COMMANDS");
}

TEST(HciCommandDecoder, OtherGroupsGiveNoText) {
    for (const std::uint32_t opcode : {0x0000u, 0x0001u, 0x1C01u, 0x1C03u, 0x2401u, 0xFC01u}) {
        SCOPED_TRACE(opcode);
        EXPECT_TRUE(DecodeHciCommand(RecordWords(fullPacket(opcode)).view()).empty());
    }
}

TEST(HciCommandDecoder, KnowsExactly190Opcodes) {
    std::vector<std::uint32_t> words = hciWords(0, 0);
    int decoded = 0;
    for (std::uint32_t opcode = 0; opcode <= 0xFFFF; ++opcode) {
        words[0] = opcode;
        const std::u16string text = DecodeHciCommand(ParamWords{words.data(), words.size()});
        decoded += text.starts_with(u"HCI_CMD:") ? 1 : 0;
    }
    EXPECT_EQ(decoded, 190);
}

TEST(HciCommandDecoder, IgnoresBitsOutsideTheOpcodeAndBytes) {
    EXPECT_EQ(decode(hciWords(0xABCD0406, 0xFF03, {0x1234, 0xFFFFFF00, 0x80000013})),
              "HCI_CMD:Disconnect Command, opcode: 0x0406, len: 03"
              " \n\t Connection_Handle: 34 00 \n\t Reason: 13");
}

TEST(HciCommandDecoder, WordsMissingFromTheRecordReadAsZero) {
    // Three words held; everything after them is a sentinel the decoder must not show.
    EXPECT_EQ(decode({0x0406, 3, 0x40}),
              "HCI_CMD:Disconnect Command, opcode: 0x0406, len: 03"
              " \n\t Connection_Handle: 40 00 \n\t Reason: 00");
    EXPECT_EQ(decode({0x0C28}),
              "HCI_CMD: Write Automatic Flush Timeout Command, opcode: 0x0C28, len: 00"
              " \n\t Connection_Handle: 00 00 \n\t Flush_Timeout: 00 00");
    EXPECT_TRUE(decode({}).empty());
    EXPECT_TRUE(DecodeHciCommand(ParamWords{}).empty());
}

TEST(HciCommandDecoder, AppendKeepsWhatTheBufferHolds) {
    const RecordWords words(hciWords(0x0C03, 0));
    std::u16string line = u"head\n";
    AppendHciCommand(line, words.view());
    EXPECT_EQ(line, u"head\n" + DecodeHciCommand(words.view()));

    line = u"head";
    AppendHciCommand(line, RecordWords(fullPacket(0xFC01)).view());
    EXPECT_EQ(line, u"head");
}

}  // namespace
}  // namespace nimbrel
