// White-space trimming of UTF-16 text, as C's iswspace sees white space in the ASCII range
// plus the no-break and ideographic spaces.
#pragma once

#include <string_view>

namespace nimbrel {

constexpr bool isWhiteSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x00A0 || c == 0x3000;
}

constexpr std::u16string_view trimWhiteSpace(std::u16string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isWhiteSpace(s[b])) ++b;
    while (e > b && isWhiteSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace nimbrel
