// HCI command records (word positions in hci_lmp_codes.h), keyed by the 16-bit opcode.
#include "decoders/decoder_tables.h"
#include "decoders/decoders.h"
#include "decoders/line_builder.h"

namespace nimbrel {

void AppendHciCommand(std::u16string& out, ParamWords words) {
    using namespace decoding;
    const std::uint32_t opcode = words[kHciCodeWord] & 0xFFFFu;
    const std::string_view fallback = hciCommandFallback(opcode >> 10);
    if (fallback.empty()) {
        return;  // a group this decoder does not handle (vendor-specific among them)
    }
    const RowView row = kHciCommandTable.find(opcode);
    if (row.head == nullptr) {
        out.reserve(out.size() + fallback.size());
        appendAscii(out, fallback);
        return;
    }
    static constexpr HciHeadStyle kStyle{"HCI_CMD", "opcode", 4};
    out.reserve(out.size() + kHciHeadReserve + row.capacity);
    appendHciLine(out, kStyle, opcode, row, words);
}

std::u16string DecodeHciCommand(ParamWords words) {
    std::u16string text;
    AppendHciCommand(text, words);
    return text;
}

}  // namespace nimbrel
