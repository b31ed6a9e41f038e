// The log view's text widget: a scroll area that paints only the visible rows of a line
// store that holds millions of coloured lines. Lines arrive at the end while the user
// scrolls, selects, searches and edits anywhere; while the view shows the end it follows
// the new lines, otherwise it keeps the user's place.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QTimer>
#include <memory>

#include "gui/logview/line_filter.h"
#include "gui/logview/line_highlighter.h"
#include "gui/logview/line_marks.h"
#include "gui/logview/line_store.h"

class QAccessibleInterface;
class QPrinter;

namespace nimbrel::gui {

class ColourLineSummary;
class FindDialog;
class LogEditHistory;
class MarkMargin;
class OverviewStrip;
class ShownLines;
class FindInLines;
class TextWorker;

class LogTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogTextView(QWidget* parent = nullptr, LineStore::Options storeOptions = {});
    ~LogTextView() override;

    // GUI thread only.
    void appendText(QStringView text, QColor colour);  // at the end; text may hold '\n'
    void replaceAll(QStringView text, QColor colour);
    void clear();
    // False while the store should take no more appended text (its scratch file's writer
    // is behind, or neither disk nor memory has room): the queue then holds lines back.
    bool canTakeText();

    // Shows a UTF-16LE text log in place of the text: its lines are indexed on worker
    // threads and read from the file when shown (see LineStore::openInPlace). The view
    // fills as the indexing goes on; openFinished() follows its end.
    void openInPlace(std::shared_ptr<const FileHandle> fd, std::uint64_t size,
                     std::vector<std::u16string> filter);
    bool opening() const { return m_store.opening(); }
    int openPercent() const { return m_store.openedPercent(); }
    void stopOpening() { m_store.stopOpening(); }
    // Appends between these two update the scroll bars and the screen once.
    void beginAppendBatch() { ++m_batchDepth; }
    void endAppendBatch();
    bool hasText() const;
    // Lines of the text; a line break at the very end starts no line of its own.
    qint64 lineCount() const;
    QString plainText() const;  // whole text, lines joined with '\n'

    // Colour runs of one line, for saving a coloured log and for tests.
    struct Run {
        int start;
        int length;
        QColor colour;
    };
    QString lineText(qint64 line) const;
    QList<Run> lineRuns(qint64 line) const;

    // Edit commands and their states.
    bool hasSelection() const;
    bool canPaste() const;
    bool canUndo() const;
    bool canRedo() const;
    QString selectedText() const;

    // Caret and selection (line, column in UTF-16 units); the anchor is the fixed end.
    TextPos caret() const { return m_caret; }
    TextPos anchor() const { return m_anchor; }
    void setSelection(TextPos anchor, TextPos caret);
    // True while the view shows the last line and follows new lines.
    bool followsEnd() const { return m_followEnd; }
    // The line in the top row.
    qint64 firstVisibleLine() const;
    int visibleLineCount() const;

    // Tag filters: the rows of the view are the lines the filter shows (all of them while
    // it is off). Hidden lines keep their text; Save writes them, the row calls skip them.
    const LineFilter& lineFilter() const;
    void setLineFilter(const LineFilter& filter);
    // The lines the search matched, for the filter's "only lines matching the search".
    void setSearchFilter(const LineSet* set);
    bool filterActive() const;
    ShownLines& shownLines() const { return *m_shown; }
    qint64 rowCount() const;
    qint64 firstVisibleRow() const;
    qint64 rowOfLine(qint64 line) const;
    qint64 lineOfRow(qint64 row) const;
    const LineStore& store() const { return m_store; }
    static QColor defaultTextColour() { return QColor(128, 128, 128); }

    // Changes with every clear, replacement of the whole text and edit, not with appends:
    // line numbers taken before it changed may no longer hold.
    quint64 editGeneration() const { return m_generation; }

    // Parts of lines drawn on a coloured background at paint time; null for none. The
    // highlighter outlives the view or is set back to null first.
    void setHighlighter(const LineHighlighter* highlighter) {
        m_highlighter = highlighter;
        viewport()->update();
    }
    // The marked lines; they follow edits and go with the text.
    LineMarks& marks() { return m_marks; }
    const LineMarks& marks() const { return m_marks; }
    // The red lines, summarised for the overview strip as the store fills.
    LineSet* redLines() const;
    OverviewStrip* overviewStrip() const { return m_overview; }
    MarkMargin* markMargin() const { return m_markMargin; }
    int rowHeight() const { return m_lineHeight; }
    // Puts the caret at the start of `line` (clamped) and shows the line in the middle of
    // the view unless it is on screen already.
    void goToLine(qint64 line);

    // The last find's text and options (Find Next repeats them).
    QString findText() const { return m_findText; }

public slots:
    void copy();
    void cut();
    void paste();
    void selectAll();
    void undo();
    void redo();
    void deleteSelection();
    void showFindDialog();
    void findNext();
    void showReplaceDialog();
    // Selects the next match from the caret; wraps around at the end of the text. True
    // when a match is selected at once; a long search goes on on the worker. Either way
    // findFinished() tells the outcome.
    bool find(const QString& text, bool matchCase, bool wholeWord, bool forward);
    // Replaces the selection when it matches, then finds the next match (as find()).
    bool replaceNext(const QString& text, const QString& with, bool matchCase, bool wholeWord);
    // Replaces every match; returns how many, or -1 while the search for them goes on on
    // the worker. Either way replaceAllFinished() tells the count.
    int replaceAll(const QString& text, const QString& with, bool matchCase, bool wholeWord);
    void print(QPrinter* printer) const;  // readable colours on white, half-inch margins
    void printPreview();

signals:
    void contextMenuRequested(const QPoint& globalPos);
    void selectionChanged();
    void undoAvailable(bool);
    void redoAvailable(bool);
    void textChanged();   // after a batch of appends or an edit
    void textAppended();  // text arrived at the end, or replaced the whole text
    void userEdited();    // the user changed the text (typing, paste, cut, delete, replace,
                          // undo/redo): the document's modified flag
    // The lines shown by the filter changed (filter set, lines classified or revealed).
    void shownLinesChanged();
    // A find selected a match on a line the filter hides: it is shown until the filter
    // changes or another line is revealed.
    void hiddenLineRevealed(qint64 line);
    // The file opened in place is indexed (or the indexing was stopped).
    void openFinished(const TextLogIndexer::Outcome& outcome);
    // A find, a replace-all or a copy has ended (a long one on the worker).
    void findFinished(bool found);
    void replaceAllFinished(int count);
    void copyFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The rows as the side parts (mark margin, overview strip, accessibility) see them.
    class Rows;
    // What assistive technology sees of a LogTextView (registered with the first view).
    static QAccessibleInterface* accessibleFor(const QString& className, QObject* object);

    // Geometry.
    int lineHeight() const { return m_lineHeight; }
    // x of a column within a line (tabs stop every 8 columns), from the line's start.
    qreal xOfColumn(const QString& line, int column) const;
    int columnAtX(const QString& line, qreal x) const;
    qreal advance(const QString& line, int& i, qreal x) const;
    TextPos posAt(const QPoint& viewportPoint) const;
    QRect caretRect() const;
    void updateScrollBars();
    void ensureCaretVisible();
    void scrollToEnd();

    // Editing.
    void moveCaret(TextPos to, bool extend);
    void replaceSelection(QStringView text, bool typing);
    void afterEdit();
    void afterAppend();
    void pollOpened();
    // Says in the text what the store met (its scratch file failed, it is full, the file
    // opened in place became shorter), each once.
    void reportNotices();
    void notifyAccessibleText();
    TextPos wordStart(TextPos p) const;
    TextPos wordEnd(TextPos p) const;
    void selectWordAt(TextPos p);
    void selectLineAt(TextPos p);
    void setCaretVisible(bool on);
    void emitSelectionChangedIfNeeded(TextPos oldAnchor, TextPos oldCaret);
    void emitUndoRedoState();

    // Before the store: the store tells the marks of its last changes while it goes.
    LineMarks m_marks;
    LineStore m_store;
    std::unique_ptr<LogEditHistory> m_history;
    std::unique_ptr<Rows> m_rows;
    ColourLineSummary* m_redLines = nullptr;
    ShownLines* m_shown = nullptr;
    void afterShownChanged();
    // Shows `line` when the filter hides it (a find landed on it, a jump to it).
    void revealLine(qint64 line);
    // The shown line before / after `line` (-1 when there is none).
    qint64 shownLineBefore(qint64 line) const;
    qint64 shownLineAfter(qint64 line) const;
    MarkMargin* m_markMargin = nullptr;
    OverviewStrip* m_overview = nullptr;
    void placeSideBars();
    TextPos m_caret;
    TextPos m_anchor;
    int m_preferredX = -1;  // kept while moving up and down
    bool m_followEnd = true;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
    // Counts clears, replacements and user edits: the result of a long find, copy or
    // replace-all search is dropped when the text it worked on changed meanwhile.
    quint64 m_generation = 0;
    std::unique_ptr<TextWorker> m_textWork;
    void showFound(qint64 line, int at, int length);
    int replaceHitLines(const FindInLines& search, const QString& with,
                        const std::vector<std::int64_t>& hitLines);
    QTimer m_openPoll;  // takes the lines of a file opened in place as they are indexed

    QFont m_font;
    int m_lineHeight = 12;
    int m_ascent = 10;
    qreal m_charWidth = 7;
    qreal m_tabWidth = 56;
    int m_contentWidth = 0;  // widest line painted so far, for the horizontal range

    // Mouse.
    enum class SelectUnit { Character, Word, Line };
    SelectUnit m_selectUnit = SelectUnit::Character;
    TextPos m_unitAnchorStart;
    TextPos m_unitAnchorEnd;
    bool m_dragging = false;
    QTimer m_autoScroll;
    QPoint m_lastMousePos;
    QElapsedTimer m_lastDoubleClick;
    QPoint m_doubleClickPos;

    // Caret blinking.
    QTimer m_blink;
    bool m_caretShown = false;

    // Find and replace.
    QString m_findText;
    bool m_findCase = false;
    bool m_findWord = false;
    bool m_findForward = true;
    QPointer<FindDialog> m_findDialog;

    const LineHighlighter* m_highlighter = nullptr;
};

}  // namespace nimbrel::gui
