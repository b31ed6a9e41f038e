// What the log view asks, while it paints a line, about the parts of it to highlight: the
// hits of the current search and the user's highlight rules.
#pragma once

#include <QColor>
#include <cstdint>
#include <vector>

namespace nimbrel::gui {

// UTF-16 columns [start, end) of a line and the background they get.
struct HighlightSpan {
    int start = 0;
    int end = 0;
    QColor background;
};

class LineHighlighter {
public:
    virtual ~LineHighlighter() = default;
    // Appends the spans of `line`; later spans are drawn over earlier ones.
    virtual void highlights(std::int64_t line, std::vector<HighlightSpan>& out) const = 0;
};

}  // namespace nimbrel::gui
