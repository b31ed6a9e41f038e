// Decoder fuzzing: each of the six decoder entries on parameter words of any value and
// any count, including fewer words than the decoder reads (those read as 0).
//
// Input: byte 0 selects the decoder (value % 6); the rest are the words, four bytes each,
// little-endian, at most 255 (a record's largest parameter count); a last partial word is
// dropped. The words sit in a heap block of exactly their count, so any read past them is
// caught.
//
// Checked: the returning form and the appending form give the same text, the appending
// form leaves what the buffer held before untouched, and a decoder's text depends only
// on the words it reads: the same words followed by zeros decode to the same text.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "decoders/decoders.h"
#include "fuzz_check.h"
#include "platform/little_endian.h"

namespace {

using namespace nimbrel;

using Decode = std::u16string (*)(ParamWords);
using Append = void (*)(std::u16string&, ParamWords);

struct Entry {
    Decode decode;
    Append append;
};

constexpr Entry kEntries[6] = {
    {DecodeHciCommand, AppendHciCommand},   {DecodeHciEvent, AppendHciEvent},
    {DecodeLmpSent, AppendLmpSent},         {DecodeLmpSentExt, AppendLmpSentExt},
    {DecodeLmpReceived, AppendLmpReceived}, {DecodeLmpReceivedExt, AppendLmpReceivedExt},
};

// Words that no decoder reads beyond; padding with zeros up to here must not change a text.
constexpr std::size_t kPaddedCount = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Entry& entry = kEntries[data[0] % 6];
    const std::size_t count = std::min<std::size_t>((size - 1) / 4, 255);

    std::unique_ptr<std::uint32_t[]> words(count ? new std::uint32_t[count] : nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = loadLe32(data + 1 + 4 * i);
    }
    const ParamWords pw{words.get(), count};

    const std::u16string text = entry.decode(pw);

    std::u16string appended = u"kept";
    entry.append(appended, pw);
    FUZZ_CHECK(appended.compare(0, 4, u"kept") == 0);
    FUZZ_CHECK(appended.substr(4) == text);

    if (count < kPaddedCount) {
        std::unique_ptr<std::uint32_t[]> padded(new std::uint32_t[kPaddedCount]());
        for (std::size_t i = 0; i < count; ++i) padded[i] = words[i];
        FUZZ_CHECK(entry.decode(ParamWords{padded.get(), kPaddedCount}) == text);
    }
    return 0;
}
