#include "pipeline/definition_line.h"

#include "pipeline/text_trim.h"

namespace nimbrel {

namespace {

constexpr std::string_view kDefineMarker = "#define ";

bool isSpaceByte(char c) {
    return isWhiteSpace(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

std::string_view trimBytes(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isSpaceByte(s[b])) ++b;
    while (e > b && isSpaceByte(s[e - 1])) --e;
    return s.substr(b, e - b);
}

}  // namespace

std::int64_t readDecimalIndex(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isSpaceByte(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kSaturation = 1'000'000'000;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (value < kSaturation) value = value * 10 + (text[pos] - '0');
    }
    return negative ? -value : value;
}

std::optional<DefinitionLine> parseDefinitionLine(std::string_view line) {
    // The file is read as C text: a zero byte ends the line's text.
    if (const std::size_t zero = line.find('\0'); zero != std::string_view::npos)
        line = line.substr(0, zero);

    const std::size_t marker = line.find(kDefineMarker);
    if (marker == std::string_view::npos) return std::nullopt;
    const std::string_view body = trimBytes(line.substr(marker + kDefineMarker.size()));

    const std::size_t blank = body.find(' ');
    const std::size_t slashes = body.find("//");
    if (blank == std::string_view::npos || slashes == std::string_view::npos) return std::nullopt;

    // When the "//" comes before the first blank there is no index text: index 0.
    const std::string_view indexText =
        slashes > blank ? body.substr(blank + 1, slashes - blank - 1) : std::string_view{};
    const std::int64_t index = readDecimalIndex(trimBytes(indexText));
    if (index < 0 || index > 0xFFFF) return std::nullopt;

    // Between the delimiter after "//" and the body's last character (also a delimiter).
    // A body too short to hold both delimiters gives an empty text.
    const std::size_t textBegin = slashes + 3;
    const std::size_t textEnd = body.size() - 1;
    std::string_view text = textBegin < textEnd
                                ? trimBytes(body.substr(textBegin, textEnd - textBegin))
                                : std::string_view{};
    if (text.size() > kMaxFormatTextLength) text = text.substr(0, kMaxFormatTextLength);

    return DefinitionLine{static_cast<std::uint16_t>(index), text};
}

}  // namespace nimbrel
