// Undo and redo of the user's own edits in the log view. Appended lines are not edits of
// the user and are not recorded; they only add text after every recorded position, so
// the records stay valid while lines keep arriving. A step keeps the text it took out as
// an excerpt of the store: whole lines by reference, so that deleting a million lines
// costs no copy of them. Clear and opening a file drop the history.
#pragma once

#include <memory>
#include <vector>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

class LogEditHistory {
public:
    struct Edit {
        TextPos from;
        Excerpt removed;
        Excerpt inserted;
        bool typing = false;                    // consecutive typed characters merge into one step
        std::shared_ptr<const PieceSwap> swap;  // a rewrite of whole lines instead
    };

    // Replaces [from, to) with `inserted` in the store and records the step; returns the
    // position after the inserted text.
    TextPos apply(LineStore& store, TextPos from, TextPos to, const TextFragment& inserted,
                  bool typing);
    // Records a rewrite of whole lines that the store has made (a replace-all).
    void recordSwap(PieceSwap swap);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Each returns the range of text that the step restored (caret at .second).
    std::pair<TextPos, TextPos> undo(LineStore& store);
    std::pair<TextPos, TextPos> redo(LineStore& store);
    void clear();
    // A step that is not typing ends the current run of typed characters.
    void breakTyping() { mergeOpen_ = false; }
    // Edits between these two undo and redo as one step (replace all).
    void beginGroup();
    void endGroup();

private:
    using Step = std::vector<Edit>;

    std::vector<Step> undo_;
    std::vector<Step> redo_;
    bool grouping_ = false;
    bool mergeOpen_ = false;
};

}  // namespace nimbrel::gui
