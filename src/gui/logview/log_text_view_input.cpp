// Keyboard, mouse, focus and drag-and-drop handling of the log view.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>

#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {

void LogTextView::keyPressEvent(QKeyEvent* e) {
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;

    // Edit commands; the main window's menu shortcuts reach the same slots first.
    if (e == QKeySequence::Copy || (ctrl && e->key() == Qt::Key_Insert)) return copy();
    if (e == QKeySequence::Cut || (shift && e->key() == Qt::Key_Delete)) return cut();
    if (e == QKeySequence::Paste || (shift && e->key() == Qt::Key_Insert)) return paste();
    if (e == QKeySequence::SelectAll) return selectAll();
    if (e == QKeySequence::Undo ||
        (e->modifiers() == Qt::AltModifier && e->key() == Qt::Key_Backspace))
        return undo();
    if (e == QKeySequence::Redo) return redo();
    if (e == QKeySequence::Find) return showFindDialog();
    if (e == QKeySequence::FindNext || e->key() == Qt::Key_F3) return findNext();
    if (ctrl && e->key() == Qt::Key_H) return showReplaceDialog();

    const int page = visibleLineCount();
    // Up and down go by rows: with a filter on, from shown line to shown line.
    auto vertical = [&](qint64 rows) {
        const QString from = m_store.lineText(m_caret.line);
        if (m_preferredX < 0) m_preferredX = static_cast<int>(xOfColumn(from, m_caret.column));
        const qint64 target =
            lineOfRow(std::clamp<qint64>(rowOfLine(m_caret.line) + rows, 0, rowCount() - 1));
        const int keepX = m_preferredX;
        moveCaret({target, columnAtX(m_store.lineText(target), keepX)}, shift);
        m_preferredX = keepX;
    };

    switch (e->key()) {
    case Qt::Key_Left:
        if (!shift && hasSelection()) return moveCaret(std::min(m_anchor, m_caret), false);
        if (ctrl) return moveCaret(wordStart(m_caret), shift);
        if (m_caret.column > 0) {
            const QString line = m_store.lineText(m_caret.line);
            int c = m_caret.column - 1;
            if (c > 0 && line[c].isLowSurrogate() && line[c - 1].isHighSurrogate()) --c;
            return moveCaret({m_caret.line, c}, shift);
        }
        if (const qint64 before = shownLineBefore(m_caret.line); before >= 0)
            return moveCaret({before, m_store.lineLength(before)}, shift);
        return moveCaret(m_caret, shift);
    case Qt::Key_Right:
        if (!shift && hasSelection()) return moveCaret(std::max(m_anchor, m_caret), false);
        if (ctrl) return moveCaret(wordEnd(m_caret), shift);
        if (m_caret.column < m_store.lineLength(m_caret.line)) {
            const QString line = m_store.lineText(m_caret.line);
            int c = m_caret.column + 1;
            if (c < line.size() && line[c].isLowSurrogate() && line[c - 1].isHighSurrogate()) ++c;
            return moveCaret({m_caret.line, c}, shift);
        }
        if (const qint64 after = shownLineAfter(m_caret.line); after >= 0)
            return moveCaret({after, 0}, shift);
        return moveCaret(m_caret, shift);
    case Qt::Key_Up:
        if (ctrl) {
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
            return;
        }
        return vertical(-1);
    case Qt::Key_Down:
        if (ctrl) {
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return;
        }
        return vertical(1);
    case Qt::Key_PageUp:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - page);
        return vertical(-page);
    case Qt::Key_PageDown:
        verticalScrollBar()->setValue(verticalScrollBar()->value() + page);
        return vertical(page);
    case Qt::Key_Home: return moveCaret(ctrl ? TextPos{} : TextPos{m_caret.line, 0}, shift);
    case Qt::Key_End:
        return moveCaret(
            ctrl ? m_store.endPos() : TextPos{m_caret.line, m_store.lineLength(m_caret.line)},
            shift);
    case Qt::Key_Backspace:
        if (!hasSelection()) {
            if (m_caret == TextPos{}) return;
            const QString line = m_store.lineText(m_caret.line);
            TextPos from = m_caret.column > 0
                               ? TextPos{m_caret.line, m_caret.column - 1}
                               : TextPos{m_caret.line - 1, m_store.lineLength(m_caret.line - 1)};
            if (m_caret.column > 1 && line[m_caret.column - 1].isLowSurrogate() &&
                line[m_caret.column - 2].isHighSurrogate()) {
                from.column -= 1;
            }
            m_anchor = from;
        }
        return replaceSelection({}, false);
    case Qt::Key_Delete:
        if (!hasSelection()) {
            if (m_caret == m_store.endPos()) return;
            m_anchor = m_caret.column < m_store.lineLength(m_caret.line)
                           ? TextPos{m_caret.line, m_caret.column + 1}
                           : TextPos{m_caret.line + 1, 0};
        }
        return replaceSelection({}, false);
    case Qt::Key_Return:
    case Qt::Key_Enter: return replaceSelection(u"\n", false);
    case Qt::Key_Tab:
        if (!ctrl) return replaceSelection(u"\t", true);
        break;
    default: break;
    }

    const QString text = e->text();
    if (!text.isEmpty() && !ctrl && (text[0].isPrint() || text[0].isSurrogate())) {
        return replaceSelection(text, true);
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void LogTextView::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty()) replaceSelection(e->commitString(), true);
    e->accept();
}

bool LogTextView::focusNextPrevChild(bool) {
    // Tab is a character of the text, not a move to the next widget.
    return false;
}

void LogTextView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
    const TextPos p = posAt(e->position().toPoint());
    const bool triple = m_lastDoubleClick.isValid() &&
                        m_lastDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
                        (e->position().toPoint() - m_doubleClickPos).manhattanLength() <
                            QApplication::startDragDistance();
    m_dragging = true;
    m_lastMousePos = e->position().toPoint();
    if (triple) {
        m_lastDoubleClick.invalidate();
        m_selectUnit = SelectUnit::Line;
        return selectLineAt(p);
    }
    m_selectUnit = SelectUnit::Character;
    moveCaret(p, e->modifiers() & Qt::ShiftModifier);
}

void LogTextView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(e);
    m_lastDoubleClick.start();
    m_doubleClickPos = e->position().toPoint();
    m_dragging = true;
    m_selectUnit = SelectUnit::Word;
    selectWordAt(posAt(e->position().toPoint()));
}

void LogTextView::mouseMoveEvent(QMouseEvent* e) {
    if (!m_dragging || !(e->buttons() & Qt::LeftButton)) return;
    m_lastMousePos = e->position().toPoint();
    const QRect r = viewport()->rect();
    if (!r.contains(m_lastMousePos)) {
        // Outside the view the selection grows with the auto-scroll timer.
        if (!m_autoScroll.isActive()) m_autoScroll.start();
    } else {
        m_autoScroll.stop();
    }
    TextPos p = posAt(m_lastMousePos);
    if (m_selectUnit == SelectUnit::Character) return moveCaret(p, true);
    // Word and line selections grow by whole units from the unit first selected.
    TextPos from = m_unitAnchorStart, to = m_unitAnchorEnd;
    if (p < m_unitAnchorStart) {
        from = m_unitAnchorEnd;
        if (m_selectUnit == SelectUnit::Line) {
            to = {p.line, 0};
        } else {
            const QString line = m_store.lineText(p.line);
            int c = p.column;
            while (c > 0 && line[c - 1].isLetterOrNumber()) --c;
            to = {p.line, c};
        }
    } else if (p > m_unitAnchorEnd) {
        if (m_selectUnit == SelectUnit::Line) {
            to = p.line + 1 < m_store.lineCount() ? TextPos{p.line + 1, 0}
                                                  : TextPos{p.line, m_store.lineLength(p.line)};
        } else {
            const QString line = m_store.lineText(p.line);
            int c = p.column;
            while (c < line.size() && line[c].isLetterOrNumber()) ++c;
            to = {p.line, c};
        }
    }
    setSelection(from, to);
}

void LogTextView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        m_dragging = false;
        m_autoScroll.stop();
    }
    QAbstractScrollArea::mouseReleaseEvent(e);
}

void LogTextView::contextMenuEvent(QContextMenuEvent* e) {
    // The owner builds and shows the menu; a keyboard request carries the caret's place.
    QPoint global = e->globalPos();
    if (e->reason() == QContextMenuEvent::Keyboard) {
        global = viewport()->mapToGlobal(caretRect().bottomLeft());
        if (!viewport()->rect().contains(caretRect().bottomLeft())) global = e->globalPos();
    }
    emit contextMenuRequested(global);
    e->accept();
}

void LogTextView::focusInEvent(QFocusEvent* e) {
    setCaretVisible(true);
    m_blink.start();
    QAbstractScrollArea::focusInEvent(e);
}

void LogTextView::focusOutEvent(QFocusEvent* e) {
    m_blink.stop();
    setCaretVisible(false);
    QAbstractScrollArea::focusOutEvent(e);
}

void LogTextView::setCaretVisible(bool on) {
    if (m_caretShown == on) return;
    m_caretShown = on;
    viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
}

// Dropped files and dragged text are refused.
void LogTextView::dragEnterEvent(QDragEnterEvent* e) { e->ignore(); }
void LogTextView::dragMoveEvent(QDragMoveEvent* e) { e->ignore(); }
void LogTextView::dropEvent(QDropEvent* e) {
    e->setDropAction(Qt::IgnoreAction);
    e->ignore();
}

bool LogTextView::viewportEvent(QEvent* e) {
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: e->ignore(); return true;
    default: return QAbstractScrollArea::viewportEvent(e);
    }
}

}  // namespace nimbrel::gui
