// One argument of a printf-style text: an integer or a text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbrel {

struct PrintfArg {
    enum class Kind { Integer, Text };
    Kind kind = Kind::Integer;
    std::int64_t integer = 0;
    std::u16string_view text;

    PrintfArg() = default;
    // Implicit on purpose: print(u"... %d %s", {42, someText}).
    PrintfArg(int v) : integer(v) {}
    PrintfArg(unsigned v) : integer(v) {}
    PrintfArg(long v) : integer(v) {}
    PrintfArg(unsigned long v) : integer(static_cast<std::int64_t>(v)) {}
    PrintfArg(long long v) : integer(v) {}
    PrintfArg(unsigned long long v) : integer(static_cast<std::int64_t>(v)) {}
    PrintfArg(std::u16string_view t) : kind(Kind::Text), text(t) {}
    PrintfArg(const char16_t* t) : kind(Kind::Text), text(t) {}
    PrintfArg(const std::u16string& t) : kind(Kind::Text), text(t) {}
};

}  // namespace nimbrel
