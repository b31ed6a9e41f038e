#include "platform/text.h"

#include <gtest/gtest.h>

#include <random>

namespace nimbrel {
namespace {

TEST(Text, Utf8RoundTripsAcrossTheAsciiBlocksAndTheGeneralPath) {
    // Lengths around the 16- and 8-unit blocks, with a unit just past ASCII, or one that
    // only its high byte tells from ASCII, at every position.
    for (const char16_t other : {u'\u00e9', u'\u0080', u'\u0100', u'\u4e2d'}) {
        for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 32u, 33u, 64u, 65u, 300u}) {
            for (std::size_t at = 0; at <= length; at += length > 65 ? 7 : 1) {
                std::u16string text(length, u'a');
                if (at < length) text[at] = other;
                const std::string utf8 = utf16ToUtf8(text);
                const std::size_t extra = at < length ? (other < 0x800 ? 1 : 2) : 0;
                EXPECT_EQ(utf8.size(), length + extra) << length << " " << at;
                EXPECT_EQ(utf8ToUtf16(utf8), text) << length << " " << at;
            }
        }
    }
    const std::u16string mixed = u"x\u00e9\u4e2d\U0001F600y";
    EXPECT_EQ(utf16ToUtf8(mixed), "x\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80y");
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(mixed)), mixed);
}

TEST(Text, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xef\xbf\xbd");  // lone surrogate
    EXPECT_EQ(utf8ToUtf16("\xc3"), u"\ufffd");                                    // cut sequence
    EXPECT_EQ(utf8ToUtf16("\xc0\xaf"), u"\ufffd\ufffd");                          // overlong
    // A surrogate pair split across appendUtf8's internal slices stays whole.
    std::u16string longText(255, u'a');
    longText += u"\U0001F600";
    std::string out;
    appendUtf8(out, longText);
    EXPECT_EQ(out.substr(255), "\xf0\x9f\x98\x80");
}

TEST(Text, RandomTextSurvivesTheRoundTripWithUnpairedSurrogatesReplaced) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::u16string text(std::uniform_int_distribution<std::size_t>(0, 600)(rng), u'\0');
        for (char16_t& c : text)
            c = static_cast<char16_t>(rng() % 8 == 0 ? rng() % 0x10000 : rng() % 0x80);
        std::u16string expected = text;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const bool high = expected[i] >= 0xD800 && expected[i] <= 0xDBFF;
            const bool low = expected[i] >= 0xDC00 && expected[i] <= 0xDFFF;
            if (high && i + 1 < expected.size() && expected[i + 1] >= 0xDC00 &&
                expected[i + 1] <= 0xDFFF) {
                ++i;  // a proper pair
            } else if (high || low) {
                expected[i] = 0xFFFD;
            }
        }
        std::string utf8;
        appendUtf8(utf8, text);
        EXPECT_EQ(utf8ToUtf16(utf8), expected) << round;
    }
}

}  // namespace
}  // namespace nimbrel
