#include "gui/logview/log_text_accessible.h"

#include <QScrollBar>

#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {

namespace {

QAccessibleInterface* factory(const QString& className, QObject* object) {
    if (className == QLatin1String("nimbrel::gui::LogTextView") && object &&
        object->isWidgetType()) {
        return new LogTextAccessible(static_cast<LogTextView*>(object));
    }
    return nullptr;
}

}  // namespace

LogTextAccessible::LogTextAccessible(LogTextView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

void LogTextAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

LogTextView* LogTextAccessible::view() const { return static_cast<LogTextView*>(widget()); }

QAccessible::State LogTextAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.editable = true;
    s.selectableText = true;
    return s;
}

QString LogTextAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return visibleText();
    if (t == QAccessible::Name && view()->accessibleName().isEmpty()) return QObject::tr("Log");
    return QAccessibleWidget::text(t);
}

void* LogTextAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString LogTextAccessible::visibleText() const {
    const LogTextView* v = view();
    const qint64 first = v->firstVisibleLine();
    const qint64 last = std::min<qint64>(v->store().lineCount(), first + v->visibleLineCount()) - 1;
    return v->store().text({first, 0}, {last, v->store().lineLength(last)});
}

int LogTextAccessible::offsetOf(TextPos p) const {
    const LogTextView* v = view();
    const qint64 first = v->firstVisibleLine();
    const qint64 last = std::min<qint64>(v->store().lineCount(), first + v->visibleLineCount()) - 1;
    if (p.line < first) return 0;
    if (p.line > last) return characterCount();
    int offset = 0;
    for (qint64 l = first; l < p.line; ++l) offset += v->store().lineLength(l) + 1;
    return offset + p.column;
}

TextPos LogTextAccessible::posOf(int offset) const {
    const LogTextView* v = view();
    const qint64 first = v->firstVisibleLine();
    const qint64 last = std::min<qint64>(v->store().lineCount(), first + v->visibleLineCount()) - 1;
    for (qint64 l = first; l <= last; ++l) {
        const int len = v->store().lineLength(l);
        if (offset <= len || l == last) return {l, std::clamp(offset, 0, len)};
        offset -= len + 1;
    }
    return {first, 0};
}

void LogTextAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection()) return;
    *startOffset = offsetOf(std::min(view()->anchor(), view()->caret()));
    *endOffset = offsetOf(std::max(view()->anchor(), view()->caret()));
}

int LogTextAccessible::selectionCount() const { return view()->hasSelection() ? 1 : 0; }

void LogTextAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void LogTextAccessible::removeSelection(int) {
    view()->setSelection(view()->caret(), view()->caret());
}

void LogTextAccessible::setSelection(int, int startOffset, int endOffset) {
    view()->setSelection(posOf(startOffset), posOf(endOffset));
}

int LogTextAccessible::cursorPosition() const { return offsetOf(view()->caret()); }

void LogTextAccessible::setCursorPosition(int position) {
    const TextPos p = posOf(position);
    view()->setSelection(p, p);
}

QString LogTextAccessible::text(int startOffset, int endOffset) const {
    return visibleText().mid(startOffset, endOffset - startOffset);
}

int LogTextAccessible::characterCount() const { return static_cast<int>(visibleText().size()); }

QRect LogTextAccessible::characterRect(int offset) const {
    const LogTextView* v = view();
    const TextPos p = posOf(offset);
    const QString line = v->store().lineText(p.line);
    const QFontMetrics fm(v->font());
    const int x =
        static_cast<int>(v->xOfColumn(line, p.column)) - v->horizontalScrollBar()->value();
    const int w = p.column < line.size() ? fm.horizontalAdvance(line[p.column])
                                         : fm.horizontalAdvance(QLatin1Char(' '));
    const QRect local(
        x, static_cast<int>((v->rowOfLine(p.line) - v->firstVisibleRow()) * v->lineHeight()), w,
        v->lineHeight());
    return QRect(v->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int LogTextAccessible::offsetAtPoint(const QPoint& point) const {
    return offsetOf(view()->posAt(view()->viewport()->mapFromGlobal(point)));
}

void LogTextAccessible::scrollToSubstring(int startIndex, int endIndex) {
    view()->setSelection(posOf(startIndex), posOf(endIndex));
}

QString LogTextAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}

}  // namespace nimbrel::gui
