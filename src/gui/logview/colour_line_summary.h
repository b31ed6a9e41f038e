// Which groups of lines hold a line of one colour (the red lines, for the overview strip),
// built a slice at a time on the GUI thread's timer from the store's index (no text is
// read), so that even 100 M lines never hold the window up. Edits and appends are caught
// up with in the same way.
#pragma once

#include <QTimer>
#include <cstdint>
#include <vector>

#include "gui/logview/line_set.h"
#include "gui/logview/line_store.h"

namespace nimbrel::gui {

class ColourLineSummary : public LineSet {
    Q_OBJECT
public:
    static constexpr int kGroupLines = 256;

    ColourLineSummary(const LineStore& store, Colour colour, QObject* parent = nullptr);

    // Exact for one line (read from the index).
    bool contains(std::int64_t line) const override;
    // By groups of kGroupLines lines for long ranges (true when a group that overlaps the
    // range holds one); line by line for ranges up to a group long.
    bool anyIn(std::int64_t first, std::int64_t last) const override;

    // The lines from `line` on changed (an edit): they are looked at again.
    void invalidateFrom(std::int64_t line);
    void reset();
    // Lines looked at so far; the summary is complete when this reaches the line count.
    std::int64_t scannedLines() const { return scanned_; }
    // Looks at up to `budgetMs` milliseconds' worth of lines now (the timer's step).
    void scanSome(int budgetMs);

private:
    const LineStore& store_;
    Colour colour_;
    std::vector<std::uint64_t> groups_;  // a bit per group
    std::int64_t scanned_ = 0;
    std::vector<Colour> colours_;
    QTimer timer_;
};

}  // namespace nimbrel::gui
