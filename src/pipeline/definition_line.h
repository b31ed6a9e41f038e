// One line of a message definition file, taken apart.
//
// A line defines a message when it holds "#define " anywhere. The rest of the line after
// it, trimmed, is the body: a macro name ended by the first blank, the decimal message
// index up to the first "//", and after the "//" a delimiter character, the format text,
// and a closing delimiter that is the body's last character. Both delimiters are dropped
// whatever they are:  #define NAME 1234 //"value %x"  defines 1234 as  value %x
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nimbrel {

// Longest format text kept; longer texts are cut to this many characters.
inline constexpr std::size_t kMaxFormatTextLength = 255;

struct DefinitionLine {
    std::uint16_t index = 0;
    std::string_view formatText;  // 8-bit text, trimmed and cut; a view into the line
};

// The definition a line holds, or nothing when the line is not one: no "#define ", no
// blank or no "//" in the body, or an index outside 0..65535. The line is taken without
// its line end; a zero byte ends it.
std::optional<DefinitionLine> parseDefinitionLine(std::string_view line);

// The index text read as C's atoi would: optional sign, then decimal digits up to the first
// non-digit; no digits give 0. Values far outside the 16-bit range come back saturated.
std::int64_t readDecimalIndex(std::string_view text);

}  // namespace nimbrel
