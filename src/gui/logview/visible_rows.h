// The log text widget as its side parts see it: the mark margin, the overview strip and
// the accessibility interface read the rows on screen and the lines behind them, and move
// the caret, through this, so that none of them depends on the widget itself.
#pragma once

#include <QPoint>
#include <QString>
#include <QtGlobal>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

class LineMarks;
class ShownLines;

class VisibleRows {
public:
    // The rows are the lines the filter shows (all of them while it is off).
    virtual qint64 rowCount() const = 0;
    virtual qint64 firstVisibleRow() const = 0;
    virtual int visibleLineCount() const = 0;
    virtual int rowHeight() const = 0;
    virtual qint64 lineOfRow(qint64 row) const = 0;
    virtual qint64 rowOfLine(qint64 line) const = 0;
    // The line in the top row, and the lines of the text.
    virtual qint64 firstVisibleLine() const = 0;
    virtual qint64 lineCount() const = 0;
    virtual const LineStore& store() const = 0;
    virtual const ShownLines& shownLines() const = 0;
    virtual LineMarks& marks() = 0;
    // x of a column within a line, from the line's start; the text position at a point of
    // the viewport.
    virtual qreal xOfColumn(const QString& line, int column) const = 0;
    virtual TextPos posAt(const QPoint& viewportPoint) const = 0;
    virtual TextPos caret() const = 0;
    virtual TextPos anchor() const = 0;
    virtual bool hasSelection() const = 0;
    virtual void setSelection(TextPos anchor, TextPos caret) = 0;
    virtual void goToLine(qint64 line) = 0;

protected:
    ~VisibleRows() = default;
};

}  // namespace nimbrel::gui
