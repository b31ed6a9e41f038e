// The marked lines of the view: toggled by the user, walked with next and previous, kept
// on their lines through edits above them (they move with their lines) and gone with the
// text (Clear, New, Open).
#pragma once

#include <cstdint>
#include <vector>

#include "gui/logview/line_set.h"
#include "gui/logview/line_store.h"

namespace nimbrel::gui {

class LineMarks : public LineSet {
    Q_OBJECT
public:
    using LineSet::LineSet;

    bool contains(std::int64_t line) const override;
    bool anyIn(std::int64_t first, std::int64_t last) const override;
    bool empty() const { return lines_.empty(); }
    std::size_t count() const { return lines_.size(); }
    const std::vector<std::int64_t>& lines() const { return lines_; }

    // Marks the line, or takes its mark away; true when it is marked afterwards.
    bool toggle(std::int64_t line);
    void clear();
    // The first mark after `line`, wrapping to the first one; -1 when there is none.
    std::int64_t next(std::int64_t line) const;
    // The last mark before `line`, wrapping to the last one; -1 when there is none.
    std::int64_t previous(std::int64_t line) const;
    // The nearest mark above `line` (strictly), -1 when there is none.
    std::int64_t above(std::int64_t line) const;

    // The text between `from` and `to` became text that ends at `end`: marks below move
    // with their lines, marks on lines that went away go too.
    void replaced(TextPos from, TextPos to, TextPos end);

private:
    std::vector<std::int64_t> lines_;  // ascending
};

}  // namespace nimbrel::gui
