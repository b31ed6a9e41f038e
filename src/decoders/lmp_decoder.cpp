// LMP PDU records (word positions in hci_lmp_codes.h). Content words are printed whole.
#include "decoders/decoder_tables.h"
#include "decoders/decoders.h"
#include "decoders/line_builder.h"

namespace nimbrel {
namespace {

using namespace decoding;

// "receive lmp ext opcode: " with two numbers of up to 11 characters and ", name is ".
constexpr std::size_t kPrefixReserve = 64;

void appendUnknown(std::u16string& out, std::string_view text) {
    out.reserve(out.size() + text.size());
    appendAscii(out, text);
}

void appendBody(std::u16string& out, const RowView& row, ParamWords words, std::size_t first) {
    appendAscii(out, ", name is ");
    appendAscii(out, row.head->text);
    ValueCursor values{words, first, false};
    appendItems(out, row, values);
}

// "<direction> lmp opcode: %d, name is " and the row.
void appendBasic(std::u16string& out, std::string_view direction, ParamWords words) {
    const std::uint32_t opcode = words[kLmpOpcodeWord];
    const RowView row = kLmpTable.find(opcode);
    if (row.head == nullptr) {
        appendUnknown(out, kUnknownLmp);
        return;
    }
    out.reserve(out.size() + kPrefixReserve + row.capacity);
    appendAscii(out, direction);
    appendAscii(out, " lmp opcode: ");
    appendSignedDecimal(out, opcode);
    appendBody(out, row, words, kLmpBasicFirstContentWord);
}

// "<direction> lmp ext opcode: %d/%d, name is " and the row.
void appendExtended(std::u16string& out, std::string_view direction, ParamWords words) {
    if (words[kLmpOpcodeWord] != kLmpEscapeOpcode) {
        appendUnknown(out, kNotLmpExt);
        return;
    }
    const std::uint32_t opcode = words[kLmpExtOpcodeWord];
    const RowView row = kLmpExtTable.find(opcode);
    if (row.head == nullptr) {
        appendUnknown(out, kUnknownLmpExt);
        return;
    }
    out.reserve(out.size() + kPrefixReserve + row.capacity);
    appendAscii(out, direction);
    appendAscii(out, " lmp ext opcode: ");
    appendSignedDecimal(out, words[kLmpOpcodeWord]);
    out.push_back(u'/');
    appendSignedDecimal(out, opcode);
    appendBody(out, row, words, kLmpExtFirstContentWord);
}

template <void (*Append)(std::u16string&, ParamWords)>
std::u16string decode(ParamWords words) {
    std::u16string text;
    Append(text, words);
    return text;
}

}  // namespace

void AppendLmpSent(std::u16string& out, ParamWords words) { appendBasic(out, "send", words); }
void AppendLmpReceived(std::u16string& out, ParamWords words) {
    appendBasic(out, "receive", words);
}
void AppendLmpSentExt(std::u16string& out, ParamWords words) { appendExtended(out, "send", words); }
void AppendLmpReceivedExt(std::u16string& out, ParamWords words) {
    appendExtended(out, "receive", words);
}

std::u16string DecodeLmpSent(ParamWords words) { return decode<AppendLmpSent>(words); }
std::u16string DecodeLmpSentExt(ParamWords words) { return decode<AppendLmpSentExt>(words); }
std::u16string DecodeLmpReceived(ParamWords words) { return decode<AppendLmpReceived>(words); }
std::u16string DecodeLmpReceivedExt(ParamWords words) {
    return decode<AppendLmpReceivedExt>(words);
}

}  // namespace nimbrel
