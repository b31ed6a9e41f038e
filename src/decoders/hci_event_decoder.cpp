// HCI event records (word positions in hci_lmp_codes.h). For the LE meta event, the rows
// are keyed by the subevent code.
#include "decoders/decoder_tables.h"
#include "decoders/decoders.h"
#include "decoders/line_builder.h"

namespace nimbrel {

void AppendHciEvent(std::u16string& out, ParamWords words) {
    using namespace decoding;
    const std::uint32_t code = words[kHciCodeWord] & 0xFFu;
    RowView row;
    if (code == kLeMetaEvent) {
        row = kLeMetaSubeventTable.find(words[kLeSubeventWord] & 0xFFu);
        if (row.head == nullptr) {
            return;  // subevents without a row are not decoded at all
        }
    } else {
        row = kHciEventTable.find(code);
        if (row.head == nullptr) {
            out.reserve(out.size() + kUnknownHciEvent.size());
            appendAscii(out, kUnknownHciEvent);
            return;
        }
    }
    static constexpr HciHeadStyle kStyle{"HCI_EVENT", "code", 2};
    out.reserve(out.size() + kHciHeadReserve + row.capacity);
    appendHciLine(out, kStyle, code, row, words);
}

std::u16string DecodeHciEvent(ParamWords words) {
    std::u16string text;
    AppendHciEvent(text, words);
    return text;
}

}  // namespace nimbrel
