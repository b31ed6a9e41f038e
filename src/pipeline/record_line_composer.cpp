#include "pipeline/record_line_composer.h"

#include <algorithm>

#include "decoders/decoders.h"
#include "pipeline/color_tag.h"
#include "pipeline/decoder_input.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/message_indices.h"
#include "platform/little_endian.h"
#include "platform/local_time.h"

namespace nimbrel {
namespace {

using namespace std::string_view_literals;

struct ColourTag {
    std::u16string_view tag;
    Rgb colour;
};

// By colour code 0..7.
constexpr ColourTag kColourTags[8] = {
    {u"[D] [", kLightGrey}, {u"[G] [", kGreen},  {u"[R] [", kRed},       {u"[W] [", kWhite},
    {u"[B] [", kCyan},      {u"[Y] [", kYellow}, {u"[D] [", kLightGrey}, {u"[D] [", kLightGrey},
};
constexpr ColourTag kErrorTag{u"[R] [", kRed};

using AppendDecoder = void (*)(std::u16string&, ParamWords);

struct DecoderRow {
    std::uint16_t index;
    AppendDecoder decode;
    bool hci;  // HCI records skip their first word on chips that are both Ember and Flint
};

constexpr DecoderRow kDecoders[] = {
    {kHciCommandIndex, AppendHciCommand, true},
    {kHciEventIndex, AppendHciEvent, true},
    {kLmpSentIndex, AppendLmpSent, false},
    {kLmpSentExtIndex, AppendLmpSentExt, false},
    {kLmpReceivedIndex, AppendLmpReceived, false},
    {kLmpReceivedExtIndex, AppendLmpReceivedExt, false},
};

const DecoderRow* decoderFor(std::uint16_t index) {
    for (const DecoderRow& row : kDecoders) {
        if (row.index == index) return &row;
    }
    return nullptr;
}

void appendHexByte(std::u16string& out, std::uint8_t b, bool padded) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    if (padded || b >= 16) out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
}

std::u16string_view routeTag(CaptureRoute threadId, bool errorColumn) {
    if (threadId == CaptureRoute::Com) return u"[COM] "sv;
    if (threadId == CaptureRoute::Filter) return u"[FIL] "sv;
    return errorColumn ? u""sv : u"[FIL] "sv;
}

// The fixed-width head of a line: time, route tag, colour tag and the header numbers.
class HeadWriter {
public:
    void text(std::u16string_view t) {
        std::copy(t.begin(), t.end(), buf_ + n_);
        n_ += t.size();
    }
    // "%0Nd" of a number.
    __attribute__((always_inline)) void padded(std::int64_t value, int width) {
        // The common case: a number that fits its width (loop bounds known to the compiler).
        if (width == 2 && value >= 0 && value < 100)
            return fixed<2>(static_cast<std::uint32_t>(value));
        if (width == 3 && value >= 0 && value < 1000)
            return fixed<3>(static_cast<std::uint32_t>(value));
        if (width == 5 && value >= 0 && value < 100000)
            return fixed<5>(static_cast<std::uint32_t>(value));
        char16_t digits[24];
        int k = 24;
        const bool negative = value < 0;
        std::uint64_t v =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        do {
            digits[--k] = static_cast<char16_t>(u'0' + v % 10);
            v /= 10;
        } while (v != 0);
        if (negative) buf_[n_++] = u'-';
        for (int i = 24 - k + (negative ? 1 : 0); i < width; ++i) buf_[n_++] = u'0';
        while (k < 24) buf_[n_++] = digits[k++];
    }
    // "%02d:%02d:%02d.%03d  "
    void time(int hour, int minute, int second, int millisecond) {
        padded(hour, 2);
        buf_[n_++] = u':';
        padded(minute, 2);
        buf_[n_++] = u':';
        padded(second, 2);
        buf_[n_++] = u'.';
        padded(millisecond, 3);
        text(u"  "sv);
    }
    std::u16string_view view() const { return {buf_, n_}; }

private:
    // Width digits of v < 10^Width, two at a time from a table of pairs.
    template <int Width>
    void fixed(std::uint32_t v) {
        static constexpr char kPairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        int i = Width - 1;
        for (; i >= 1; i -= 2) {
            const std::uint32_t pair = v % 100;
            v /= 100;
            buf_[n_ + static_cast<std::size_t>(i) - 1] = static_cast<char16_t>(kPairs[2 * pair]);
            buf_[n_ + static_cast<std::size_t>(i)] = static_cast<char16_t>(kPairs[2 * pair + 1]);
        }
        if (i == 0) buf_[n_] = static_cast<char16_t>(u'0' + v);
        n_ += Width;
    }

    char16_t buf_[192];  // the longest head is well under 100 characters
    std::size_t n_ = 0;
};

// Appends a number with at least `width` digits, zero-padded ("%0Nd"), in one append.
void appendPadded(std::u16string& out, std::int64_t value, int width) {
    HeadWriter digits;
    digits.padded(value, width);
    out.append(digits.view());
}

}  // namespace

bool isPlausibleStamp(const RawStamp& s) {
    return (s.year >> 8) <= 8 && s.year != 0 && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
           s.day <= 31 && s.hour <= 23 && s.minute <= 59 && s.second <= 59 && s.millisecond <= 999;
}

void advanceStampByOneMillisecond(RawStamp& s) {
    if (++s.millisecond > 999) {
        s.millisecond = 0;
        if (++s.second > 59) {
            s.second = 0;
            if (++s.minute > 59) {
                s.minute = 0;
                ++s.hour;
            }
        }
    }
}

RecordLineComposer::RecordLineComposer(const MessageDefinitionTable& definitions,
                                       const FormatterToggles& toggles)
    : definitions_(definitions), toggles_(toggles) {}

// Appends the message text to line_ (and fills decoded_ when a decoder runs). `matched`:
// the record fits its definition; `decoded`: a decoder was called.
void RecordLineComposer::appendBody(const RecordRef& record, const MessageEntry& e, std::uint32_t n,
                                    bool matched, bool& decoded) {
    const RecordLayout& layout = record.layout;
    const std::uint16_t index = record.messageIndex();
    const std::uint8_t* params = record.bytes + layout.paramStart;
    const std::size_t bodyStart = line_.size();
    std::u16string& body_ = line_;
    decoded = false;
    if (matched) {
        if (layout.paramWidth == 1) {
            scratch_.clear();
            for (std::uint32_t i = 0; i < n && params[i] != 0; ++i) scratch_.push_back(params[i]);
            e.format.applyString(body_, scratch_);
        } else if (layout.paramWidth == 4 && n >= 1 && n <= kMaxFormattedParams) {
            std::uint32_t words[kMaxFormattedParams];
            for (std::uint32_t i = 0; i < n; ++i) words[i] = loadLe32(params + 4 * i);
            e.format.applyWords(body_, words, n);
        } else {
            body_.append(e.formatText);
        }
    } else {
        body_.append(u"parameter error:");
        const std::uint32_t end = layout.paramStart + n * layout.paramWidth;
        if (layout.extraByteOffset && layout.extraWordOffset) {
            body_.append(u" [Para Num] ");
            appendPadded(body_, n, 2);
            body_.append(u" Para");
            // Four bytes a group, highest offset first, so a 32-bit parameter reads as one
            // hexadecimal number; a short last group shows only the bytes it has.
            int group = 0;
            for (std::uint32_t at = 12; at < end; at += 4, ++group) {
                body_.append(u" [");
                appendPadded(body_, group, 1);
                body_.append(u"]0x");
                const std::uint32_t last = std::min(at + 4, end);
                for (std::uint32_t i = last; i > at; --i)
                    appendHexByte(body_, record.bytes[i - 1], true);
            }
        } else {
            for (std::uint32_t i = 0; i < end; ++i) {
                appendHexByte(body_, record.bytes[i], true);
                body_.push_back(u' ');
            }
        }
    }

    decoded_.clear();
    const DecoderRow* decoder = decoderFor(index);
    if (matched && decoder && toggles_.autoParseLog(std::memory_order_relaxed)) {
        decoded = true;
        if (layout.paramWidth == 4) {
            std::uint32_t words[255];
            const bool skipFirst = decoder->hci && toggles_.emberType(std::memory_order_relaxed) &&
                                   toggles_.flintType(std::memory_order_relaxed);
            decoder->decode(decoded_, decoderWords(record, skipFirst, words));
        } else if (layout.paramWidth == 1) {
            decoded_.append(u"paraWide is 1 not 4");
        }
    }

    if (!decoded && index == kRawDumpIndex) {
        body_.resize(bodyStart);
        for (std::uint32_t i = 0; i < n; ++i) {
            body_.push_back(u' ');
            appendHexByte(body_, params[i], false);
        }
    }
}

ComposedLine RecordLineComposer::compose(const RecordRef& record, const RawStamp* stamp,
                                         std::int64_t lineNumber) {
    const RecordLayout& layout = record.layout;
    const std::uint32_t n = layout.paramStart ? record.bytes[layout.paramStart - 1] : 0;
    const MessageEntry e = definitions_.entry(record.messageIndex());
    const bool matched = fitsDefinition(record, e);

    const CaptureRoute threadId = toggles_.threadId(std::memory_order_relaxed);
    const ColourTag& tag = matched ? kColourTags[record.colourCode()] : kErrorTag;

    // The fixed-width head goes through a stack buffer: one append per line.
    HeadWriter head;
    if (!stamp) {
        const LocalTime now = localTimeNow();
        head.time(now.hour, now.minute, now.second, now.millisecond);
    } else {
        const RawStamp* shown = stamp;
        if (toggles_.autoFixTimeStamp(std::memory_order_relaxed)) {
            if (isPlausibleStamp(*stamp)) {
                m_lastStamp = *stamp;
            } else {
                advanceStampByOneMillisecond(m_lastStamp);
            }
            shown = &m_lastStamp;
        }
        const RawStamp& s = *shown;
        head.time(s.hour, s.minute, s.second, s.millisecond);
    }
    head.text(routeTag(threadId, !matched));
    head.text(tag.tag);
    head.padded(lineNumber, 5);
    head.text(u"] ["sv);
    head.padded(record.infoByte(), 3);
    head.text(u"] ["sv);
    head.padded(record.extraByte(), 3);
    head.text(u"] ["sv);
    head.padded(record.extraWord(), 5);
    head.text(u"] "sv);
    line_.assign(head.view());

    bool decoded = false;
    appendBody(record, e, n, matched, decoded);
    if (decoded && !decoded_.empty()) {
        line_.push_back(u'\n');
        line_.append(decoded_);
        line_.push_back(u'\n');
    }
    return {line_, tag.colour, !matched, e.formatText == kUndefinedMessageText};
}

}  // namespace nimbrel
