// The lines the log view shows while a filter is on, and the view rows they take. The
// shown-line map is filled from the store's index (no text is read) a slice at a time:
// appended lines at once while they are few, a whole new filter on the GUI thread's timer
// within a few milliseconds a step, so that 100 M lines never hold the window up. Lines
// not yet looked at are not shown; the last line (still open for appends, where the caret
// goes at the end) always is. Edits splice the map: only the lines they wrote are looked
// at again.
//
// One hidden line may be revealed (a find landed on it): it is shown as well until the
// filter changes, another line is revealed or an edit takes it.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "gui/logview/line_filter.h"
#include "gui/logview/line_set.h"
#include "gui/logview/line_store.h"
#include "gui/logview/shown_line_map.h"

namespace nimbrel::gui {

class ShownLines : public QObject {
    Q_OBJECT
public:
    explicit ShownLines(const LineStore& store, QObject* parent = nullptr);

    const LineFilter& filter() const { return filter_; }
    void setFilter(const LineFilter& filter);
    // The lines the search matched, for "only lines matching the search"; none given (or
    // null) leaves that part of the filter out.
    void setSearchSet(const LineSet* set);
    const LineSet* searchSet() const { return search_; }
    // Whether the filter takes effect now (the search part needs a search set).
    bool active() const { return active_; }

    qint64 rowCount() const;
    qint64 lineOfRow(qint64 row) const;
    // The row of a shown line; a hidden line gives the row of the next shown line.
    qint64 rowOfLine(qint64 line) const;
    bool isShown(qint64 line) const;
    // Shown lines among the view's lines (a line break at the very end starts no line).
    qint64 shownLines() const;
    // Lines classified so far, as a share of the lines (100 while the filter is off).
    int percent() const;
    bool complete() const;

    // Which lines are shown now, for another thread (an export): a copy of the map.
    std::function<bool(std::int64_t)> keeper() const;

    // Shows `line` although the filter hides it; -1 takes the reveal back.
    void reveal(qint64 line);
    qint64 revealed() const { return revealed_; }

    // Calls from the view: the store's edits, its clearing and appends.
    void replaced(TextPos from, TextPos to, TextPos end);
    // Lines rewritten in place (Replace All): looked at again, the numbering unchanged.
    void rewritten(qint64 first, qint64 count);
    void cleared();
    void appended();
    // Classifies up to `budgetMs` milliseconds' worth of lines now (the timer's step).
    void catchUp(int budgetMs);

signals:
    // The rows changed: lines were shown, hidden or classified.
    void changed();

private:
    void restart();
    void classify(qint64 first, qint64 count, std::vector<bool>& out);
    qint64 baseRank(qint64 line) const;

    const LineStore& store_;
    LineFilter filter_;
    const LineSet* search_ = nullptr;
    QMetaObject::Connection searchChanged_, searchGone_;
    bool active_ = false;
    ShownLineMap map_;
    qint64 revealed_ = -1;
    std::vector<LineStore::LineLook> looks_;
    std::vector<bool> bits_;
    QTimer timer_;
};

}  // namespace nimbrel::gui
