#include "gui/logview/log_text_view.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cstring>

#include "gui/logview/colour_line_summary.h"
#include "gui/logview/log_edit_history.h"
#include "gui/logview/log_text_accessible.h"
#include "gui/logview/log_text_colour.h"
#include "gui/logview/mark_margin.h"
#include "gui/logview/overview_strip.h"
#include "gui/logview/shown_lines.h"
#include "gui/logview/text_worker.h"
#include "gui/logview/view_font.h"
#include "gui/logview/visible_rows.h"

namespace nimbrel::gui {

namespace {

constexpr int kTabColumns = 8;
const QColor kBackground(0, 0, 0);

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

class LogTextView::Rows final : public VisibleRows {
public:
    explicit Rows(LogTextView& view) : v_(view) {}

    qint64 rowCount() const override { return v_.rowCount(); }
    qint64 firstVisibleRow() const override { return v_.firstVisibleRow(); }
    int visibleLineCount() const override { return v_.visibleLineCount(); }
    int rowHeight() const override { return v_.rowHeight(); }
    qint64 lineOfRow(qint64 row) const override { return v_.lineOfRow(row); }
    qint64 rowOfLine(qint64 line) const override { return v_.rowOfLine(line); }
    qint64 firstVisibleLine() const override { return v_.firstVisibleLine(); }
    qint64 lineCount() const override { return v_.lineCount(); }
    const LineStore& store() const override { return v_.store(); }
    const ShownLines& shownLines() const override { return v_.shownLines(); }
    LineMarks& marks() override { return v_.marks(); }
    qreal xOfColumn(const QString& line, int column) const override {
        return v_.xOfColumn(line, column);
    }
    TextPos posAt(const QPoint& viewportPoint) const override { return v_.posAt(viewportPoint); }
    TextPos caret() const override { return v_.caret(); }
    TextPos anchor() const override { return v_.anchor(); }
    bool hasSelection() const override { return v_.hasSelection(); }
    void setSelection(TextPos anchor, TextPos caret) override { v_.setSelection(anchor, caret); }
    void goToLine(qint64 line) override { v_.goToLine(line); }

private:
    LogTextView& v_;
};

QAccessibleInterface* LogTextView::accessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("nimbrel::gui::LogTextView") && object &&
        object->isWidgetType()) {
        auto* view = static_cast<LogTextView*>(object);
        return new LogTextAccessible(view, *view->m_rows);
    }
    return nullptr;
}

LogTextView::LogTextView(QWidget* parent, LineStore::Options storeOptions)
    : QAbstractScrollArea(parent),
      m_store(std::move(storeOptions)),
      m_history(std::make_unique<LogEditHistory>()),
      m_rows(std::make_unique<Rows>(*this)) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    (void)accessibleInstalled;
    m_textWork = std::make_unique<TextWorker>();
    m_font = viewFont();
    setFont(m_font);
    viewport()->setFont(m_font);
    const QFontMetrics fm(m_font);
    m_lineHeight = std::max(1, fm.height());
    m_ascent = fm.ascent();
    m_charWidth = std::max<qreal>(1, QFontMetricsF(m_font).horizontalAdvance(QLatin1Char('0')));
    m_tabWidth = kTabColumns * m_charWidth;

    QPalette pal = palette();
    pal.setColor(QPalette::Base, kBackground);
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::Text, defaultTextColour());
    setPalette(pal);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_InputMethodEnabled);

    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    verticalScrollBar()->setSingleStep(1);

    // Scrolling by the user decides whether the view keeps following the end.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        QTimer::singleShot(0, this, [this] {
            m_followEnd =
                !hasSelection() && verticalScrollBar()->value() >= verticalScrollBar()->maximum();
        });
    });

    m_autoScroll.setInterval(50);
    connect(&m_autoScroll, &QTimer::timeout, this, [this] {
        const QRect r = viewport()->rect();
        int dy = 0;
        if (m_lastMousePos.y() < r.top())
            dy = -std::max(1, (r.top() - m_lastMousePos.y()) / m_lineHeight + 1);
        if (m_lastMousePos.y() > r.bottom())
            dy = std::max(1, (m_lastMousePos.y() - r.bottom()) / m_lineHeight + 1);
        int dx = 0;
        if (m_lastMousePos.x() < r.left()) dx = -qRound(m_charWidth * 4);
        if (m_lastMousePos.x() > r.right()) dx = qRound(m_charWidth * 4);
        if (dy == 0 && dx == 0) return;
        verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
        const QPoint clamped(std::clamp(m_lastMousePos.x(), r.left(), r.right()),
                             std::clamp(m_lastMousePos.y(), r.top(), r.bottom()));
        moveCaret(posAt(clamped), true);
    });

    // The marks and the red-line summary follow the text's edits and go with it.
    m_redLines = new ColourLineSummary(m_store, 0xFF0000, this);
    m_shown = new ShownLines(m_store, this);
    m_store.setEditListener({[this](TextPos from, TextPos to, TextPos end) {
                                 m_marks.replaced(from, to, end);
                                 m_redLines->invalidateFrom(from.line);
                                 m_shown->replaced(from, to, end);
                             },
                             [this] {
                                 m_marks.clear();
                                 m_redLines->reset();
                                 m_shown->cleared();
                             },
                             [this](std::int64_t first, std::int64_t count) {
                                 m_redLines->invalidateFrom(first);
                                 m_shown->rewritten(first, count);
                             }});
    connect(m_shown, &ShownLines::changed, this, &LogTextView::afterShownChanged);
    m_markMargin = new MarkMargin(this, *m_rows);
    m_overview = new OverviewStrip(this, *m_rows);
    m_overview->setRedLines(m_redLines);
    m_overview->setMarks(&m_marks);
    setViewportMargins(MarkMargin::kWidth, 0, OverviewStrip::kWidth, 0);
    connect(&m_marks, &LineSet::changed, this, [this] {
        m_markMargin->update();
        viewport()->update();
    });

    m_openPoll.setInterval(30);
    connect(&m_openPoll, &QTimer::timeout, this, &LogTextView::pollOpened);

    const int flash = QApplication::cursorFlashTime();
    m_blink.setInterval(flash > 0 ? flash / 2 : 500);
    connect(&m_blink, &QTimer::timeout, this, [this] { setCaretVisible(!m_caretShown); });

    updateScrollBars();
}

LogTextView::~LogTextView() = default;

// ---- Text -------------------------------------------------------------------------------

void LogTextView::appendText(QStringView text, QColor colour) {
    if (text.isEmpty()) return;
    m_store.append(text, colourValue(colour));
    if (m_batchDepth > 0) {
        m_batchDirty = true;
        return;
    }
    afterAppend();
}

void LogTextView::endAppendBatch() {
    if (--m_batchDepth > 0 || !m_batchDirty) return;
    m_batchDirty = false;
    afterAppend();
}

void LogTextView::replaceAll(QStringView text, QColor colour) {
    ++m_generation;
    const bool wasOpening = m_store.opening();
    m_openPoll.stop();
    m_store.clear();
    m_store.append(text, colourValue(colour));
    m_history->clear();
    const TextPos oldAnchor = m_anchor, oldCaret = m_caret;
    m_caret = m_anchor = m_store.endPos();
    m_followEnd = true;
    emitSelectionChangedIfNeeded(oldAnchor, oldCaret);
    emitUndoRedoState();
    afterAppend();
    if (wasOpening) emit openFinished(TextLogIndexer::Outcome{});
}

bool LogTextView::canTakeText() {
    if (!m_store.full()) return true;
    reportNotices();
    return false;
}

void LogTextView::openInPlace(std::shared_ptr<const FileHandle> fd, std::uint64_t size,
                              std::vector<std::u16string> filter) {
    clear();
    m_store.openInPlace(std::move(fd), size, std::move(filter), colourValue(defaultTextColour()));
    m_openPoll.start();
    pollOpened();
}

void LogTextView::pollOpened() {
    const bool wasOpening = m_store.opening();
    if (m_store.pollOpened() > 0) afterAppend();
    if (wasOpening && !m_store.opening()) {
        m_openPoll.stop();
        emit openFinished(m_store.openedOutcome());
    }
}

void LogTextView::reportNotices() {
    for (;;) {
        int error = 0;
        const LineStore::Notice notice = m_store.takeNotice(error);
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        switch (notice) {
        case LineStore::Notice::None: return;
        case LineStore::Notice::KeptInMemory:
            m_store.append(QStringLiteral("[Y] The view's text cannot go to disk (%1): new "
                                          "lines stay in memory.\n")
                               .arg(reason),
                           0xFFFF00);
            break;
        case LineStore::Notice::Full:
            m_store.append(QStringLiteral("[R] The view takes no more lines: no room on disk "
                                          "(%1) and its memory is used up. Clear or New frees "
                                          "it.\n")
                               .arg(reason),
                           0xFF0000);
            break;
        case LineStore::Notice::FileChanged:
            m_store.append(QStringLiteral("[R] The text log shown became shorter while it was "
                                          "open: the lines it no longer holds show empty.\n"),
                           0xFF0000);
            break;
        }
    }
}

void LogTextView::clear() {
    const bool had = hasText();
    // A file still being indexed is let go with the rest of the text.
    const bool wasOpening = m_store.opening();
    ++m_generation;
    m_openPoll.stop();
    m_store.clear();
    m_history->clear();
    const TextPos oldAnchor = m_anchor, oldCaret = m_caret;
    m_caret = m_anchor = TextPos{};
    m_followEnd = true;
    m_contentWidth = 0;
    horizontalScrollBar()->setValue(0);
    emitSelectionChangedIfNeeded(oldAnchor, oldCaret);
    emitUndoRedoState();
    updateScrollBars();
    viewport()->update();
    if (had) emit textChanged();
    if (wasOpening) emit openFinished(TextLogIndexer::Outcome{});
}

bool LogTextView::hasText() const { return !m_store.isEmpty(); }

qint64 LogTextView::lineCount() const {
    const qint64 n = m_store.lineCount();
    return m_store.lineLength(n - 1) == 0 ? n - 1 : n;
}

QString LogTextView::plainText() const { return m_store.text(TextPos{}, m_store.endPos()); }

QString LogTextView::lineText(qint64 line) const {
    if (line < 0 || line >= m_store.lineCount()) return {};
    return m_store.lineText(line);
}

QList<LogTextView::Run> LogTextView::lineRuns(qint64 line) const {
    QList<Run> out;
    if (line < 0 || line >= m_store.lineCount()) return out;
    for (const ColourRun& r : m_store.lineRuns(line))
        out.push_back({r.start, r.length, colourOf(r.colour)});
    return out;
}

void LogTextView::afterAppend() {
    reportNotices();
    m_shown->appended();
    // Appends never move the caret or the selection: they add text after them.
    updateScrollBars();
    if (m_followEnd) scrollToEnd();
    viewport()->update();
    m_overview->update();
    notifyAccessibleText();
    emit textAppended();
    emit textChanged();
}

void LogTextView::notifyAccessibleText() {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent changed(this, QAccessible::VisibleDataChanged);
    QAccessible::updateAccessibility(&changed);
}

// ---- Selection and states ---------------------------------------------------------------

bool LogTextView::hasSelection() const { return m_anchor != m_caret; }

bool LogTextView::canPaste() const {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasText();
}

bool LogTextView::canUndo() const { return m_history->canUndo(); }
bool LogTextView::canRedo() const { return m_history->canRedo(); }

QString LogTextView::selectedText() const {
    if (!hasSelection()) return {};
    return m_store.text(std::min(m_anchor, m_caret), std::max(m_anchor, m_caret));
}

void LogTextView::setSelection(TextPos anchor, TextPos caret) {
    const TextPos oldAnchor = m_anchor, oldCaret = m_caret;
    m_anchor = m_store.clamp(anchor);
    m_caret = m_store.clamp(caret);
    m_preferredX = -1;
    if (hasSelection()) m_followEnd = false;
    ensureCaretVisible();
    emitSelectionChangedIfNeeded(oldAnchor, oldCaret);
    viewport()->update();
}

void LogTextView::emitSelectionChangedIfNeeded(TextPos oldAnchor, TextPos oldCaret) {
    if (oldAnchor == m_anchor && oldCaret == m_caret) return;
    if (QAccessible::isActive()) {
        if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(this);
            iface && iface->textInterface()) {
            QAccessibleTextCursorEvent moved(this, iface->textInterface()->cursorPosition());
            QAccessible::updateAccessibility(&moved);
        }
    }
    const bool hadSelection = oldAnchor != oldCaret;
    if (hadSelection || hasSelection()) emit selectionChanged();
    if (!hasSelection() && hadSelection) {
        m_followEnd = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    }
}

void LogTextView::emitUndoRedoState() {
    emit undoAvailable(canUndo());
    emit redoAvailable(canRedo());
}

void LogTextView::moveCaret(TextPos to, bool extend) {
    const TextPos oldAnchor = m_anchor, oldCaret = m_caret;
    m_caret = m_store.clamp(to);
    if (!extend) m_anchor = m_caret;
    if (hasSelection()) m_followEnd = false;
    setCaretVisible(true);
    if (hasFocus()) m_blink.start();
    ensureCaretVisible();
    emitSelectionChangedIfNeeded(oldAnchor, oldCaret);
    viewport()->update();
}

// ---- Edit commands ------------------------------------------------------------------------

void LogTextView::cut() {
    if (!hasSelection()) return;
    copy();
    replaceSelection({}, false);
}

void LogTextView::paste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    // Only plain text is pasted; a picture or anything else leaves the view untouched.
    if (!mime || !mime->hasText()) return;
    replaceSelection(mime->text(), false);
}

void LogTextView::selectAll() { setSelection(TextPos{}, m_store.endPos()); }

void LogTextView::deleteSelection() {
    if (hasSelection()) replaceSelection({}, false);
}

void LogTextView::undo() {
    if (!canUndo()) return;
    const auto [from, to] = m_history->undo(m_store);
    setSelection(to, to);
    afterEdit();
}

void LogTextView::redo() {
    if (!canRedo()) return;
    const auto [from, to] = m_history->redo(m_store);
    setSelection(to, to);
    afterEdit();
}

void LogTextView::replaceSelection(QStringView text, bool typing) {
    const TextPos from = std::min(m_anchor, m_caret);
    const TextPos to = std::max(m_anchor, m_caret);
    if (from == to && text.isEmpty()) return;
    if (!typing) m_history->breakTyping();
    // Inserted text takes the colour of the character before it (the default colour at
    // the start of an empty line).
    Colour colour = colourValue(defaultTextColour());
    const std::vector<ColourRun> runs = m_store.lineRuns(from.line);
    for (const ColourRun& r : runs) {
        if (r.start < from.column || (from.column == 0 && r.start == 0)) colour = r.colour;
    }
    if (runs.empty() && from.line > 0) {
        const std::vector<ColourRun> before = m_store.lineRuns(from.line - 1);
        if (!before.empty()) colour = before.back().colour;
    }
    TextFragment f;
    f.text = text.toString();
    f.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    f.text.replace(u'\r', u'\n');
    if (!f.text.isEmpty()) f.runs.push_back({0, static_cast<int>(f.text.size()), colour});
    const TextPos end = m_history->apply(m_store, from, to, f, typing);
    const TextPos oldAnchor = m_anchor, oldCaret = m_caret;
    m_caret = m_anchor = end;
    m_preferredX = -1;
    emitSelectionChangedIfNeeded(oldAnchor, oldCaret);
    afterEdit();
}

void LogTextView::afterEdit() {
    ++m_generation;
    notifyAccessibleText();
    updateScrollBars();
    ensureCaretVisible();
    viewport()->update();
    m_markMargin->update();
    m_overview->update();
    emitUndoRedoState();
    emit textChanged();
    emit userEdited();
}

LineSet* LogTextView::redLines() const { return m_redLines; }

// ---- Filters ------------------------------------------------------------------------------

const LineFilter& LogTextView::lineFilter() const { return m_shown->filter(); }

void LogTextView::setLineFilter(const LineFilter& filter) {
    // The caret's line (or the top line) stays in view across the change.
    const qint64 keep = m_followEnd ? -1 : m_caret.line;
    m_shown->setFilter(filter);
    if (keep >= 0) {
        const qint64 row = rowOfLine(keep);
        verticalScrollBar()->setValue(static_cast<int>(
            std::clamp<qint64>(row - visibleLineCount() / 2, 0, verticalScrollBar()->maximum())));
    }
}

void LogTextView::setSearchFilter(const LineSet* set) { m_shown->setSearchSet(set); }

bool LogTextView::filterActive() const { return m_shown->active(); }

qint64 LogTextView::rowCount() const { return m_shown->rowCount(); }
qint64 LogTextView::rowOfLine(qint64 line) const { return m_shown->rowOfLine(line); }
qint64 LogTextView::lineOfRow(qint64 row) const { return m_shown->lineOfRow(row); }

qint64 LogTextView::shownLineBefore(qint64 line) const {
    // A hidden line's row is that of the next shown line: the row before is shown.
    const qint64 before = rowOfLine(line) - 1;
    return before >= 0 ? lineOfRow(before) : -1;
}

qint64 LogTextView::shownLineAfter(qint64 line) const {
    const qint64 row = m_shown->isShown(line) ? rowOfLine(line) + 1 : rowOfLine(line);
    return row < rowCount() ? lineOfRow(row) : -1;
}

void LogTextView::afterShownChanged() {
    updateScrollBars();
    if (m_followEnd) scrollToEnd();
    viewport()->update();
    m_markMargin->update();
    m_overview->update();
    emit shownLinesChanged();
}

void LogTextView::revealLine(qint64 line) {
    if (!m_shown->active() || m_shown->isShown(line)) return;
    m_shown->reveal(line);
    emit hiddenLineRevealed(line);
}

void LogTextView::goToLine(qint64 line) {
    line = std::clamp<qint64>(line, 0, m_store.lineCount() - 1);
    revealLine(line);
    const qint64 row = rowOfLine(line);
    const qint64 first = firstVisibleRow();
    const int page = visibleLineCount();
    if (row < first || row >= first + page) {
        verticalScrollBar()->setValue(static_cast<int>(
            std::clamp<qint64>(row - page / 2, 0, verticalScrollBar()->maximum())));
    }
    setSelection({line, 0}, {line, 0});
    m_followEnd = false;
    ensureCaretVisible();
}

// ---- Words and lines ----------------------------------------------------------------------

TextPos LogTextView::wordStart(TextPos p) const {
    const QString line = m_store.lineText(p.line);
    int c = std::min(p.column, static_cast<int>(line.size()));
    if (c == 0 && p.line > 0) return {p.line - 1, m_store.lineLength(p.line - 1)};
    while (c > 0 && line[c - 1].isSpace()) --c;
    if (c > 0 && isWordChar(line[c - 1])) {
        while (c > 0 && isWordChar(line[c - 1])) --c;
    } else if (c > 0) {
        --c;
    }
    return {p.line, c};
}

TextPos LogTextView::wordEnd(TextPos p) const {
    const QString line = m_store.lineText(p.line);
    const int n = static_cast<int>(line.size());
    int c = p.column;
    if (c >= n) return p.line + 1 < m_store.lineCount() ? TextPos{p.line + 1, 0} : p;
    if (isWordChar(line[c])) {
        while (c < n && isWordChar(line[c])) ++c;
    } else if (!line[c].isSpace()) {
        ++c;
    }
    while (c < n && line[c].isSpace()) ++c;
    return {p.line, c};
}

void LogTextView::selectWordAt(TextPos p) {
    const QString line = m_store.lineText(p.line);
    const int n = static_cast<int>(line.size());
    int s = std::min(p.column, n), e = s;
    auto same = [&](QChar c, QChar ref) {
        return isWordChar(ref) ? isWordChar(c) : ref.isSpace() ? c.isSpace() : c == ref;
    };
    const QChar ref = s < n ? line[s] : (s > 0 ? line[s - 1] : QChar(u' '));
    if (s == n && s > 0) --s, e = n;
    while (s > 0 && same(line[s - 1], ref)) --s;
    while (e < n && same(line[e], ref)) ++e;
    m_unitAnchorStart = {p.line, s};
    m_unitAnchorEnd = {p.line, e};
    setSelection(m_unitAnchorStart, m_unitAnchorEnd);
}

void LogTextView::selectLineAt(TextPos p) {
    m_unitAnchorStart = {p.line, 0};
    m_unitAnchorEnd = p.line + 1 < m_store.lineCount()
                          ? TextPos{p.line + 1, 0}
                          : TextPos{p.line, m_store.lineLength(p.line)};
    setSelection(m_unitAnchorStart, m_unitAnchorEnd);
}

}  // namespace nimbrel::gui
