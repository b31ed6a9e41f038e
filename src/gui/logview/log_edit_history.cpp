#include "gui/logview/log_edit_history.h"

namespace nimbrel::gui {

namespace {

bool isEmpty(const Excerpt& e) { return !e.multiLine && e.head.text.isEmpty(); }

}  // namespace

TextPos LogEditHistory::apply(LineStore& store, TextPos from, TextPos to,
                              const TextFragment& inserted, bool typing) {
    from = store.clamp(from);
    to = store.clamp(to);
    if (to < from) std::swap(from, to);
    Excerpt removed = store.excerpt(from, to);
    const TextPos end = store.replace(from, to, inserted);
    redo_.clear();

    const bool breaks = inserted.text.contains(u'\n');
    if (grouping_ && !undo_.empty()) {
        undo_.back().push_back(Edit{from, std::move(removed), store.excerpt(from, end), false, {}});
        return end;
    }
    const bool merge = typing && mergeOpen_ && !undo_.empty() && undo_.back().size() == 1 &&
                       undo_.back()[0].typing && isEmpty(removed) && !breaks &&
                       undo_.back()[0].inserted.endFrom(undo_.back()[0].from) == from;
    if (merge) {
        Edit& e = undo_.back()[0];
        e.inserted = store.excerpt(e.from, end);
    } else {
        undo_.push_back(Step{Edit{from, std::move(removed), store.excerpt(from, end), typing, {}}});
    }
    mergeOpen_ = typing && !breaks;
    return end;
}

void LogEditHistory::recordSwap(PieceSwap swap) {
    if (swap.after.empty()) return;
    redo_.clear();
    Edit e;
    e.from = {swap.firstChanged, 0};
    e.swap = std::make_shared<const PieceSwap>(std::move(swap));
    if (grouping_ && !undo_.empty()) {
        undo_.back().push_back(std::move(e));
    } else {
        undo_.push_back(Step{std::move(e)});
    }
    mergeOpen_ = false;
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
    for (auto e = step.rbegin(); e != step.rend(); ++e) {
        if (e->swap) {
            store.swapPieces(e->swap->after, e->swap->before, e->swap->firstChanged);
            end = e->from;
        } else {
            end = store.replace(e->from, e->inserted.endFrom(e->from), e->removed);
        }
    }
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
    for (const Edit& e : step) {
        if (e.swap) {
            store.swapPieces(e.swap->before, e.swap->after, e.swap->firstChanged);
            end = e.from;
        } else {
            end = store.replace(e.from, e.removed.endFrom(e.from), e.inserted);
        }
    }
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
