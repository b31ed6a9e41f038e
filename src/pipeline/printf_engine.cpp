#include "pipeline/printf_engine.h"

#include <algorithm>

namespace nimbrel {

namespace {

constexpr bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads a run of decimal digits at text[pos], advancing pos; the value saturates at the
// field limit so that no digit string can overflow or produce a huge field.
int readField(std::u16string_view text, std::size_t& pos) {
    int value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (value <= kPrintfFieldLimit) value = value * 10 + (text[pos] - u'0');
        ++pos;
    }
    return std::min(value, kPrintfFieldLimit);
}

template <class Out>
void appendPadding(Out& out, std::size_t count, char16_t c) {
    if (count > 0) out.append(count, c);
}

// Writes straight into a buffer known to be large enough: no bookkeeping per append.
struct BufferSink {
    char16_t* p;
    void append(const char16_t* s, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) p[i] = s[i];
        p += n;
    }
    void append(std::size_t n, char16_t c) {
        for (std::size_t i = 0; i < n; ++i) p[i] = c;
        p += n;
    }
    void append(std::u16string_view t) { append(t.data(), t.size()); }
    void push_back(char16_t c) { *p++ = c; }
};

constexpr std::size_t kStackRenderLimit = 2048;

}  // namespace

CompiledFormat::CompiledFormat(std::u16string_view format) : text_(format) {
    const std::u16string_view text = text_;
    const std::size_t n = text.size();
    std::size_t pos = 0;
    auto addLiteral = [this](std::size_t from, std::size_t to) {
        if (to <= from) return;
        // Runs that touch in the source are merged into one piece.
        if (!pieces_.empty()) {
            Piece& last = pieces_.back();
            if (last.kind == Kind::Literal && last.offset + last.length == from) {
                last.length += static_cast<std::uint32_t>(to - from);
                return;
            }
        }
        Piece piece;
        piece.offset = static_cast<std::uint32_t>(from);
        piece.length = static_cast<std::uint32_t>(to - from);
        pieces_.push_back(piece);
    };

    while (pos < n) {
        const std::size_t percent = text.find(u'%', pos);
        if (percent == std::u16string_view::npos) {
            addLiteral(pos, n);
            break;
        }
        addLiteral(pos, percent);
        std::size_t p = percent + 1;
        if (p < n && text[p] == u'%') {
            addLiteral(p, p + 1);  // "%%": the second '%' stands for itself
            pos = p + 1;
            continue;
        }

        Piece piece;
        bool star = false;
        for (; p < n; ++p) {
            const char16_t c = text[p];
            if (c == u'-') piece.flags |= kLeft;
            else if (c == u'+') piece.flags |= kPlus;
            else if (c == u' ') piece.flags |= kSpace;
            else if (c == u'#') piece.flags |= kAlternate;
            else if (c == u'0') piece.flags |= kZero;
            else break;
        }
        if (p < n && text[p] == u'*') {
            star = true;
            ++p;
        } else {
            piece.width = static_cast<std::int16_t>(readField(text, p));
        }
        if (p < n && text[p] == u'.') {
            ++p;
            if (p < n && text[p] == u'*') {
                star = true;
                ++p;
            } else {
                piece.precision = static_cast<std::int16_t>(readField(text, p));
            }
        }
        // Size prefixes: "h" and "hh" narrow the value to 16 or 8 bits as C printf does;
        // every other size takes the one 32-bit parameter unchanged.
        unsigned hCount = 0;
        bool otherSize = false;
        while (p < n) {
            const char16_t c = text[p];
            if (c == u'h') {
                ++hCount;
                ++p;
            } else if (c == u'l' || c == u'L' || c == u'j' || c == u'z' || c == u't' || c == u'q' ||
                       c == u'w') {
                otherSize = true;
                ++p;
            } else if (c == u'I') {
                otherSize = true;
                ++p;
                if (p + 1 < n && ((text[p] == u'3' && text[p + 1] == u'2') ||
                                  (text[p] == u'6' && text[p + 1] == u'4'))) {
                    p += 2;
                }
            } else {
                break;
            }
        }
        if (p >= n) {
            addLiteral(percent, n);  // cut off by the end of the text
            break;
        }

        const char16_t letter = text[p++];
        switch (letter) {
        case u'd':
        case u'i': piece.kind = Kind::Signed; break;
        case u'u': piece.kind = Kind::Unsigned; break;
        case u'x': piece.kind = Kind::HexLower; break;
        case u'X': piece.kind = Kind::HexUpper; break;
        case u'o': piece.kind = Kind::Octal; break;
        case u'c':
        case u'C': piece.kind = Kind::Character; break;
        case u's':
        case u'S': piece.kind = Kind::String; break;
        case u'n':
        case u'p':
        case u'f':
        case u'F':
        case u'e':
        case u'E':
        case u'g':
        case u'G':
        case u'a':
        case u'A': piece.kind = Kind::Unsupported; break;
        default:
            addLiteral(percent, p);  // not a conversion: copied, takes no argument
            pos = p;
            continue;
        }
        if (star) piece.kind = Kind::Unsupported;
        if (hCount > 0 && !otherSize) piece.narrowBits = hCount == 1 ? 16 : 8;
        piece.offset = static_cast<std::uint32_t>(percent);
        piece.length = static_cast<std::uint32_t>(p - percent);
        pieces_.push_back(piece);
        ++conversionCount_;
        pos = p;
    }
    // Bound of applyWords' output: a conversion writes its source text, or at most its
    // width or precision plus 22 digits and a two-character prefix.
    for (const Piece& piece : pieces_) {
        const std::size_t widest = static_cast<std::size_t>(std::max<int>(
                                       piece.width, std::max<int>(piece.precision, 0))) +
                                   24;
        maxWordsOutput_ += piece.kind == Kind::Literal
                               ? piece.length
                               : std::max<std::size_t>(piece.length, widest);
    }
}

template <class Out>
void CompiledFormat::appendSource(Out& out, const Piece& piece) const {
    out.append(text_.data() + piece.offset, piece.length);
}

template <class Out, class Convert>
void CompiledFormat::render(Out& out, Convert&& convert) const {
    std::size_t argument = 0;
    for (const Piece& piece : pieces_) {
        if (piece.kind == Kind::Literal) {
            appendSource(out, piece);
            continue;
        }
        if (piece.kind == Kind::Unsupported || !convert(out, piece, argument))
            appendSource(out, piece);
        ++argument;
    }
}

template <class Out>
bool CompiledFormat::writeInteger(Out& out, const Piece& piece, std::int64_t asSigned,
                                  std::uint64_t asUnsigned) {
    if (piece.narrowBits == 16) {
        asSigned = static_cast<std::int16_t>(asUnsigned);
        asUnsigned = static_cast<std::uint16_t>(asUnsigned);
    } else if (piece.narrowBits == 8) {
        asSigned = static_cast<std::int8_t>(asUnsigned);
        asUnsigned = static_cast<std::uint8_t>(asUnsigned);
    }
    unsigned base = 10;
    const char* alphabet = "0123456789abcdef";
    bool negative = false;
    std::uint64_t magnitude = asUnsigned;
    switch (piece.kind) {
    case Kind::Signed:
        negative = asSigned < 0;
        magnitude = negative ? 0 - static_cast<std::uint64_t>(asSigned)
                             : static_cast<std::uint64_t>(asSigned);
        break;
    case Kind::Unsigned: break;
    case Kind::HexLower: base = 16; break;
    case Kind::HexUpper:
        base = 16;
        alphabet = "0123456789ABCDEF";
        break;
    case Kind::Octal: base = 8; break;
    default: return false;
    }

    char16_t digits[24];  // 22 octal digits hold 64 bits
    std::size_t end = sizeof digits / sizeof digits[0];
    std::size_t begin = end;
    const bool zeroValue = magnitude == 0;
    if (!(zeroValue && piece.precision == 0)) {
        // Constant divisors: the compiler turns them into multiplications and shifts.
        if (base == 10) {
            do {
                digits[--begin] = static_cast<char16_t>(u'0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude != 0);
        } else {
            const unsigned shift = base == 16 ? 4 : 3;
            do {
                digits[--begin] = static_cast<char16_t>(alphabet[magnitude & (base - 1)]);
                magnitude >>= shift;
            } while (magnitude != 0);
        }
    }
    const std::size_t digitCount = end - begin;

    std::size_t zeros =
        piece.precision > 0 && static_cast<std::size_t>(piece.precision) > digitCount
            ? static_cast<std::size_t>(piece.precision) - digitCount
            : 0;
    const bool alternate = (piece.flags & kAlternate) != 0;
    if (piece.kind == Kind::Octal && alternate && zeros == 0 &&
        (digitCount == 0 || digits[begin] != u'0'))
        zeros = 1;

    char16_t prefix[2] = {};
    std::size_t prefixLength = 0;
    if (piece.kind == Kind::Signed) {
        if (negative) prefix[prefixLength++] = u'-';
        else if (piece.flags & kPlus) prefix[prefixLength++] = u'+';
        else if (piece.flags & kSpace) prefix[prefixLength++] = u' ';
    } else if ((piece.kind == Kind::HexLower || piece.kind == Kind::HexUpper) && alternate &&
               !zeroValue) {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = piece.kind == Kind::HexUpper ? u'X' : u'x';
    }

    const std::size_t length = prefixLength + zeros + digitCount;
    const std::size_t width = static_cast<std::size_t>(piece.width);
    const std::size_t pad = width > length ? width - length : 0;
    if (piece.flags & kLeft) {
        out.append(prefix, prefixLength);
        appendPadding(out, zeros, u'0');
        out.append(digits + begin, digitCount);
        appendPadding(out, pad, u' ');
    } else if ((piece.flags & kZero) && piece.precision < 0) {
        out.append(prefix, prefixLength);
        appendPadding(out, pad + zeros, u'0');
        out.append(digits + begin, digitCount);
    } else {
        appendPadding(out, pad, u' ');
        out.append(prefix, prefixLength);
        appendPadding(out, zeros, u'0');
        out.append(digits + begin, digitCount);
    }
    return true;
}

template <class Out>
void CompiledFormat::writeText(Out& out, const Piece& piece, std::u16string_view text) {
    if (piece.precision >= 0 && text.size() > static_cast<std::size_t>(piece.precision)) {
        text = text.substr(0, static_cast<std::size_t>(piece.precision));
    }
    const std::size_t width = static_cast<std::size_t>(piece.width);
    const std::size_t pad = width > text.size() ? width - text.size() : 0;
    if (piece.flags & kLeft) {
        out.append(text);
        appendPadding(out, pad, u' ');
    } else {
        appendPadding(out, pad, u' ');
        out.append(text);
    }
}

template <class Out>
void CompiledFormat::writeCharacter(Out& out, const Piece& piece, char16_t c) {
    const std::size_t width = static_cast<std::size_t>(piece.width);
    const std::size_t pad = width > 1 ? width - 1 : 0;
    if (!(piece.flags & kLeft)) appendPadding(out, pad, u' ');
    if (c != 0) out.push_back(c);
    if (piece.flags & kLeft) appendPadding(out, pad, u' ');
}

void CompiledFormat::applyWords(std::u16string& out, const std::uint32_t* params,
                                std::size_t count) const {
    auto convert = [params, count](auto& o, const Piece& piece, std::size_t i) {
        if (i >= count) return false;
        const std::uint32_t word = params[i];
        if (piece.kind == Kind::String) return false;  // a number is never taken for an address
        if (piece.kind == Kind::Character) {
            writeCharacter(o, piece, static_cast<char16_t>(word & 0xFFFFu));
            return true;
        }
        return writeInteger(o, piece, static_cast<std::int32_t>(word), word);
    };
    // The common short format renders into a stack buffer and lands with one append.
    if (maxWordsOutput_ <= kStackRenderLimit) {
        char16_t buffer[kStackRenderLimit];
        BufferSink sink{buffer};
        render(sink, convert);
        out.append(buffer, static_cast<std::size_t>(sink.p - buffer));
        return;
    }
    render(out, convert);
}

void CompiledFormat::applyString(std::u16string& out, std::u16string_view text) const {
    const std::size_t zero = text.find(u'\0');
    if (zero != std::u16string_view::npos) text = text.substr(0, zero);
    render(out, [text](std::u16string& o, const Piece& piece, std::size_t) {
        if (piece.kind != Kind::String) return false;
        writeText(o, piece, text);
        return true;
    });
}

void CompiledFormat::apply(std::u16string& out, std::span<const PrintfArg> args) const {
    render(out, [args](std::u16string& o, const Piece& piece, std::size_t i) {
        if (i >= args.size()) return false;
        const PrintfArg& arg = args[i];
        if (arg.kind == PrintfArg::Kind::Text) {
            if (piece.kind != Kind::String) return false;
            writeText(o, piece, arg.text);
            return true;
        }
        if (piece.kind == Kind::String) return false;
        if (piece.kind == Kind::Character) {
            writeCharacter(o, piece, static_cast<char16_t>(arg.integer & 0xFFFF));
            return true;
        }
        return writeInteger(o, piece, arg.integer, static_cast<std::uint64_t>(arg.integer));
    });
}

std::u16string formatPrintf(std::u16string_view format, std::initializer_list<PrintfArg> args) {
    std::u16string out;
    out.reserve(format.size() + 16);
    CompiledFormat(format).apply(out, std::span<const PrintfArg>(args.begin(), args.size()));
    return out;
}

}  // namespace nimbrel
