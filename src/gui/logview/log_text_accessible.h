// What assistive technology sees of the log view: a multi-line text whose content is the
// rows on screen (the whole log can be millions of lines), with the caret and the
// selection as offsets into it.
#pragma once

#include <QAccessibleWidget>

#include "gui/logview/line_store.h"

class QAbstractScrollArea;

namespace nimbrel::gui {

class VisibleRows;

class LogTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    // `rows` are the rows of `widget`, and live as long as it does.
    LogTextAccessible(QAbstractScrollArea* widget, VisibleRows& rows);

    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QAbstractScrollArea* area() const;
    QString visibleText() const;
    // Offsets count the visible rows' characters, one for each line break.
    int offsetOf(TextPos p) const;  // clamped to the visible rows
    TextPos posOf(int offset) const;

    VisibleRows& rows_;
};

}  // namespace nimbrel::gui
