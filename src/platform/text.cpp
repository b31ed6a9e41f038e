#include "platform/text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace nimbrel {

std::u16string utf8ToUtf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto c = static_cast<unsigned char>(in[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
        } else if ((c >> 4) == 0xE) {
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= in.size();
            char32_t v = c & (0x7F >> len);
            for (std::size_t k = 1; ok && k < len; ++k) {
                const auto cc = static_cast<unsigned char>(in[i + k]);
                if ((cc & 0xC0) != 0x80) ok = false;
                v = (v << 6) | (cc & 0x3F);
            }
            const bool overlong =
                (len == 2 && v < 0x80) || (len == 3 && v < 0x800) || (len == 4 && v < 0x10000);
            if (ok && !overlong && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    appendUtf8(out, in);
    return out;
}

std::size_t encodeUtf8(char* out, std::u16string_view in) {
    char* const start = out;
    std::size_t i = 0;
#if defined(__GNUC__)
    // Plain ASCII is narrowed 16 units at a time in vector registers; a block holding
    // anything else goes the general way below. (The byte loop this replaces ran at a
    // speed that depended on where the heap put the input and the output.)
    using Units = std::uint16_t __attribute__((vector_size(32)));
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    while (i + 16 <= in.size()) {
        Units units;
        std::memcpy(&units, in.data() + i, sizeof units);
        const Units high = units & static_cast<std::uint16_t>(0xFF80);
        std::uint64_t words[4];
        std::memcpy(words, &high, sizeof words);
        if ((words[0] | words[1] | words[2] | words[3]) != 0) break;
        const Bytes narrowed = __builtin_convertvector(units, Bytes);
        std::memcpy(out, &narrowed, sizeof narrowed);
        out += 16;
        i += 16;
    }
#endif
    // ASCII that is left, a few units at a time, which the compiler vectorises.
    auto narrowBlocks = [&](auto blockSize) {
        constexpr std::size_t kBlock = decltype(blockSize)::value;
        while (i + kBlock <= in.size()) {
            char16_t any = 0;
            for (std::size_t k = 0; k < kBlock; ++k) {
                const char16_t c = in[i + k];
                any |= c;
                out[k] = static_cast<char>(c);
            }
            if (any >= 0x80) return false;
            out += kBlock;
            i += kBlock;
        }
        return true;
    };
    narrowBlocks(std::integral_constant<std::size_t, 8>{});
    for (; i < in.size(); ++i) {
        char32_t c = in[i];
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
            in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
        } else {
            if (c < 0x10000) {
                *out++ = static_cast<char>(0xE0 | (c >> 12));
            } else {
                *out++ = static_cast<char>(0xF0 | (c >> 18));
                *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            }
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return static_cast<std::size_t>(out - start);
}

void appendUtf8(std::string& out, std::u16string_view in) {
    // Through a stack buffer, a slice at a time (a surrogate pair is never split).
    char buf[3 * 256];
    while (!in.empty()) {
        std::size_t take = std::min<std::size_t>(in.size(), 256);
        if (take < in.size() && in[take - 1] >= 0xD800 && in[take - 1] <= 0xDBFF) --take;
        out.append(buf, encodeUtf8(buf, in.substr(0, take)));
        in.remove_prefix(take);
    }
}

std::u16string latin1ToUtf16(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    return out;
}

}  // namespace nimbrel
