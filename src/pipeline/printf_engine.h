// The printf engine: applies printf-style format texts (message definitions, console
// messages) without ever handing them to the C library.
//
// A format is compiled once into pieces (literal runs and conversions) and can then be
// applied any number of times; applying appends to the caller's string and allocates
// nothing beyond that string's growth.
//
// What is understood:
//   flags '-', '+', ' ', '#', '0'; a decimal width and precision (each capped at
//   kPrintfFieldLimit); length modifiers h and hh, which narrow an integer as C printf
//   does (to 16 or 8 bits; d and i sign-extend from there), and l, ll, L, j, z, t, q, w,
//   I, I32, I64, which are accepted and change nothing; conversions d i (signed), u x X o
//   (unsigned), c C (one character), s S (a text); "%%" gives "%".
//
// How the texts that cannot be honoured read:
//   - A known conversion always takes one argument position, even when it cannot be
//     honoured. It is copied to the output as written (e.g. "%5.2f") when its argument is
//     missing, when the argument has the wrong kind (a number for %s, a text for %d), or
//     when the conversion itself is refused: %n, %p, the floating conversions
//     (f F e E g G a A) and any '*' width or precision.
//   - A '%' followed by an unknown character, or a '%' conversion cut off by the end of
//     the text (a lone trailing '%'), is not a conversion: it is copied as written and
//     takes no argument.
//   - A zero character given to %c adds nothing (the field's padding still counts it).
//
// Arguments per entry point:
//   applyWords:  each conversion takes the next 32-bit parameter: signed for d/i,
//                unsigned for u/x/X/o, the low 16 bits as a UTF-16 unit for c.
//   applyString: every conversion takes the same one text, cut at its first zero
//                character; only s/S can use it, every other conversion is copied as written.
//   apply:       typed arguments in order. An Integer prints its full 64-bit value: signed
//                for d/i, reinterpreted as unsigned 64-bit for u/x/X/o (so -1 with %x gives
//                ffffffffffffffff), the low 16 bits for c. A Text is used whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/printf_arg.h"

namespace nimbrel {

// Largest width or precision honoured; larger values are cut to it.
inline constexpr int kPrintfFieldLimit = 1024;

class CompiledFormat {
public:
    CompiledFormat() = default;
    explicit CompiledFormat(std::u16string_view format);

    void applyWords(std::u16string& out, const std::uint32_t* params, std::size_t count) const;
    void applyString(std::u16string& out, std::u16string_view text) const;
    void apply(std::u16string& out, std::span<const PrintfArg> args) const;

    // Argument positions the format takes (conversions other than "%%", including the
    // refused ones).
    std::size_t conversionCount() const { return conversionCount_; }
    // The format text as given.
    std::u16string_view text() const { return text_; }

private:
    enum class Kind : std::uint8_t {
        Literal,      // text copied as it stands; takes no argument
        Signed,       // d i
        Unsigned,     // u
        HexLower,     // x
        HexUpper,     // X
        Octal,        // o
        Character,    // c C
        String,       // s S
        Unsupported,  // takes an argument, always copied as written
    };
    enum Flag : std::uint8_t {
        kLeft = 1,       // '-'
        kPlus = 2,       // '+'
        kSpace = 4,      // ' '
        kAlternate = 8,  // '#'
        kZero = 16,      // '0'
    };
    struct Piece {
        std::uint32_t offset = 0;  // literal text, or the conversion as written, in text_
        std::uint32_t length = 0;
        Kind kind = Kind::Literal;
        std::uint8_t flags = 0;
        std::int16_t width = 0;       // 0 when none
        std::int16_t precision = -1;  // -1 when none
        std::uint8_t narrowBits = 0;  // 16 for "h", 8 for "hh": the value is narrowed first
    };

    // Runs over the pieces; convert(out, piece, argumentIndex) writes one conversion and
    // returns false when it cannot, which copies the conversion as written. Out is a
    // std::u16string, or a sink writing to a stack buffer (see applyWords).
    template <class Out, class Convert>
    void render(Out& out, Convert&& convert) const;
    template <class Out>
    void appendSource(Out& out, const Piece& piece) const;
    template <class Out>
    static bool writeInteger(Out& out, const Piece& piece, std::int64_t asSigned,
                             std::uint64_t asUnsigned);
    template <class Out>
    static void writeText(Out& out, const Piece& piece, std::u16string_view text);
    template <class Out>
    static void writeCharacter(Out& out, const Piece& piece, char16_t c);

    std::u16string text_;
    std::vector<Piece> pieces_;
    std::size_t conversionCount_ = 0;
    // The most characters applyWords can produce with this format.
    std::size_t maxWordsOutput_ = 0;
};

// Compiles and applies in one go (console messages).
std::u16string formatPrintf(std::u16string_view format, std::initializer_list<PrintfArg> args = {});

}  // namespace nimbrel
