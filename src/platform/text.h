// Conversions between the core's UTF-16 text and the byte strings of files, paths and
// terminals.
#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

// UTF-8 (paths, terminal text) to UTF-16; invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Appends UTF-16 text as UTF-8 (the fast path of writers).
void appendUtf8(std::string& out, std::u16string_view text);
// Writes UTF-16 text as UTF-8 to `out`, which must hold 3 bytes per UTF-16 unit; returns
// the bytes written. Unpaired surrogates become U+FFFD.
std::size_t encodeUtf8(char* out, std::u16string_view text);
// Each byte becomes the character of the same value (definition files).
std::u16string latin1ToUtf16(std::string_view bytes);

}  // namespace nimbrel
