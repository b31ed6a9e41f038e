// Helpers shared by the decoder tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decoders/param_words.h"

namespace nimbrel::test {

// Decoded text as a narrow string for readable failure messages; any character outside
// ASCII shows as '?' and so fails the comparison.
inline std::string narrow(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

// `pattern` with each "%02x" replaced by the next value in lower-case hexadecimal, at
// least two digits.
inline std::string fill(std::string_view pattern, const std::vector<std::uint32_t>& values) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.substr(i, 4) == "%02x") {
            const std::uint32_t v = next < values.size() ? values[next] : 0;
            ++next;
            std::string hex;
            for (std::uint32_t x = v; x != 0 || hex.size() < 2; x >>= 4) {
                hex.insert(hex.begin(), kDigits[x & 0xF]);
            }
            out += hex;
            i += 4;
        } else {
            out.push_back(pattern[i++]);
        }
    }
    return out;
}

// A record's parameter words followed by words the record does not hold: those carry a
// sentinel, so a decoder that reads past the record would show it.
class RecordWords {
public:
    static constexpr std::uint32_t kSentinel = 0xEEEEEEEEu;

    explicit RecordWords(std::vector<std::uint32_t> words)
        : storage_(std::move(words)), held_(storage_.size()) {
        storage_.resize(held_ + 16, kSentinel);
    }

    ParamWords view() const { return ParamWords{storage_.data(), held_}; }

private:
    std::vector<std::uint32_t> storage_;
    std::size_t held_;
};

// The 22 words of an HCI record: code, length byte and parameter bytes (zero-filled).
inline std::vector<std::uint32_t> hciWords(std::uint32_t code, std::uint32_t length,
                                           std::vector<std::uint32_t> bytes = {}) {
    std::vector<std::uint32_t> words{code, length};
    words.insert(words.end(), bytes.begin(), bytes.end());
    if (words.size() < 22) {
        words.resize(22, 0);
    }
    return words;
}

}  // namespace nimbrel::test
