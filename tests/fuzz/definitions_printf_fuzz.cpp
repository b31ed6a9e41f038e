// Definition file fuzzing: a definition text of any bytes is loaded into the message
// definition table, and the compiled format of every index it defines is applied to
// 32-bit parameters, to a string and to typed arguments.
//
// Input:
//   byte 0              number of parameters N (0..255; the record formatter passes at
//                       most 32, the engine must cope with any count)
//   N x 4 bytes         the parameters, little-endian
//   1 byte              string length S, then S bytes of the string (may hold zeros)
//   the rest            the definition file's bytes
// Fields cut off by the end of the input are short (fewer parameters, a shorter string).
//
// Checked: the table's entries are consistent with the text they were loaded from (texts
// of at most 255 characters, widths 0, 1 or 4, counts never negative); applying a format
// produces output of bounded size and never reads parameters beyond those given; where a
// format holds only conversions that the C library prints the same way (d i u x X o with
// flags, width and precision), the output equals the C library's.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "pipeline/definition_line.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/printf_engine.h"
#include "platform/little_endian.h"

namespace {

using namespace nimbrel;

// At most this many defined indices are applied per input, so large texts stay fast.
constexpr std::size_t kMaxIndicesApplied = 96;
// At most this many conversions take part in the comparison with the C library.
constexpr std::size_t kMaxComparedConversions = 8;

// Upper bound of what one application of `format` may produce.
std::size_t outputBound(const CompiledFormat& format, std::size_t longestArgument) {
    const std::size_t perConversion =
        static_cast<std::size_t>(kPrintfFieldLimit) + 32 + longestArgument;
    return format.text().size() + format.conversionCount() * perConversion;
}

// True when the text is plain ASCII whose every '%' starts "%%" or a conversion that the C
// library prints exactly as the engine does: flags, up to three digits of width, an
// optional precision of up to three digits, then one of d i u x X o.
bool comparableWithC(std::string_view text, std::size_t& conversions) {
    conversions = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0 || c >= 0x80) return false;
        if (c != '%') continue;
        ++i;
        if (i < text.size() && text[i] == '%') continue;
        while (i < text.size() && std::strchr("-+ #0", text[i]) && text[i] != '\0') ++i;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
        if (digits > 3) return false;
        if (i < text.size() && text[i] == '.') {
            ++i;
            digits = 0;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
            if (digits > 3) return false;
        }
        if (i >= text.size() || !std::strchr("diuxXo", text[i]) || text[i] == '\0') return false;
        ++conversions;
    }
    return conversions <= kMaxComparedConversions;
}

void compareWithC(std::string_view text, const std::uint32_t* params, std::size_t count) {
    std::size_t conversions = 0;
    if (!comparableWithC(text, conversions) || conversions > count) return;
    unsigned v[kMaxComparedConversions] = {};
    for (std::size_t i = 0; i < conversions; ++i) v[i] = params[i];
    const std::string format(text);
    std::vector<char> expected(text.size() + conversions * 1100 + 1);
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(expected.data(), expected.size(), format.c_str(), v[0], v[1], v[2],
                                v[3], v[4], v[5], v[6], v[7]);
#pragma clang diagnostic pop
    FUZZ_CHECK(n >= 0 && static_cast<std::size_t>(n) < expected.size());

    std::u16string wide;
    for (const char c : text) wide.push_back(static_cast<unsigned char>(c));
    std::u16string out;
    CompiledFormat(wide).applyWords(out, params, count);
    FUZZ_CHECK(out.size() == static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < out.size(); ++i)
        FUZZ_CHECK(out[i] == static_cast<unsigned char>(expected[i]));
}

void applyAll(const CompiledFormat& format, const std::uint32_t* params, std::size_t count,
              std::u16string_view string) {
    std::u16string out;
    const std::size_t bound = outputBound(format, string.size());

    format.applyWords(out, params, count);
    FUZZ_CHECK(out.size() <= bound);

    out.clear();
    format.applyString(out, string);
    FUZZ_CHECK(out.size() <= bound);

    // Typed arguments: integers and the text, alternating as the parameters say.
    std::vector<PrintfArg> args;
    for (std::size_t i = 0; i < count; ++i) {
        if (params[i] & 1) {
            args.emplace_back(string);
        } else {
            args.emplace_back(static_cast<long long>(static_cast<std::int32_t>(params[i])) << 16);
        }
    }
    out.clear();
    format.apply(out, args);
    FUZZ_CHECK(out.size() <= bound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MessageDefinitionTable* table = new MessageDefinitionTable();

    std::size_t pos = 0;
    const std::size_t wanted = size > 0 ? data[pos++] : 0;
    const std::size_t count = std::min(wanted, (size - pos) / 4);
    // Exactly `count` parameters on the heap: a read past them is caught.
    std::unique_ptr<std::uint32_t[]> params(new std::uint32_t[count == 0 ? 1 : count]);
    for (std::size_t i = 0; i < count; ++i, pos += 4) {
        params[i] = loadLe32(data + pos);
    }
    std::u16string string;
    if (pos < size) {
        const std::size_t wantedLength = data[pos++];
        const std::size_t length = std::min(wantedLength, size - pos);
        for (std::size_t i = 0; i < length; ++i) string.push_back(data[pos + i]);
        pos += length;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + pos, size - pos);

    table->loadFromText(text);
    FUZZ_CHECK(table->loaded());

    // What the text defines, by the loader's own line rules: per index the last text and
    // the '%' characters of all its definitions.
    struct Expected {
        std::string_view text;
        std::int64_t percents = 0;
    };
    std::map<std::uint16_t, Expected> defined;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (const auto parsed = parseDefinitionLine(line)) {
            FUZZ_CHECK(parsed->formatText.size() <= kMaxFormatTextLength);
            Expected& e = defined[parsed->index];
            e.text = parsed->formatText;
            e.percents += std::count(parsed->formatText.begin(), parsed->formatText.end(), '%');
        }
        at = end + 1;
    }
    FUZZ_CHECK(table->definedCount() == defined.size());

    std::vector<std::uint16_t> indices;
    for (const auto& [index, expected] : defined) {
        if (indices.size() == kMaxIndicesApplied) break;
        indices.push_back(index);
        const MessageEntry e = table->entry(index);
        FUZZ_CHECK(e.formatText.size() == expected.text.size());
        for (std::size_t i = 0; i < expected.text.size(); ++i) {
            FUZZ_CHECK(e.formatText[i] == static_cast<unsigned char>(expected.text[i]));
        }
        FUZZ_CHECK(e.expectedParams == std::min<std::int64_t>(expected.percents, INT32_MAX));
    }
    // Plus an index the parameters choose, defined or not.
    const std::uint16_t chosen = count > 0 ? static_cast<std::uint16_t>(params[0]) : 0;
    if (!defined.count(chosen))
        FUZZ_CHECK(table->entry(chosen).formatText == kUndefinedMessageText);
    indices.push_back(chosen);

    for (const std::uint16_t index : indices) {
        const MessageEntry e = table->entry(index);
        FUZZ_CHECK(e.formatText == e.format.text());
        FUZZ_CHECK(e.formatText.size() <= kMaxFormatTextLength);
        FUZZ_CHECK(e.expectedParams >= 0);
        FUZZ_CHECK(e.expectedWidth == 0 || e.expectedWidth == 1 || e.expectedWidth == 4);
        FUZZ_CHECK((e.expectedWidth == 0) == (e.expectedParams == 0));
        applyAll(e.format, params.get(), count, string);

        std::string narrow;
        for (const char16_t c : e.formatText) narrow.push_back(static_cast<char>(c));
        compareWithC(narrow, params.get(), count);
    }
    return 0;
}
