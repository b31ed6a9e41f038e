// Text conversion fuzzing: the conversions between the bytes of files, paths and
// terminals and the core's UTF-16 text (the replay's text file is read back through them,
// command-line output goes out through them).
//
// Input: the bytes, taken once as UTF-8 and once as UTF-16 code units (little-endian
// pairs; a last odd byte is dropped).
//
// Checked: UTF-8 that is valid converts to UTF-16 and back unchanged; anything else comes
// back as valid UTF-8 that converts to the same UTF-16 again (U+FFFD in place of what
// was not valid); the appending form leaves what the buffer held untouched and adds the
// same bytes as the returning form; 8-bit text keeps one character per byte.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/text.h"

namespace {

using namespace nimbrel;

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t min = 0, v = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2, min = 0x80, v = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, min = 0x800, v = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, min = 0x10000, v = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            v = (v << 6) | (cc & 0x3F);
        }
        if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// Well-formed UTF-16: every surrogate in a high-low pair.
bool validUtf16(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void checkUtf16(std::u16string_view wide) {
    const std::string narrow = utf16ToUtf8(wide);
    FUZZ_CHECK(validUtf8(narrow));
    FUZZ_CHECK(narrow.size() <= 3 * wide.size());
    const std::u16string back = utf8ToUtf16(narrow);
    if (validUtf16(wide)) FUZZ_CHECK(back == wide);
    FUZZ_CHECK(validUtf16(back));
    FUZZ_CHECK(back.size() == wide.size());  // each unpaired surrogate became one U+FFFD

    std::string appended = "kept";
    appendUtf8(appended, wide);
    FUZZ_CHECK(std::string_view(appended).substr(0, 4) == "kept");
    FUZZ_CHECK(std::string_view(appended).substr(4) == narrow);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::u16string wide = utf8ToUtf16(bytes);
    FUZZ_CHECK(validUtf16(wide));
    FUZZ_CHECK(wide.size() <= bytes.size());
    if (validUtf8(bytes)) FUZZ_CHECK(utf16ToUtf8(wide) == bytes);
    checkUtf16(wide);

    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    checkUtf16(units);

    const std::u16string latin = latin1ToUtf16(bytes);
    FUZZ_CHECK(latin.size() == bytes.size());
    for (std::size_t i = 0; i < size; ++i) FUZZ_CHECK(latin[i] == data[i]);
    return 0;
}
