// The search pane's list of results: one row per line that matches the search or holds a
// mark, with its line number and its text in the line's colour. A virtual list: it paints
// only the visible rows and finds a row's line in the hit set, so millions of rows cost
// no more than the set itself.
#pragma once

#include <QAbstractScrollArea>
#include <cstdint>
#include <memory>
#include <vector>

#include "gui/logview/hit_set.h"

namespace nimbrel::gui {

class LogTextView;

class SearchResultsList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SearchResultsList(const LogTextView& view, QWidget* parent = nullptr);

    // The lines to list: the hits and the marked lines (marks are listed with a sign).
    void setLines(std::shared_ptr<const HitSet> hits, std::vector<std::int64_t> marks);
    std::int64_t rowCount() const { return rows_->count(); }
    std::int64_t lineAt(std::int64_t row) const { return rows_->select(row); }
    // -1 when no row is current.
    std::int64_t currentRow() const { return current_; }
    std::int64_t currentLine() const { return current_ < 0 ? -1 : lineAt(current_); }
    // Makes the row of `line` current (the nearest row after it when it is not listed).
    void setCurrentLine(std::int64_t line);
    void setCurrentRow(std::int64_t row);
    // The row's top left corner in the viewport, for clicks in tests.
    QPoint rowPoint(std::int64_t row) const;

signals:
    // The user chose a row: a click, Enter.
    void lineActivated(std::int64_t line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    void ensureVisible(std::int64_t row);
    int visibleRows() const;

    const LogTextView& view_;
    std::shared_ptr<const HitSet> rows_;
    std::vector<std::int64_t> marks_;
    std::int64_t current_ = -1;
    int rowHeight_ = 14;
    int ascent_ = 11;
    int charWidth_ = 7;
};

}  // namespace nimbrel::gui
