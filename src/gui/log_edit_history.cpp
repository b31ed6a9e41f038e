#include "gui/log_edit_history.h"

namespace nimbrel::gui {

namespace {

// Appends `b` to `a`, runs and all.
void concat(TextFragment& a, const TextFragment& b) {
    const int shift = static_cast<int>(a.text.size());
    for (ColourRun r : b.runs) {
        r.start += shift;
        if (!a.runs.empty() && a.runs.back().colour == r.colour &&
            a.runs.back().start + a.runs.back().length == r.start) {
            a.runs.back().length += r.length;
        } else {
            a.runs.push_back(r);
        }
    }
    a.text += b.text;
}

}  // namespace

TextPos LogEditHistory::endOf(TextPos from, const TextFragment& f) {
    const qsizetype lastBreak = f.text.lastIndexOf(u'\n');
    if (lastBreak < 0) return {from.line, from.column + static_cast<int>(f.text.size())};
    return {from.line + f.text.count(u'\n'), static_cast<int>(f.text.size() - lastBreak - 1)};
}

TextPos LogEditHistory::apply(LineStore& store, TextPos from, TextPos to,
                              const TextFragment& inserted, bool typing) {
    from = store.clamp(from);
    to = store.clamp(to);
    if (to < from) std::swap(from, to);
    TextFragment removed = store.fragment(from, to);
    const TextPos end = store.replace(from, to, inserted);
    redo_.clear();

    if (grouping_ && !undo_.empty()) {
        undo_.back().push_back(Edit{from, std::move(removed), inserted, false});
        return end;
    }
    const bool merge = typing && mergeOpen_ && !undo_.empty() && undo_.back().size() == 1 &&
                       undo_.back()[0].typing && removed.text.isEmpty() &&
                       !inserted.text.contains(u'\n') &&
                       endOf(undo_.back()[0].from, undo_.back()[0].inserted) == from;
    if (merge) {
        concat(undo_.back()[0].inserted, inserted);
    } else {
        undo_.push_back(Step{Edit{from, std::move(removed), inserted, typing}});
    }
    mergeOpen_ = typing && !inserted.text.contains(u'\n');
    return end;
}

void LogEditHistory::beginGroup() {
    undo_.emplace_back();
    grouping_ = true;
    mergeOpen_ = false;
}

void LogEditHistory::endGroup() {
    grouping_ = false;
    if (!undo_.empty() && undo_.back().empty()) undo_.pop_back();
}

std::pair<TextPos, TextPos> LogEditHistory::undo(LineStore& store) {
    if (undo_.empty()) return {};
    Step step = std::move(undo_.back());
    undo_.pop_back();
    TextPos end;
    // Later edits first: each one's positions hold once the ones after it are undone.
    for (auto e = step.rbegin(); e != step.rend(); ++e)
        end = store.replace(e->from, endOf(e->from, e->inserted), e->removed);
    const TextPos from = step.front().from;
    redo_.push_back(std::move(step));
    mergeOpen_ = false;
    return {from, end};
}

std::pair<TextPos, TextPos> LogEditHistory::redo(LineStore& store) {
    if (redo_.empty()) return {};
    Step step = std::move(redo_.back());
    redo_.pop_back();
    TextPos end;
    for (const Edit& e : step) end = store.replace(e.from, endOf(e.from, e.removed), e.inserted);
    const TextPos from = step.front().from;
    undo_.push_back(std::move(step));
    mergeOpen_ = false;
    return {from, end};
}

void LogEditHistory::clear() {
    undo_.clear();
    redo_.clear();
    mergeOpen_ = false;
    grouping_ = false;
}

}  // namespace nimbrel::gui
