// The tag filters of the log view: which kinds of line it shows. A line's kind comes from
// its colour, which its tag gave it, and from whether it starts with a tab (the decoded
// lines under a record keep their record's colour but are a kind of their own). Lines in
// neither tag colour ("[D]" lines and untagged text) count as "[D]".
#pragma once

#include <array>
#include <cstdint>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

enum class LineTag : std::uint8_t { Red, Yellow, Green, Blue, White, Grey, Decoded };
inline constexpr int kLineTagCount = 7;

LineTag lineTagOf(Colour colour, bool indented);

struct LineFilter {
    std::array<bool, kLineTagCount> tags{true, true, true, true, true, true, true};
    bool onlySearch = false;  // only the lines the search matched

    bool shows(LineTag tag) const { return tags[static_cast<std::size_t>(tag)]; }
    bool active() const;
    // The filter as settings text ("RYGBWD+S": a letter per shown kind, '+' for decoded
    // lines, 'S' for only search hits) and back; unknown text shows everything.
    std::string toText() const;
    static LineFilter fromText(const std::string& text);
    friend bool operator==(const LineFilter&, const LineFilter&) = default;
};

}  // namespace nimbrel::gui
