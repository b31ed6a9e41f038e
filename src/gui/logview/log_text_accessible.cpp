#include "gui/logview/log_text_accessible.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

#include "gui/logview/visible_rows.h"

namespace nimbrel::gui {

LogTextAccessible::LogTextAccessible(QAbstractScrollArea* widget, VisibleRows& rows)
    : QAccessibleWidget(widget, QAccessible::EditableText), rows_(rows) {}

QAbstractScrollArea* LogTextAccessible::area() const {
    return static_cast<QAbstractScrollArea*>(widget());
}

QAccessible::State LogTextAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.editable = true;
    s.selectableText = true;
    return s;
}

QString LogTextAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return visibleText();
    if (t == QAccessible::Name && area()->accessibleName().isEmpty()) return QObject::tr("Log");
    return QAccessibleWidget::text(t);
}

void* LogTextAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString LogTextAccessible::visibleText() const {
    const VisibleRows& v = rows_;
    const qint64 first = v.firstVisibleLine();
    const qint64 last = std::min<qint64>(v.store().lineCount(), first + v.visibleLineCount()) - 1;
    return v.store().text({first, 0}, {last, v.store().lineLength(last)});
}

int LogTextAccessible::offsetOf(TextPos p) const {
    const VisibleRows& v = rows_;
    const qint64 first = v.firstVisibleLine();
    const qint64 last = std::min<qint64>(v.store().lineCount(), first + v.visibleLineCount()) - 1;
    if (p.line < first) return 0;
    if (p.line > last) return characterCount();
    int offset = 0;
    for (qint64 l = first; l < p.line; ++l) offset += v.store().lineLength(l) + 1;
    return offset + p.column;
}

TextPos LogTextAccessible::posOf(int offset) const {
    const VisibleRows& v = rows_;
    const qint64 first = v.firstVisibleLine();
    const qint64 last = std::min<qint64>(v.store().lineCount(), first + v.visibleLineCount()) - 1;
    for (qint64 l = first; l <= last; ++l) {
        const int len = v.store().lineLength(l);
        if (offset <= len || l == last) return {l, std::clamp(offset, 0, len)};
        offset -= len + 1;
    }
    return {first, 0};
}

void LogTextAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !rows_.hasSelection()) return;
    *startOffset = offsetOf(std::min(rows_.anchor(), rows_.caret()));
    *endOffset = offsetOf(std::max(rows_.anchor(), rows_.caret()));
}

int LogTextAccessible::selectionCount() const { return rows_.hasSelection() ? 1 : 0; }

void LogTextAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void LogTextAccessible::removeSelection(int) { rows_.setSelection(rows_.caret(), rows_.caret()); }

void LogTextAccessible::setSelection(int, int startOffset, int endOffset) {
    rows_.setSelection(posOf(startOffset), posOf(endOffset));
}

int LogTextAccessible::cursorPosition() const { return offsetOf(rows_.caret()); }

void LogTextAccessible::setCursorPosition(int position) {
    const TextPos p = posOf(position);
    rows_.setSelection(p, p);
}

QString LogTextAccessible::text(int startOffset, int endOffset) const {
    return visibleText().mid(startOffset, endOffset - startOffset);
}

int LogTextAccessible::characterCount() const { return static_cast<int>(visibleText().size()); }

QRect LogTextAccessible::characterRect(int offset) const {
    const VisibleRows& v = rows_;
    const TextPos p = posOf(offset);
    const QString line = v.store().lineText(p.line);
    const QFontMetrics fm(area()->font());
    const int x =
        static_cast<int>(v.xOfColumn(line, p.column)) - area()->horizontalScrollBar()->value();
    const int w = p.column < line.size() ? fm.horizontalAdvance(line[p.column])
                                         : fm.horizontalAdvance(QLatin1Char(' '));
    const QRect local(x,
                      static_cast<int>((v.rowOfLine(p.line) - v.firstVisibleRow()) * v.rowHeight()),
                      w, v.rowHeight());
    return QRect(area()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int LogTextAccessible::offsetAtPoint(const QPoint& point) const {
    return offsetOf(rows_.posAt(area()->viewport()->mapFromGlobal(point)));
}

void LogTextAccessible::scrollToSubstring(int startIndex, int endIndex) {
    rows_.setSelection(posOf(startIndex), posOf(endIndex));
}

QString LogTextAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}

}  // namespace nimbrel::gui
