#include "pipeline/printf_engine.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"

namespace nimbrel {
namespace {

std::string words(std::u16string_view format, std::vector<std::uint32_t> params) {
    std::u16string out;
    CompiledFormat(format).applyWords(out, params.data(), params.size());
    return utf16ToUtf8(out);
}

std::string withString(std::u16string_view format, std::u16string_view text) {
    std::u16string out;
    CompiledFormat(format).applyString(out, text);
    return utf16ToUtf8(out);
}

std::string typed(std::u16string_view format, std::initializer_list<PrintfArg> args) {
    return utf16ToUtf8(formatPrintf(format, args));
}

// MinGW's printf departs from the C standard ('+' and ' ' on unsigned conversions, "%#.o"
// of 0), so the comparisons with the C library's printf run where it follows the standard.
#ifdef _WIN32
constexpr bool kCPrintfIsAReference = false;
#else
constexpr bool kCPrintfIsAReference = true;
#endif

std::string cFormat(const std::string& format, auto value) {
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
    return std::string(buffer, static_cast<std::size_t>(n));
}

// Every combination of flags, widths, precisions and integer conversions, on values that
// reach the edges of the 32-bit range, against the C library's own printf.
TEST(PrintfEngine, IntegerConversionsMatchCPrintf) {
    if (!kCPrintfIsAReference) GTEST_SKIP() << "this C library's printf is no reference";
    const char* flagSet = "-+ #0";
    const std::vector<std::string> widths{"", "1", "5", "12"};
    const std::vector<std::string> precisions{"", ".", ".0", ".1", ".3", ".11"};
    const std::vector<std::uint32_t> values{0,          1,          7,          8,
                                            0x12c,      255,        0x7FFFFFFF, 0x80000000,
                                            0xFFFFFFFF, 0xFFFFFFFE, 123456789,  0xDEADBEEF};
    int compared = 0;
    for (unsigned mask = 0; mask < 32; ++mask) {
        std::string flags;
        for (unsigned b = 0; b < 5; ++b)
            if (mask & (1u << b)) flags += flagSet[b];
        for (const auto& width : widths) {
            for (const auto& precision : precisions) {
                for (const char conversion : std::string("diuxXo")) {
                    const std::string format = "<%" + flags + width + precision + conversion + ">";
                    const CompiledFormat compiled(latin1ToUtf16(format));
                    for (const std::uint32_t value : values) {
                        const bool isSigned = conversion == 'd' || conversion == 'i';
                        const std::string expected =
                            isSigned ? cFormat(format, static_cast<int>(value))
                                     : cFormat(format, static_cast<unsigned>(value));
                        std::u16string out;
                        compiled.applyWords(out, &value, 1);
                        ASSERT_EQ(utf16ToUtf8(out), expected) << format << " with " << value;
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 32 * 4 * 6 * 6 * 12);
}

// Typed integer arguments keep their full 64 bits.
TEST(PrintfEngine, TypedIntegersMatchCPrintfWith64Bits) {
    if (!kCPrintfIsAReference) GTEST_SKIP() << "this C library's printf is no reference";
    const std::vector<long long> values{0, -1, 42, LLONG_MIN, LLONG_MAX, 5'000'000'000LL, -300};
    for (const std::string conversion : {"%d", "%+8i", "%-22u", "%#x", "%020X", "%.25o", "% d"}) {
        std::string cConversion = conversion;
        cConversion.insert(cConversion.size() - 1, "ll");
        for (const long long v : values) {
            const char c = conversion.back();
            const std::string expected =
                c == 'd' || c == 'i' ? cFormat(cConversion, v)
                                     : cFormat(cConversion, static_cast<unsigned long long>(v));
            EXPECT_EQ(typed(latin1ToUtf16(conversion), {v}), expected)
                << conversion << " with " << v;
        }
    }
    EXPECT_EQ(typed(u"%x", {-1}), "ffffffffffffffff");
}

TEST(PrintfEngine, WordsAreSignedForDAndUnsignedOtherwise) {
    EXPECT_EQ(
        words(u"%d %i %u %x %X %o", {0xFFFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xABCDEF, 8}),
        "-1 -2147483648 4294967295 ffffffff ABCDEF 10");
    EXPECT_EQ(words(u"conn %d, handle %x", {1, 300}), "conn 1, handle 12c");
}

TEST(PrintfEngine, SizePrefixesTakeOneWordEachAndHNarrows) {
    EXPECT_EQ(words(u"%lld|%hx|%I64u|%hhd|%lu|%I32x|%Id|%zu|%ls|%jd|%td",
                    {0xFFFFFFFF, 0x12345, 7, 300, 9, 255, 3, 4, 5, 0xFFFFFFFF, 6}),
              "-1|2345|7|44|9|ff|3|4|%ls|-1|6");
    EXPECT_EQ(words(u"v %hx %hhx %hd", {0x12345678, 0x1FF, 70000}), "v 5678 ff 4464");
    EXPECT_EQ(words(u"%hd %hhd %hu %hhu %hho", {0x8000, 0x80, 0xFFFF8000, 0x1FF, 0x1FF}),
              "-32768 -128 32768 255 377");
}

// "h" and "hh" with random flags, widths, precisions and values, against the C library
// given the value in the narrowed C type.
TEST(PrintfEngine, NarrowedConversionsMatchCPrintf) {
    if (!kCPrintfIsAReference) GTEST_SKIP() << "this C library's printf is no reference";
    std::mt19937 rng(17);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string flagSet = "-+ #0";
    for (int round = 0; round < 20000; ++round) {
        std::string format = "<%";
        for (char f : flagSet)
            if (pick(0, 3) == 0) format += f;
        if (pick(0, 1)) format += std::to_string(pick(1, 12));
        if (pick(0, 2) == 0) format += "." + std::to_string(pick(0, 8));
        const bool hh = pick(0, 1) == 1;
        format += hh ? "hh" : "h";
        const char conversion = "diuxXo"[pick(0, 5)];
        format += conversion;
        format += ">";
        const auto value = static_cast<std::uint32_t>(rng());
        const bool isSigned = conversion == 'd' || conversion == 'i';
        std::string expected;
        if (hh) {
            expected = isSigned ? cFormat(format, static_cast<signed char>(value))
                                : cFormat(format, static_cast<unsigned char>(value));
        } else {
            expected = isSigned ? cFormat(format, static_cast<short>(value))
                                : cFormat(format, static_cast<unsigned short>(value));
        }
        ASSERT_EQ(words(latin1ToUtf16(format), {value}), expected) << format << " with " << value;
    }
}

TEST(PrintfEngine, CharacterConversion) {
    for (const std::string conversion : {"%c", "%5c", "%-5c", "[%3c]"}) {
        for (const int v : {'A', 'z', '%', ' '}) {
            EXPECT_EQ(words(latin1ToUtf16(conversion), {static_cast<std::uint32_t>(v)}),
                      cFormat(conversion, v))
                << conversion;
        }
    }
    std::u16string out;
    const std::uint32_t wide = 0x10000 + 0x4E2D;  // only the low 16 bits are a character
    CompiledFormat(u"%C").applyWords(out, &wide, 1);
    EXPECT_EQ(out, u"\u4E2D");
    EXPECT_EQ(words(u"[%c][%3c]", {0, 0}), "[][  ]");  // a zero character adds nothing
    EXPECT_EQ(typed(u"%c%c", {'o', 'k'}), "ok");
}

TEST(PrintfEngine, StringConversionWithWidthAndPrecisionMatchesCPrintf) {
    for (const std::string conversion :
         {"%s", "%8s", "%-8s", "%.2s", "%8.3s", "%-8.0s", "%.10s", "%2s"}) {
        EXPECT_EQ(withString(latin1ToUtf16(conversion), u"hello"), cFormat(conversion, "hello"))
            << conversion;
        EXPECT_EQ(typed(latin1ToUtf16(conversion), {u"hello"}), cFormat(conversion, "hello"))
            << conversion;
    }
}

TEST(PrintfEngine, ApplyStringStopsAtZeroAndFeedsEveryStringConversion) {
    const std::u16string bytes{u'A', u'B', 0, u'C'};
    EXPECT_EQ(withString(u"%s|%5s|%-5s|%.1s", bytes), "AB|   AB|AB   |A");
    EXPECT_EQ(withString(u"name=%S", u"x"), "name=x");
    // Numeric conversions cannot use a text: copied as written.
    EXPECT_EQ(withString(u"%d and %s and %x", u"AB"), "%d and AB and %x");
    EXPECT_EQ(withString(u"no conversions", u"AB"), "no conversions");
}

TEST(PrintfEngine, PercentPercentAndLiteralText) {
    EXPECT_EQ(words(u"100%% of %d%%", {5}), "100% of 5%");
    EXPECT_EQ(words(u"", {}), "");
    EXPECT_EQ(CompiledFormat(u"%d %% %s %k %n").conversionCount(), 3u);
}

TEST(PrintfEngine, MissingArgumentsStayAsWritten) {
    EXPECT_EQ(words(u"conn %d, handle %-4x end", {1}), "conn 1, handle %-4x end");
    EXPECT_EQ(words(u"%d %d", {}), "%d %d");
    EXPECT_EQ(typed(u"[%s] [%05d]", {}), "[%s] [%05d]");
    std::u16string out;
    CompiledFormat(u"%u").applyWords(out, nullptr, 0);
    EXPECT_EQ(out, u"%u");
}

TEST(PrintfEngine, RefusedConversionsTakeTheirArgumentAndStayAsWritten) {
    EXPECT_EQ(words(u"x%ny %d", {1, 2}), "x%ny 2");
    EXPECT_EQ(words(u"%*d|%d", {5, 42}), "%*d|42");
    EXPECT_EQ(words(u"%.*d|%d", {5, 42}), "%.*d|42");
    EXPECT_EQ(words(u"%5.2f %d %e %p", {1, 2, 3, 4}), "%5.2f 2 %e %p");
    // A number for %s is never taken for an address.
    EXPECT_EQ(words(u"%10s|%d", {0xDEADBEEF, 3}), "%10s|3");
    EXPECT_EQ(typed(u"%s %d", {7, u"text"}), "%s %d");
}

TEST(PrintfEngine, UnknownOrCutConversionsTakeNoArgument) {
    EXPECT_EQ(words(u"%k %d", {7}), "%k 7");
    EXPECT_EQ(words(u"100%", {}), "100%");
    EXPECT_EQ(words(u"%d %5", {1}), "1 %5");
    EXPECT_EQ(words(u"%-#", {1}), "%-#");
    EXPECT_EQ(words(u"%I64", {1}), "%I64");
    EXPECT_EQ(words(u"%5%d", {1}), "%5%d");
}

TEST(PrintfEngine, HugeWidthAndPrecisionAreCapped) {
    EXPECT_EQ(words(u"%99999999d", {1}).size(), static_cast<std::size_t>(kPrintfFieldLimit));
    EXPECT_EQ(words(u"%-99999999999999999999d|", {1}).size(),
              static_cast<std::size_t>(kPrintfFieldLimit) + 1);
    const std::string digits = words(u"%.100000x", {0xAB});
    EXPECT_EQ(digits.size(), static_cast<std::size_t>(kPrintfFieldLimit));
    EXPECT_EQ(digits.substr(digits.size() - 3), "0ab");
    EXPECT_EQ(withString(u"%5000s", u"x").size(), static_cast<std::size_t>(kPrintfFieldLimit));
}

TEST(PrintfEngine, ApplyingAppendsAndCanBeRepeated) {
    const CompiledFormat format(u"v=%d;");
    std::u16string out = u">";
    const std::uint32_t a = 1, b = 2;
    format.applyWords(out, &a, 1);
    format.applyWords(out, &b, 1);
    EXPECT_EQ(out, u">v=1;v=2;");
    EXPECT_EQ(format.text(), u"v=%d;");
}

// Random format texts from printf's own alphabet: every one gives a bounded line and reads
// no argument it was not given (the sanitizer builds watch the reads).
TEST(PrintfEngine, RandomFormatsStayBoundedAndInsideTheirArguments) {
    const std::u16string alphabet = u"%%%%-+ #0123456789.*hlLIqdiuxXocCsSnfpkz";
    std::mt19937 random(1234);
    for (int round = 0; round < 20000; ++round) {
        std::u16string format;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) format.push_back(alphabet[random() % alphabet.size()]);
        const CompiledFormat compiled(format);
        const std::size_t count = random() % 4;
        std::vector<std::uint32_t> params(count);
        for (auto& p : params) p = static_cast<std::uint32_t>(random());
        std::u16string out;
        compiled.applyWords(out, params.data(), params.size());
        compiled.applyString(out, u"str");
        const std::size_t bound =
            3 * (format.size() + (compiled.conversionCount() + 1) * (kPrintfFieldLimit + 24));
        ASSERT_LE(out.size(), bound) << utf16ToUtf8(format);
        ASSERT_LE(compiled.conversionCount(), format.size() / 2 + 1);
    }
}

}  // namespace
}  // namespace nimbrel
