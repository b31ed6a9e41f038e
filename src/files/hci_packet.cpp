#include "files/hci_packet.h"

#include <algorithm>

#include "pipeline/decoder_input.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/message_indices.h"

namespace nimbrel {
namespace {

// Header bytes after the H4 type byte: the opcode's two and the length for a command, the
// code and the length for an event.
struct HeaderShape {
    std::uint32_t codeBytes;
    HciPacketType type;
};

constexpr HeaderShape kCommandShape{2, HciPacketType::Command};
constexpr HeaderShape kEventShape{1, HciPacketType::Event};

}  // namespace

HciRecordKind hciPacketOfRecord(const RecordRef& record, const MessageDefinitionTable& definitions,
                                bool skipFirstWord, HciPacket& out) {
    const std::uint16_t index = record.messageIndex();
    if (index != kHciCommandIndex && index != kHciEventIndex) return HciRecordKind::NotHci;
    if (!fitsDefinition(record, definitions.entry(index))) return HciRecordKind::NotDefined;
    if (record.layout.paramWidth != 4) return HciRecordKind::ByteParameters;

    std::uint32_t storage[255];
    const ParamWords words = decoderWords(record, skipFirstWord, storage);
    const HeaderShape& shape = index == kHciCommandIndex ? kCommandShape : kEventShape;
    out.type = shape.type;
    std::uint32_t n = 0;
    out.bytes[n++] = static_cast<std::uint8_t>(shape.type);
    // The code word gives one byte (event) or two (the opcode, low byte first); the length
    // word and the parameter words one byte each.
    if (words.count > 0) {
        out.bytes[n++] = static_cast<std::uint8_t>(words[0]);
        if (shape.codeBytes == 2) out.bytes[n++] = static_cast<std::uint8_t>(words[0] >> 8);
    }
    for (std::size_t i = 1; i < words.count; ++i)
        out.bytes[n++] = static_cast<std::uint8_t>(words[i]);
    const std::uint32_t announced = words.count > 1 ? (words[1] & 0xFF) : 0;
    out.includedLength = n;
    out.originalLength = std::max(n, 1 + shape.codeBytes + 1 + announced);
    return HciRecordKind::Packet;
}

}  // namespace nimbrel
