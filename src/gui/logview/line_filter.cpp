#include "gui/logview/line_filter.h"

#include <algorithm>
#include <string>

namespace nimbrel::gui {
namespace {

// The tag colours (0xRRGGBB) by kind, and the letters that store them.
constexpr Colour kTagColours[] = {0xFF0000, 0xFFFF00, 0x00FF00, 0x64FFFF, 0xFFFFFF};
constexpr char kLetters[kLineTagCount + 1] = "RYGBWD+";

}  // namespace

LineTag lineTagOf(Colour colour, bool indented) {
    if (indented) return LineTag::Decoded;
    colour &= 0xFFFFFF;
    for (int i = 0; i < 5; ++i) {
        if (kTagColours[i] == colour) return static_cast<LineTag>(i);
    }
    return LineTag::Grey;
}

bool LineFilter::active() const {
    return onlySearch || std::find(tags.begin(), tags.end(), false) != tags.end();
}

std::string LineFilter::toText() const {
    std::string text;
    for (int i = 0; i < kLineTagCount; ++i) {
        if (tags[static_cast<std::size_t>(i)]) text += kLetters[i];
    }
    if (onlySearch) text += 'S';
    return text;
}

LineFilter LineFilter::fromText(const std::string& text) {
    LineFilter f;
    const std::string letters(kLetters);
    if (text.empty() || text.find_first_not_of(letters + 'S') != std::string::npos) return f;
    for (int i = 0; i < kLineTagCount; ++i)
        f.tags[static_cast<std::size_t>(i)] = text.find(kLetters[i]) != std::string::npos;
    f.onlySearch = text.find('S') != std::string::npos;
    return f;
}

}  // namespace nimbrel::gui
