// Geometry, scrolling and painting of the log view: only the visible rows are laid out.
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "gui/logview/log_text_colour.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/mark_margin.h"
#include "gui/logview/overview_strip.h"
#include "gui/logview/shown_lines.h"

namespace nimbrel::gui {

namespace {

const QColor kCaretColour(220, 220, 220);
const QColor kMarkedLineBackground(20, 40, 80);
constexpr int kLeftMargin = 2;
// Room past the longest line (in characters) for the horizontal range.
constexpr int kTabColumnsMargin = 8;

}  // namespace

qreal LogTextView::advance(const QString& line, int& i, qreal x) const {
    const QChar c = line[i];
    if (c == u'\t') {
        ++i;
        return (std::floor(x / m_tabWidth + 1e-9) + 1) * m_tabWidth;
    }
    if (c.unicode() < 0x80) {
        ++i;
        return x + m_charWidth;
    }
    const int n =
        c.isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate() ? 2 : 1;
    const qreal w = QFontMetricsF(m_font).horizontalAdvance(line.mid(i, n));
    i += n;
    return x + w;
}

qreal LogTextView::xOfColumn(const QString& line, int column) const {
    column = std::min(column, static_cast<int>(line.size()));
    qreal x = 0;
    for (int i = 0; i < column;) x = advance(line, i, x);
    return x;
}

int LogTextView::columnAtX(const QString& line, qreal x) const {
    qreal at = 0;
    int i = 0;
    while (i < line.size()) {
        const int before = i;
        const qreal next = advance(line, i, at);
        if (x < (at + next) / 2) return before;
        at = next;
    }
    return static_cast<int>(line.size());
}

qint64 LogTextView::firstVisibleRow() const { return verticalScrollBar()->value(); }

qint64 LogTextView::firstVisibleLine() const { return lineOfRow(firstVisibleRow()); }

int LogTextView::visibleLineCount() const {
    return std::max(1, viewport()->height() / m_lineHeight);
}

TextPos LogTextView::posAt(const QPoint& p) const {
    const qint64 row = std::clamp<qint64>(
        firstVisibleRow() + (p.y() < 0 ? (p.y() / m_lineHeight) - 1 : p.y() / m_lineHeight), 0,
        rowCount() - 1);
    const qint64 line = lineOfRow(row);
    const qreal x = p.x() + horizontalScrollBar()->value() - kLeftMargin;
    return {line, columnAtX(m_store.lineText(line), x)};
}

QRect LogTextView::caretRect() const {
    const qint64 row = rowOfLine(m_caret.line) - firstVisibleRow();
    const qreal x = xOfColumn(m_store.lineText(m_caret.line), m_caret.column) + kLeftMargin -
                    horizontalScrollBar()->value();
    return QRect(static_cast<int>(x), static_cast<int>(row * m_lineHeight), 2, m_lineHeight);
}

void LogTextView::updateScrollBars() {
    QScrollBar* v = verticalScrollBar();
    const qint64 rows = rowCount();
    const int page = visibleLineCount();
    const qint64 maximum = std::max<qint64>(0, rows - page);
    v->setPageStep(page);
    v->setRange(0, static_cast<int>(std::min<qint64>(maximum, INT32_MAX)));

    QScrollBar* h = horizontalScrollBar();
    const int estimate = static_cast<int>(
        std::min<qreal>((m_store.longestLine() + kTabColumnsMargin) * m_charWidth, 1e9));
    const int width = std::max(estimate, m_contentWidth) + kLeftMargin * 2;
    h->setPageStep(viewport()->width());
    h->setSingleStep(static_cast<int>(m_charWidth * 2));
    h->setRange(0, std::max(0, width - viewport()->width()));
}

void LogTextView::scrollToEnd() { verticalScrollBar()->setValue(verticalScrollBar()->maximum()); }

void LogTextView::ensureCaretVisible() {
    QScrollBar* v = verticalScrollBar();
    const qint64 first = firstVisibleRow();
    const int page = visibleLineCount();
    const qint64 caretRow = rowOfLine(m_caret.line);
    if (caretRow < first) {
        v->setValue(static_cast<int>(caretRow));
    } else if (caretRow >= first + page) {
        v->setValue(static_cast<int>(caretRow - page + 1));
    }
    QScrollBar* h = horizontalScrollBar();
    const int x =
        static_cast<int>(xOfColumn(m_store.lineText(m_caret.line), m_caret.column)) + kLeftMargin;
    const int w = viewport()->width();
    if (x < h->value()) {
        h->setValue(std::max(0, x - w / 4));
    } else if (x > h->value() + w - 4) {
        if (x > h->maximum() + w - 4) updateScrollBars();
        h->setValue(x - w + w / 4);
    }
    if (!hasSelection()) m_followEnd = v->value() >= v->maximum() && caretRow >= rowCount() - page;
}

void LogTextView::placeSideBars() {
    const QRect v = viewport()->geometry();
    m_markMargin->setGeometry(v.left() - MarkMargin::kWidth, v.top(), MarkMargin::kWidth,
                              v.height());
    m_overview->setGeometry(v.right() + 1, v.top(), OverviewStrip::kWidth, v.height());
}

void LogTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    placeSideBars();
    updateScrollBars();
    if (m_followEnd) scrollToEnd();
}

void LogTextView::scrollContentsBy(int, int dy) {
    viewport()->update();
    if (dy != 0) {
        m_markMargin->update();
        m_overview->update();
    }
}

void LogTextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    painter.setFont(m_font);

    const qint64 first = firstVisibleRow();
    const qint64 last =
        std::min<qint64>(rowCount(), first + viewport()->height() / m_lineHeight + 2);
    const qreal left = kLeftMargin - horizontalScrollBar()->value();
    const qreal right = viewport()->width();
    const TextPos selFrom = std::min(m_anchor, m_caret);
    const TextPos selTo = std::max(m_anchor, m_caret);
    int widest = m_contentWidth;
    std::vector<HighlightSpan> spans;

    for (qint64 row = first; row < last; ++row) {
        const int y = static_cast<int>((row - first) * m_lineHeight);
        if (y > event->rect().bottom()) break;
        const qint64 l = lineOfRow(row);
        const QString text = m_store.lineText(l);
        if (m_marks.contains(l)) {
            painter.fillRect(QRectF(0, y, right, m_lineHeight), kMarkedLineBackground);
        }

        if (m_highlighter) {
            spans.clear();
            m_highlighter->highlights(l, spans);
            for (const HighlightSpan& s : spans) {
                const qreal x1 = xOfColumn(text, s.start);
                const qreal x2 = xOfColumn(text, s.end);
                painter.fillRect(QRectF(left + x1, y, x2 - x1, m_lineHeight), s.background);
            }
        }

        if (hasSelection() && l >= selFrom.line && l <= selTo.line) {
            const qreal x1 = l == selFrom.line ? xOfColumn(text, selFrom.column) : 0;
            // A selected line break shows as a character-wide mark past the line's end.
            const qreal x2 = l == selTo.line
                                 ? xOfColumn(text, selTo.column)
                                 : xOfColumn(text, static_cast<int>(text.size())) + m_charWidth;
            painter.fillRect(QRectF(left + x1, y, x2 - x1, m_lineHeight), kSelectionBackground);
        }

        // Draw the colour runs piece by piece: tabs and wide characters place each piece.
        // Only what lies in the viewport is drawn, and the line is left at its right edge,
        // so that a line of a million characters costs no more than a short one. Control
        // characters (tabs included) take their cell but are not drawn: no font has them,
        // and looking for one for every character would stall the window.
        auto drawn = [&text](int k) { return text[k].unicode() >= 0x20; };
        qreal x = 0;
        int i = 0;
        for (const ColourRun& run : m_store.lineRuns(l)) {
            if (left + x > right) break;
            painter.setPen(colourOf(run.colour));
            const int end = run.start + run.length;
            while (i < end && left + x <= right) {
                if (!drawn(i)) {
                    x = advance(text, i, x);
                    continue;
                }
                // Characters wholly left of the viewport.
                for (int k = i; k < end && drawn(k);) {
                    const qreal next = advance(text, k, x);
                    if (left + next >= 0) break;
                    x = next;
                    i = k;
                }
                int j = i;
                qreal pieceEnd = x;
                while (j < end && drawn(j) && left + pieceEnd <= right)
                    pieceEnd = advance(text, j, pieceEnd);
                if (j > i) painter.drawText(QPointF(left + x, y + m_ascent), text.mid(i, j - i));
                x = pieceEnd;
                i = j;
            }
        }
        widest = std::max(widest, static_cast<int>(x) + static_cast<int>(m_charWidth));
    }

    const qint64 caretRow = rowOfLine(m_caret.line);
    if (hasFocus() && m_caretShown && m_shown->isShown(m_caret.line) && caretRow >= first &&
        caretRow < last) {
        painter.fillRect(caretRect(), kCaretColour);
    }
    if (widest > m_contentWidth) {
        m_contentWidth = widest;
        QTimer::singleShot(0, this, [this] { updateScrollBars(); });
    }
}

}  // namespace nimbrel::gui
