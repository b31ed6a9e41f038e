#include "pipeline/color_tag.h"

namespace nimbrel {

std::optional<Rgb> colourOfTags(std::u16string_view text) {
    struct TagColour {
        std::u16string_view tag;
        Rgb colour;
    };
    static constexpr TagColour kOrder[] = {
        {u"[R]", kRed}, {u"[G]", kGreen}, {u"[B]", kCyan}, {u"[W]", kWhite}, {u"[Y]", kYellow},
    };
    for (const TagColour& t : kOrder) {
        if (text.find(t.tag) != std::u16string_view::npos) return t.colour;
    }
    return std::nullopt;
}

}  // namespace nimbrel
