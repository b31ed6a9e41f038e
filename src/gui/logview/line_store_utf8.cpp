#include "gui/logview/line_store_utf8.h"

namespace nimbrel::gui::utf8 {

namespace {

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Length of the sequence that starts with byte `b` (a four-byte sequence is two units).
std::size_t sequenceLength(unsigned char b) {
    if (b < 0x80) return 1;
    if (b >= 0xF0) return 4;
    if (b >= 0xE0) return 3;
    return 2;
}

}  // namespace

std::size_t encode(const char16_t* in, std::size_t n, char* out, bool& ascii) {
    char* o = out;
    std::size_t i = 0;
    // ASCII runs are the common case: copy them without branching on the width.
    while (i < n && in[i] < 0x80) *o++ = static_cast<char>(in[i++]);
    ascii = i == n;
    while (i < n) {
        const char16_t c = in[i++];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (isHigh(c) && i < n && isLow(in[i])) {
            const char32_t cp =
                0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(in[i++]) - 0xDC00);
            *o++ = static_cast<char>(0xF0 | (cp >> 18));
            *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // BMP characters and unpaired surrogates alike.
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::size_t decode(const char* in, std::size_t n, char16_t* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    const unsigned char* end = p + n;
    char16_t* o = out;
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *o++ = b;
            ++p;
        } else if (b >= 0xF0 && end - p >= 4) {
            const char32_t cp = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                                (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
            *o++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            p += 4;
        } else if (b >= 0xE0 && end - p >= 3) {
            *o++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else if (end - p >= 2) {
            *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else {
            ++p;  // never written by encode()
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::size_t unitCount(const char* in, std::size_t n) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < n;) {
        const std::size_t len = sequenceLength(static_cast<unsigned char>(in[i]));
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return units;
}

std::size_t byteOffsetOfUnit(const char* in, std::size_t n, std::size_t unit) {
    std::size_t i = 0;
    std::size_t units = 0;
    while (i < n && units < unit) {
        const std::size_t len = sequenceLength(static_cast<unsigned char>(in[i]));
        // A column between the two halves of a pair cannot be stored apart; it counts
        // as the position after the pair.
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return i < n ? i : n;
}

}  // namespace nimbrel::gui::utf8
