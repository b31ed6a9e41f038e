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
    return narrow(DecodeHciEvent(RecordWords(words).view()));
}

// Length 0x14 and twenty parameter bytes: `first`, then C1..D3.
std::vector<std::uint32_t> packetValues(std::uint32_t first) {
    std::vector<std::uint32_t> values{0x14, first};
    for (std::uint32_t i = 1; i < 20; ++i) {
        values.push_back(0xC0 + i);
    }
    return values;
}

std::vector<std::uint32_t> fullPacket(std::uint32_t code, std::uint32_t first = 0xC0) {
    std::vector<std::uint32_t> values = packetValues(first);
    values.insert(values.begin(), code);
    return values;
}

struct Line {
    std::uint32_t code;
    const char* pattern;
};

TEST(HciEventDecoder, DisconnectionCompleteLine) {
    EXPECT_EQ(decode(hciWords(0x05, 4, {0x00, 0x40, 0x00, 0x13})),
              "HCI_EVENT: Disconnection Complete Event, code: 0x05, len: 04"
              " \n\t Status: 00 \n\t Connection_Handle: 40 00 \n\t Reason: 13");
}

// Every row whose head or labels depart from the common pattern, and rows with notes.
// clang-format off
const Line kRows[] = {
    {0x01, "HCI_EVENT: Inquiry Complete Event, code:0x01, len:%02x \n\t Status: %02x"},
    {0x02, "HCI_EVENT: Inquiry Result Event, opcode: 0x02, len: %02x"
           " \n\t  Num_Responses: %02x \n\t out of buffer"},
    {0x03, "HCI_EVENT: Connection Complete Event code:0x03, len:%02x \n\t Status: %02x"
           " \n\t Connection_Handle: %02x %02x \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"
           " \n\t Link_Type: %02x \n\t Encryption_Enabled: %02x"},
    {0x04, "HCI_EVENT: Connection Request Event, code:0x04, len:%02x"
           " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x \n\t Class_of_Device: %02x %02x %02x"
           " \n\t Link_Type: %02x"},
    {0x06, "HCI_EVENT Authentication Complete Event, code: 0x06, len: %02x \n\t Status: %02x"
           " \n\t Connection_Handle: %02x %02x"},
    {0x0D, "HCI_EVENT: QoS Setup Complete Event, code: 0x0D, len: %02x \n\t Status: %02x"
           " \n\t Connection_Handle: %02x %02x \n\t Flags: %02x \n\t Service_Type: %02x"
           " \n\t Token_Rate: %02x %02x  %02x %02x \n\t Peak_Bandwidth: %02x %02x  %02x %02x"
           " \n\t Latency: %02x %02x  %02x %02x \n\t Delay_Variation: %02x %02x  %02x"
           "  lost one byte"},
    {0x22, "HCI_EVENT: Inquiry Result with RSSI Event , code: 0x22, len: %02x"
           " \n\t Num_Responses: %02x \n\t BD_ADDR[i]: %02x %02x %02x %02x %02x %02x"
           " \n\t Page_Scan_Repetition_Mode[i]: %02x \n\t Reserved[i]: %02x"
           " \n\t Class_of_Device[i]: %02x %02x %02x \n\t Clock_Offset[i]: %02x %02x"
           " \n\t RSSI[i]: %02x"},
    {0x2C, "HCI_EVENT: Synchronous Connection Complete Event, code: 0x2C, len: %02x"
           " \n\t Status: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t BD_ADDR:  %02x %02x %02x %02x %02x %02x \n\t Link_Type: %02x"
           " \n\t Transmission_Interval: %02x \n\t Retransmission window: %02x"
           " \n\t Rx_Packet_Length: %02x %02x \n\t Tx_Packet_Length: %02x %02x"
           " \n\t Air Mode: %02x"},
    {0x0E, "HCI_EVENT: Command Complete Event, code: 0x0E, len: %02x"
           " \n\t Num_HCI_Command_Packets: %02x \n\t Command_Opcode: %02x %02x"
           " \n\t Return_Parameter Size: Depends on Command"},
    {0x18, "HCI_EVENT: Link Key  Notification Event, code: 0x18, len: %02x"
           " \n\t BD_ADDR: %02x %02x %02x %02x %02x %02x"
           " \n\t Link_Key: %02x %02x %02x %02x %02x %02x %02x %02x lost four byte"},
    {0x19, "HCI_EVENT: Loopback Command Event, code: 0x19, len: %02x"
           " \n\t HCI_Command_Packet Size : Depends on Command"},
    {0x21, "HCI_EVENT: Flow Specificat ion Complete Event, code: 0x21, len: %02x"
           " \n\t Status: %02x \n\t Connection_Handle: %02x %02x \n\t Flags: %02x"
           " \n\t Flow_direction: %02x \n\t Service_Type: %02x"
           " \n\t Token Rate: %02x %02x %02x %02x \n\t Token Bucket: %02x %02x %02x %02x"
           " \n\t Peak_Bandwidth: %02x %02x %02x %02x \n\t Access Latency: %02x %02x"
           " lost two bytes"},
    {0x4D, "HCI_EVENT: AMP Status Change Event, code: 0x4D, len: %02x \n\t Status: %02x"
           " \n\t AMP_Status: %02x"},
};
// clang-format on

TEST(HciEventDecoder, RowsWithTheirOwnHeadsLabelsAndNotes) {
    for (const Line& line : kRows) {
        SCOPED_TRACE(line.code);
        EXPECT_EQ(decode(fullPacket(line.code)), fill(line.pattern, packetValues(0xC0)));
    }
}

// LE meta event: parameter byte 0 selects the row and prints as Subevent_Code.
// clang-format off
const Line kSubevents[] = {
    {0x01, "HCI_EVENT: LE Connection Complete Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Status: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t Role: %02x \n\t Peer_Address_Type: %02x"
           " \n\t Peer_Address: %02x %02x %02x %02x %02x %02x \n\t Conn_Interval: %02x %02x"
           " \n\t Conn_Latency: %02x %02x \n\t Supervision_Timeout: %02x %02x"
           " \n\t Master_Clock_Accuracy: %02x"},
    {0x02, "HCI_EVENT: LE Advertising Report Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Num_Reports: %02x"
           " \n\t the buffer is not enough for all content"},
    {0x03, "HCI_EVENT: LE Connection Update Complete Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Status: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t Conn_Interval: %02x %02x \n\t Conn_Latency: %02x %02x"
           " \n\t Supervision_Timeout: %02x %02x"},
    {0x04, "HCI_EVENT: LE Read Remote Used Features Complete Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Status: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t LE_Features: %02x %02x %02x %02x %02x %02x %02x %02x"},
    {0x05, "HCI_EVENT: LE Long Term Key Request Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t Random_Number: %02x %02x %02x %02x %02x %02x %02x %02x"
           " \n\t Encrypted_Diversifier: %02x %02x"},
    {0x06, "HCI_EVENT: LE Remote Connection Parameter Request Event, code: 0x3E, len: %02x"
           " \n\t Subevent_Code: %02x \n\t Connection_Handle: %02x %02x"
           " \n\t Interval_Min: %02x %02x \n\t Interval_Max: %02x %02x"
           " \n\t Latency: %02x %02x \n\t Timeout: %02x %02x"},
};
// clang-format on

TEST(HciEventDecoder, LeMetaSubevents) {
    for (const Line& line : kSubevents) {
        SCOPED_TRACE(line.code);
        EXPECT_EQ(decode(fullPacket(0x3E, line.code)), fill(line.pattern, packetValues(line.code)));
    }
    // The subevent byte is masked like every other parameter byte.
    EXPECT_EQ(decode(fullPacket(0x3E, 0x7702)), fill(kSubevents[1].pattern, packetValues(0x02)));
    for (const std::uint32_t subevent : {0x00u, 0x07u, 0x0Du, 0xFFu}) {
        SCOPED_TRACE(subevent);
        EXPECT_TRUE(decode(fullPacket(0x3E, subevent)).empty());
    }
}

TEST(HciEventDecoder, CodesWithoutRowGiveTheFallback) {
    for (const std::uint32_t code :
         {0x00u, 0x10u, 0x1Fu, 0x24u, 0x2Bu, 0x37u, 0x3Au, 0x3Fu, 0x4Eu, 0x80u, 0xFFu}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(decode(fullPacket(code)), "unknow HCI EVENT");
    }
}

TEST(HciEventDecoder, KnowsExactly64Codes) {
    int decoded = 0;
    for (std::uint32_t code = 0; code <= 0xFF; ++code) {
        bool known = false;
        for (std::uint32_t subevent = 0; subevent <= 0xFF && !known; ++subevent) {
            known = decode(fullPacket(code, subevent)).starts_with("HCI_EVENT");
            if (code != 0x3E) {
                break;
            }
        }
        decoded += known ? 1 : 0;
    }
    EXPECT_EQ(decoded, 64);
}

TEST(HciEventDecoder, IgnoresBitsOutsideTheCodeAndBytes) {
    EXPECT_EQ(decode(hciWords(0x00000105, 0x1204, {0xA500, 0x1240, 0xFF00, 0x13})),
              "HCI_EVENT: Disconnection Complete Event, code: 0x05, len: 04"
              " \n\t Status: 00 \n\t Connection_Handle: 40 00 \n\t Reason: 13");
}

TEST(HciEventDecoder, WordsMissingFromTheRecordReadAsZero) {
    EXPECT_EQ(decode({0x0E, 4, 0x01}),
              "HCI_EVENT: Command Complete Event, code: 0x0E, len: 04"
              " \n\t Num_HCI_Command_Packets: 01 \n\t Command_Opcode: 00 00"
              " \n\t Return_Parameter Size: Depends on Command");
    // An LE meta event whose subevent word is missing reads subevent 0: nothing to show.
    EXPECT_TRUE(decode({0x3E, 1}).empty());
    EXPECT_EQ(decode({}), "unknow HCI EVENT");
}

}  // namespace
}  // namespace nimbrel
