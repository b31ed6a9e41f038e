#include "gui/logview/line_marks.h"

#include <algorithm>

namespace nimbrel::gui {

bool LineMarks::contains(std::int64_t line) const {
    return std::binary_search(lines_.begin(), lines_.end(), line);
}

bool LineMarks::anyIn(std::int64_t first, std::int64_t last) const {
    const auto it = std::lower_bound(lines_.begin(), lines_.end(), first);
    return it != lines_.end() && *it < last;
}

bool LineMarks::toggle(std::int64_t line) {
    const auto it = std::lower_bound(lines_.begin(), lines_.end(), line);
    const bool mark = it == lines_.end() || *it != line;
    if (mark) {
        lines_.insert(it, line);
    } else {
        lines_.erase(it);
    }
    emit changed();
    return mark;
}

void LineMarks::clear() {
    if (lines_.empty()) return;
    lines_.clear();
    emit changed();
}

std::int64_t LineMarks::next(std::int64_t line) const {
    if (lines_.empty()) return -1;
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), line);
    return it != lines_.end() ? *it : lines_.front();
}

std::int64_t LineMarks::previous(std::int64_t line) const {
    if (lines_.empty()) return -1;
    const std::int64_t a = above(line);
    return a >= 0 ? a : lines_.back();
}

std::int64_t LineMarks::above(std::int64_t line) const {
    const auto it = std::lower_bound(lines_.begin(), lines_.end(), line);
    return it == lines_.begin() ? -1 : *(it - 1);
}

void LineMarks::replaced(TextPos from, TextPos to, TextPos end) {
    if (lines_.empty()) return;
    // Cut from the start of a line to the start of a line: whole lines went and the line
    // at `to` keeps its text, now at `end`. Otherwise the first line keeps its start and
    // the lines after it up to `to` went (the rest of `to`'s line joined the new text).
    const bool wholeLines = from.column == 0 && to.column == 0;
    const std::int64_t shift = end.line - to.line;
    std::vector<std::int64_t> kept;
    kept.reserve(lines_.size());
    for (const std::int64_t line : lines_) {
        if (line < from.line) {
            kept.push_back(line);
        } else if (line > to.line || (wholeLines && line == to.line)) {
            kept.push_back(line + shift);
        } else if (!wholeLines && line == from.line) {
            kept.push_back(line);
        }
    }
    const bool same = kept == lines_;
    lines_ = std::move(kept);
    if (!same) emit changed();
}

}  // namespace nimbrel::gui
