// The decoders' tables and fixed texts (defined in the *_table.cpp files). The texts are
// kept letter for letter as users and their tools know them, odd spellings included: do
// not correct them.
#pragma once

#include <cstdint>
#include <string_view>

#include "decoders/decode_table.h"
#include "decoders/hci_lmp_codes.h"

namespace nimbrel::decoding {

// HCI commands, keyed by the 16-bit opcode; at most 20 parameter bytes per row.
extern const DecodeTable kHciCommandTable;
// The fallback text of a handled opcode group (OGF), or an empty view for a group the
// decoder does not handle.
std::string_view hciCommandFallback(unsigned ogf);

// HCI events keyed by event code, and LE meta event rows keyed by subevent code;
// at most 20 parameter bytes per row.
extern const DecodeTable kHciEventTable;
extern const DecodeTable kLeMetaSubeventTable;
inline constexpr std::string_view kUnknownHciEvent = "unknow HCI EVENT";

// LMP PDUs keyed by basic opcode (at most 7 content words per row) and by extended
// opcode (at most 6 content words per row).
extern const DecodeTable kLmpTable;
extern const DecodeTable kLmpExtTable;
inline constexpr std::string_view kUnknownLmp = "unknow lmp message";
inline constexpr std::string_view kUnknownLmpExt = "unknow ext lmp message";
inline constexpr std::string_view kNotLmpExt = "it is not ext lmp message";

}  // namespace nimbrel::decoding
