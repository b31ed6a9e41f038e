#include "decoders/line_builder.h"

namespace nimbrel::decoding {
namespace {

constexpr std::string_view kSeparator = " \n\t ";
constexpr char16_t kLowerDigits[] = u"0123456789abcdef";
constexpr char16_t kUpperDigits[] = u"0123456789ABCDEF";

bool has(unsigned quirks, unsigned bit) { return (quirks & bit) != 0; }

void appendField(std::u16string& out, const Entry& item, ValueCursor& values) {
    const unsigned quirks = item.quirks;
    if (has(quirks, kSpaceBeforeLabel)) {
        out.push_back(u' ');
    }
    appendAscii(out, item.text);
    if (!has(quirks, kNoColon)) {
        out.push_back(u':');
    }
    if (has(quirks, kDoubleColon)) {
        out.push_back(u':');
    }
    for (unsigned i = 0; i < item.count; ++i) {
        if (i == 0) {
            if (!has(quirks, kNoSpaceAfterColon)) {
                out.push_back(u' ');
            }
            if (has(quirks, kTwoSpacesAfterColon)) {
                out.push_back(u' ');
            }
        } else {
            out.push_back(u' ');
            if (i == 2 && has(quirks, kTwoSpacesBeforeThird)) {
                out.push_back(u' ');
            }
        }
        const std::uint32_t word = values.words[values.next++];
        if (values.bytes) {
            appendHex(out, word & 0xFFu, 2);
        } else {
            appendHex(out, word, 2);
        }
    }
    if (!item.note.empty()) {
        out.push_back(u' ');
        if (has(quirks, kTwoSpacesBeforeNote)) {
            out.push_back(u' ');
        }
        appendAscii(out, item.note);
    }
}

}  // namespace

void appendAscii(std::u16string& out, std::string_view text) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    char16_t* dest = out.data() + at;
    for (const char c : text) {
        *dest++ = static_cast<char16_t>(static_cast<unsigned char>(c));
    }
}

void appendHex(std::u16string& out, std::uint32_t value, unsigned minDigits) {
    char16_t digits[8];
    unsigned n = 0;
    do {
        digits[n++] = kLowerDigits[value & 0xFu];
        value >>= 4;
    } while (value != 0);
    for (; n < minDigits; ++n) {
        digits[n] = u'0';
    }
    while (n > 0) {
        out.push_back(digits[--n]);
    }
}

void appendHexUpper(std::u16string& out, std::uint32_t value, unsigned digits) {
    while (digits > 0) {
        --digits;
        out.push_back(kUpperDigits[(value >> (4 * digits)) & 0xFu]);
    }
}

void appendSignedDecimal(std::u16string& out, std::uint32_t word) {
    // Magnitude in unsigned arithmetic, so that the most negative value works too.
    const bool negative = (word & 0x80000000u) != 0;
    std::uint32_t magnitude = negative ? 0u - word : word;
    char16_t digits[10];
    unsigned n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) {
        out.push_back(u'-');
    }
    while (n > 0) {
        out.push_back(digits[--n]);
    }
}

void appendItems(std::u16string& out, const RowView& row, ValueCursor& values) {
    bool first = true;
    for (const Entry& item : row.items) {
        const bool tight = first && has(row.head->quirks, kNoSpaceAfterName);
        appendAscii(out, tight ? kSeparator.substr(1) : kSeparator);
        first = false;
        switch (item.kind) {
        case EntryKind::Field: appendField(out, item, values); break;
        case EntryKind::Note: appendAscii(out, item.text); break;
        case EntryKind::Blank:
        case EntryKind::Row: break;
        }
    }
}

void appendHciLine(std::u16string& out, const HciHeadStyle& style, std::uint32_t code,
                   const RowView& row, ParamWords words) {
    const unsigned quirks = row.head->quirks;
    appendAscii(out, style.prefix);
    if (!has(quirks, kNoColonAfterPrefix)) {
        out.push_back(u':');
    }
    if (has(quirks, kTwoSpacesAfterPrefix)) {
        appendAscii(out, "  ");
    } else if (!has(quirks, kNoSpaceAfterPrefix)) {
        out.push_back(u' ');
    }
    appendAscii(out, row.head->text);
    if (has(quirks, kSpaceBeforeComma)) {
        out.push_back(u' ');
    }
    if (!has(quirks, kNoCommaBeforeKey)) {
        out.push_back(u',');
    }
    out.push_back(u' ');
    appendAscii(out, has(quirks, kOpcodeKeyWord) ? std::string_view("opcode") : style.key);
    out.push_back(u':');
    const bool spaced = !has(quirks, kNoSpaceAfterKeys);
    if (spaced) {
        out.push_back(u' ');
    }
    appendAscii(out, "0x");
    appendHexUpper(out, code, style.codeDigits);
    if (has(quirks, kSpaceAfterCode)) {
        out.push_back(u' ');
    }
    appendAscii(out, ", len:");
    if (spaced) {
        out.push_back(u' ');
    }
    appendHex(out, words[kHciLengthWord] & 0xFFu, 2);

    ValueCursor values{words, kHciFirstParamWord, true};
    appendItems(out, row, values);
}

}  // namespace nimbrel::decoding
