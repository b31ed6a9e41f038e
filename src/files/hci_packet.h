// HCI packets carried by log records. The firmware logs every HCI command it handles as a
// record of message 1355 and every event as one of message 1358, with the packet in the
// record's 32-bit parameters, one packet byte per word:
//
//   command  word 0 the opcode (packet bytes bits 0-7, then bits 8-15), word 1 the
//            parameter length, words 2.. the parameter bytes
//   event    word 0 the event code, word 1 the parameter length, words 2.. the parameters
//
// A record gives a packet exactly when a replay with Auto Parse Log on hands its parameters
// to the HCI command or event decoder. Every parameter word the record holds is used: the
// decoders show only the first 20 bytes, but that limit is the display's.
#pragma once

#include <array>
#include <cstdint>

#include "pipeline/record_layout.h"

namespace nimbrel {

class MessageDefinitionTable;

// The packet type byte of the HCI UART transport (H4), which starts every packet here.
enum class HciPacketType : std::uint8_t {
    Command = 0x01,
    Event = 0x04,
};

// The H4 packet type, a command's three header bytes and at most 253 parameter words.
inline constexpr std::size_t kHciPacketMaxBytes = 1 + 3 + 253;

struct HciPacket {
    HciPacketType type = HciPacketType::Command;
    // Bytes of the packet as its header announces it (H4 type byte included); never less
    // than `includedLength`.
    std::uint32_t originalLength = 0;
    // Bytes the record holds, in `bytes`; fewer than `originalLength` when the firmware
    // logged only the start of a long packet.
    std::uint32_t includedLength = 0;
    std::array<std::uint8_t, kHciPacketMaxBytes> bytes{};

    // Commands go from the host to the controller, events the other way.
    bool sentByHost() const { return type == HciPacketType::Command; }
    bool truncated() const { return includedLength < originalLength; }
};

enum class HciRecordKind {
    NotHci,          // no HCI command or event record
    Packet,          // the packet is in `out`
    ByteParameters,  // an HCI record with 8-bit parameters: "paraWide is 1 not 4"
    NotDefined,      // an HCI record that does not fit its definition: a parameter error
};

// Maps one record to its packet. `skipFirstWord`: the chip is both Ember and Flint, whose
// HCI records carry one leading word before the packet.
HciRecordKind hciPacketOfRecord(const RecordRef& record, const MessageDefinitionTable& definitions,
                                bool skipFirstWord, HciPacket& out);

}  // namespace nimbrel
