// What assistive technology sees of the log view: a multi-line text whose content is the
// rows on screen (the whole log can be millions of lines), with the caret and the
// selection as offsets into it.
#pragma once

#include <QAccessibleWidget>

#include "gui/logview/line_store.h"

namespace nimbrel::gui {

class LogTextView;

class LogTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LogTextAccessible(LogTextView* view);

    // Registers the factory that gives every LogTextView this interface.
    static void install();

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
    LogTextView* view() const;
    QString visibleText() const;
    // Offsets count the visible rows' characters, one for each line break.
    int offsetOf(TextPos p) const;  // clamped to the visible rows
    TextPos posOf(int offset) const;
};

}  // namespace nimbrel::gui
