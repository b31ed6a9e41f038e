// HCI event tables: one row per event code (and per LE meta subevent) with the name
// printed for it and the fields of its parameters (label and size in bytes), in packet
// order. A row prints at most the first 20 parameter bytes; parameters that do not fit,
// or have a variable length, are replaced by a fixed note. Events that repeat a group of
// fields per response or per handle show the first group, its labels marked "[i]".
//
// Names, labels and notes are kept letter for letter as users and their tools know them,
// odd spellings and spacing included: do not correct them.
#include "decoders/decoder_tables.h"

namespace nimbrel::decoding {
namespace {

// clang-format off
constexpr Entry kEvents[] = {
    row(0x01, "Inquiry Complete Event", kNoSpaceAfterKeys), field("Status", 1),
    row(0x02, "Inquiry Result Event", kOpcodeKeyWord),
        field("Num_Responses", 1, kSpaceBeforeLabel),
        note("out of buffer"),
    row(0x03, "Connection Complete Event", kNoCommaBeforeKey | kNoSpaceAfterKeys),
        field("Status", 1), field("Connection_Handle", 2), field("BD_ADDR", 6),
        field("Link_Type", 1), field("Encryption_Enabled", 1),
    row(0x04, "Connection Request Event", kNoSpaceAfterKeys), field("BD_ADDR", 6),
        field("Class_of_Device", 3), field("Link_Type", 1),
    row(0x05, "Disconnection Complete Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Reason", 1),
    row(0x06, "Authentication Complete Event", kNoColonAfterPrefix), field("Status", 1),
        field("Connection_Handle", 2),
    row(0x07, "Remote Name Request Complete Event"), field("Status", 1), field("BD_ADDR", 6),
        note("Remote_Name is out of buffer"),
    row(0x08, "Encryption Change Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Encryption_Enabled", 1),
    row(0x09, "Change Connection Link Key Complete Event"), field("Status", 1),
        field("Connection_Handle", 2),
    row(0x0A, "Master Link Key Complete Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Key_Flag", 1),
    row(0x0B, "Read Remote Supported Features Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("LMP_Features", 8),
    row(0x0C, "Read Remote Version Information Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Version", 1), field("Manufacturer_Name", 2),
        field("Subversion", 2),
    row(0x0D, "QoS Setup Complete Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Flags", 1), field("Service_Type", 1), field("Token_Rate", 4, kTwoSpacesBeforeThird),
        field("Peak_Bandwidth", 4, kTwoSpacesBeforeThird),
        field("Latency", 4, kTwoSpacesBeforeThird),
        fieldThen("Delay_Variation", 3, "lost one byte",
                  kTwoSpacesBeforeThird | kTwoSpacesBeforeNote),
    row(0x0E, "Command Complete Event"), field("Num_HCI_Command_Packets", 1),
        field("Command_Opcode", 2), note("Return_Parameter Size: Depends on Command"),
    row(0x0F, "Command Status Event"), field("Status", 1), field("Num_HCI_Command_Packets", 1),
        field("Command_Opcode", 2),
    row(0x11, "Flush Oc curred Event"), field("Handle", 2),
    row(0x12, "Role Change Event"), field("Status", 1), field("BD_ADDR", 6), field("New_Role", 1),
    row(0x13, "Number Of Completed Packets Event"), field("Number_of_Handles", 1),
        field("Connection_Handle[i]", 2), field("HC_Num_Of_Completed_Packets [i]", 2),
    row(0x14, "Mode Change Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Current_Mode", 1), field("Interval", 1),
    row(0x15, "Return Link Keys Event"), field("Num_Keys", 1), field("BD_ADDR [i]", 6),
        note("Link_Key[i] is out of buffer"),
    row(0x16, "PIN Code Request Event"), field("BD_ADDR", 6),
    row(0x17, "Link Key Request Event"), field("BD_ADDR", 6),
    row(0x18, "Link Key  Notification Event"), field("BD_ADDR", 6),
        fieldThen("Link_Key", 8, "lost four byte"),
    row(0x19, "Loopback Command Event"), note("HCI_Command_Packet Size : Depends on Command"),
    row(0x1A, "Data Buffer  Overflow Event"), field("Link_Type", 1),
    row(0x1B, "Max Slots Change Event"), field("Connection_Handle", 2), field("LMP_Max_Slots", 1),
    row(0x1C, "Read Clock Offset Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Clock_Offset", 2),
    row(0x1D, "Connection Packet Type Changed Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Packet_Type", 2),
    row(0x1E, "QoS Violation Event"), field("Handle", 2),
    row(0x20, "Page Scan Repeti tion Mode Change Event"), field("BD_ADDR", 6),
        field("Page_Scan_Repetition_Mode", 1),
    row(0x21, "Flow Specificat ion Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Flags", 1), field("Flow_direction", 1),
        field("Service_Type", 1), field("Token Rate", 4), field("Token Bucket", 4),
        field("Peak_Bandwidth", 4), fieldThen("Access Latency", 2, "lost two bytes"),
    row(0x22, "Inquiry Result with RSSI Event", kSpaceBeforeComma), field("Num_Responses", 1),
        field("BD_ADDR[i]", 6), field("Page_Scan_Repetition_Mode[i]", 1), field("Reserved[i]", 1),
        field("Class_of_Device[i]", 3), field("Clock_Offset[i]", 2), field("RSSI[i]", 1),
    row(0x23, "Read Remote Extended Features Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Page Number", 1), field("Maximum Page Number", 1),
        field("Extended_LMP_Features", 8),
    row(0x2C, "Synchronous Connection Complete Event"), field("Status", 1),
        field("Connection_Handle", 2), field("BD_ADDR", 6, kTwoSpacesAfterColon),
        field("Link_Type", 1), field("Transmission_Interval", 1), field("Retransmission window", 1),
        field("Rx_Packet_Length", 2), field("Tx_Packet_Length", 2), field("Air Mode", 1),
    row(0x2D, "Synchronous C onnection Changed Event"), field("Status", 1),
        field("Connection_Handle", 2), field("Transmission_Interval", 1),
        field("Retransmission window", 1), field("Rx_Packet_Length", 2),
        field("Tx_Packet_Length", 2),
    row(0x2E, "Sniff Subrating Event"), field("Status", 1), field("Connection_Handle", 2),
        field("Maximum_Transmit_Latency", 2), field("Maximum_Receive_Latency", 2),
        field("Minimum_Remote_Timeout", 2), field("Minimum_Local_Timeout", 2),
    row(0x2F, "Extended Inquiry Result Event"), field("Num_Responses", 1), field("BD_ADDR", 6),
        field("Page_Scan_Repetition_Mode", 1), field("Reserved", 1), field("Class_of_Device", 3),
        field("Clock_Offset", 2), field("RSSI", 1),
        note("Extended_Inquiry_Response is out of buffer"),
    row(0x30, "Encryption Key Refresh Complete Event"), field("Status", 1),
        field("Connection_Handle", 2),
    row(0x31, "IO Capability Request Event"), field("BD_ADDR", 6),
    row(0x32, "IO Capability Response Event"), field("BD_ADDR", 6), field("IO_Capability", 1),
        field("OOB_Data_Present", 1), field("Authentication_Requirements", 1),
    row(0x33, "User Confirmation Request Event"), field("BD_ADDR", 6), field("Numeric_Value", 4),
    row(0x34, "User Passkey Request Event"), field("BD_ADDR", 6),
    row(0x35, "Remote OOB  Data Request Event"), field("BD_ADDR", 6),
    row(0x36, "Simple Pairing Complete Event"), field("Status", 1), field("BD_ADDR", 6),
    row(0x38, "Link Supervision Timeout Changed Event"), field("Connection_Handle", 2),
        field("Link_Supervision_Timeout", 2),
    row(0x39, "Enhanced Flush Complete Event"), field("Handle", 2),
    row(0x3B, "User Passkey Notification Event"), field("BD_ADDR", 6), field("Passkey", 4),
    row(0x3C, "Keypress Notification Event"), field("BD_ADDR", 6), field("Notification_Type", 1),
    row(0x3D, "Remote Host Supported Features Notification Event"), field("BD_ADDR", 6),
        field("Host_Supported_Features", 8),
    row(0x40, "Physical Link Complete Event"), field("Status", 1), field("Physical_Link_Handle", 1),
    row(0x41, "Channel Selected Event"), field("Physical_Link_Handle", 1),
    row(0x42, "Disconnection Physical Link Complete Event"), field("Status", 1),
        field("Physical_Link_Handle", 1), field("Reason", 1),
    row(0x43, "Physical Link Loss Early Warning Event"), field("Physical_Link_Handle", 1),
        field("Link_Loss_Reason", 1),
    row(0x44, "Physical Link  Recovery Event"), field("Physical_Link_Handle", 1),
    row(0x45, "Logical Link Complete Event"), field("Status", 1), field("Logical_Link_Handle", 2),
        field("Physical_Link_Handle", 1), field("TX_Flow_Spec_ID", 1),
    row(0x46, "Disconnection Logical  Link Complete Event"), field("Status", 1),
        field("Logical_Link_Handle", 2), field("Reason", 1),
    row(0x47, "Flow Spec Modify Complete Event"), field("Status", 1), field("Handle", 2),
    row(0x48, "Number Of Completed Data Blocks Event"), field("Total_Num_Data_Blocks", 2),
        field("Number_of_Handles", 1), field("Handle[i]", 2),
        field("Num_Of_Completed_Packets [i]", 2), field("Num_Of_Completed_Blocks [i]", 2),
    row(0x49, "AMP Start Test Event"), field("Status", 1), field("Test Scenario", 1),
    row(0x4A, "AMP Test End Event"), field("Status", 1), field("Test Scenario", 1),
    row(0x4B, "AMP Receiver Report Event"), field("Controller_Type", 1), field("Reason", 1),
        field("Event_type", 4), field("Number_Of_Frames", 2), field("Number_Of_Error_Frames", 2),
        field("Number_Of_Bits", 4), field("Number_Of_Error_Bits", 4),
    row(0x4C, "Short Range Mode Change Complete Event"), field("Status", 1),
        field("Physical_Link_Handle", 1), field("Short_Range_Mode_State", 1),
    row(0x4D, "AMP Status Change Event"), field("Status", 1), field("AMP_Status", 1),
};
// clang-format on

static_assert(wellFormed(kEvents, kHciLoggedParamBytes), "HCI event table is malformed");
static_assert(countRows(kEvents) == 63);
constexpr auto kEventRows = indexRows<countRows(kEvents)>(kEvents, 2);

// Subevents of the LE meta event; parameter byte 0 is the subevent code.
// clang-format off
constexpr Entry kLeMetaSubevents[] = {
    row(0x01, "LE Connection Complete Event"), field("Subevent_Code", 1), field("Status", 1),
        field("Connection_Handle", 2), field("Role", 1), field("Peer_Address_Type", 1),
        field("Peer_Address", 6), field("Conn_Interval", 2), field("Conn_Latency", 2),
        field("Supervision_Timeout", 2), field("Master_Clock_Accuracy", 1),
    row(0x02, "LE Advertising Report Event"), field("Subevent_Code", 1), field("Num_Reports", 1),
        note("the buffer is not enough for all content"),
    row(0x03, "LE Connection Update Complete Event"), field("Subevent_Code", 1), field("Status", 1),
        field("Connection_Handle", 2), field("Conn_Interval", 2), field("Conn_Latency", 2),
        field("Supervision_Timeout", 2),
    row(0x04, "LE Read Remote Used Features Complete Event"), field("Subevent_Code", 1),
        field("Status", 1), field("Connection_Handle", 2), field("LE_Features", 8),
    row(0x05, "LE Long Term Key Request Event"), field("Subevent_Code", 1),
        field("Connection_Handle", 2), field("Random_Number", 8), field("Encrypted_Diversifier", 2),
    row(0x06, "LE Remote Connection Parameter Request Event"), field("Subevent_Code", 1),
        field("Connection_Handle", 2), field("Interval_Min", 2), field("Interval_Max", 2),
        field("Latency", 2), field("Timeout", 2),
};
// clang-format on

static_assert(wellFormed(kLeMetaSubevents, kHciLoggedParamBytes), "LE meta table is malformed");
constexpr auto kLeMetaSubeventRows = indexRows<countRows(kLeMetaSubevents)>(kLeMetaSubevents, 2);

}  // namespace

constinit const DecodeTable kHciEventTable{kEvents, kEventRows};
constinit const DecodeTable kLeMetaSubeventTable{kLeMetaSubevents, kLeMetaSubeventRows};

}  // namespace nimbrel::decoding
