// Builds decoded lines from table rows (decode_table.h).
//
// Line of a row: a head, then for each item the separator " \n\t " and the item:
//   field   "label:" and, per value, a space and the value; then " note" if it has one
//   note    the note's text
//   blank   nothing
// HCI heads read "HCI_CMD: Name, opcode: 0x0C28, len: 04"; the value of a field is one
// packet byte per word (bits 0-7, two hexadecimal digits). LMP lines are a prefix given
// by the caller followed by the row's name and items; their values are whole words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decoders/decode_table.h"
#include "decoders/hci_lmp_codes.h"
#include "decoders/param_words.h"

namespace nimbrel::decoding {

void appendAscii(std::u16string& out, std::string_view text);
// Lower-case hexadecimal, at least `minDigits` digits.
void appendHex(std::u16string& out, std::uint32_t value, unsigned minDigits);
// Upper-case hexadecimal, exactly `digits` digits.
void appendHexUpper(std::u16string& out, std::uint32_t value, unsigned digits);
// The word read as a signed 32-bit number, in decimal.
void appendSignedDecimal(std::u16string& out, std::uint32_t word);

// Where a row's values come from: consecutive words from `next` on.
struct ValueCursor {
    ParamWords words;
    std::size_t next = 0;
    bool bytes = false;  // each word carries one byte (bits 0-7): printed as two digits
};

// The row's items, each after its separator.
void appendItems(std::u16string& out, const RowView& row, ValueCursor& values);

struct HciHeadStyle {
    std::string_view prefix;  // "HCI_CMD"
    std::string_view key;     // "opcode"
    unsigned codeDigits;      // digits of the code in the head
};

// Upper bound of the characters an HCI head adds besides the row's name.
inline constexpr std::size_t kHciHeadReserve = 48;

// One HCI line: head with `code` and the length byte (word 1), then the row's items
// with parameter bytes from word 2 on.
void appendHciLine(std::u16string& out, const HciHeadStyle& style, std::uint32_t code,
                   const RowView& row, ParamWords words);

}  // namespace nimbrel::decoding
