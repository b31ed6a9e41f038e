#include "gui/window/search_results_list.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "gui/logview/log_text_colour.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/view_font.h"

namespace nimbrel::gui {

namespace {

const QColor kNumberColour(110, 110, 110);
const QColor kMarkColour(80, 160, 255);
constexpr int kMargin = 4;
// Characters of a line that a row shows at most: the list is a guide, the view shows all.
constexpr int kShownColumns = 400;

}  // namespace

SearchResultsList::SearchResultsList(const LogTextView& view, QWidget* parent)
    : QAbstractScrollArea(parent), view_(view), rows_(std::make_shared<const HitSet>()) {
    setObjectName(QStringLiteral("searchResults"));
    setFocusPolicy(Qt::StrongFocus);
    QFont f = viewFont();
    viewport()->setFont(f);
    setFont(f);
    const QFontMetrics m(f);
    rowHeight_ = m.height() + 1;
    ascent_ = m.ascent();
    charWidth_ = std::max(1, m.horizontalAdvance(QLatin1Char('0')));
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::black);
    setPalette(p);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void SearchResultsList::setLines(std::shared_ptr<const HitSet> hits,
                                 std::vector<std::int64_t> marks) {
    const std::int64_t line = currentLine();
    if (marks.empty()) {
        rows_ = std::move(hits);
    } else {
        auto rows = std::make_shared<HitSet>(*hits);
        for (std::int64_t m : marks) rows->insert(m);
        rows_ = std::move(rows);
    }
    marks_ = std::move(marks);
    // The current row stays on its line while rows are added before it.
    if (line >= 0 && rows_->contains(line)) {
        current_ = rows_->rank(line);
    } else if (current_ >= rowCount()) {
        current_ = rowCount() - 1;
    }
    updateScrollBars();
    viewport()->update();
}

void SearchResultsList::setCurrentLine(std::int64_t line) {
    const std::int64_t row = rows_->rank(line);
    setCurrentRow(std::min(row, rowCount() - 1));
}

void SearchResultsList::setCurrentRow(std::int64_t row) {
    if (rowCount() == 0) {
        current_ = -1;
    } else {
        current_ = std::clamp<std::int64_t>(row, 0, rowCount() - 1);
        ensureVisible(current_);
    }
    viewport()->update();
}

QPoint SearchResultsList::rowPoint(std::int64_t row) const {
    return QPoint(kMargin, static_cast<int>((row - verticalScrollBar()->value()) * rowHeight_));
}

int SearchResultsList::visibleRows() const {
    return std::max(1, viewport()->height() / rowHeight_);
}

void SearchResultsList::updateScrollBars() {
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(visibleRows());
    v->setRange(
        0, static_cast<int>(std::clamp<std::int64_t>(rowCount() - visibleRows(), 0, INT32_MAX)));
}

void SearchResultsList::ensureVisible(std::int64_t row) {
    QScrollBar* v = verticalScrollBar();
    if (row < v->value()) {
        v->setValue(static_cast<int>(row));
    } else if (row >= v->value() + visibleRows()) {
        v->setValue(static_cast<int>(row - visibleRows() + 1));
    }
}

void SearchResultsList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void SearchResultsList::scrollContentsBy(int, int) { viewport()->update(); }

void SearchResultsList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::black);
    const std::int64_t first = verticalScrollBar()->value();
    const std::int64_t last = std::min(rowCount(), first + visibleRows() + 1);
    if (first >= last) return;
    // Room for the widest line number of the rows shown.
    const std::int64_t widest = lineAt(last - 1) + 1;
    const int digits = static_cast<int>(QString::number(widest).size());
    const int textX = kMargin + (digits + 2) * charWidth_;
    std::int64_t line = lineAt(first);
    for (std::int64_t row = first; row < last && line >= 0; ++row) {
        const int y = static_cast<int>((row - first) * rowHeight_);
        if (row == current_)
            painter.fillRect(QRect(0, y, viewport()->width(), rowHeight_), kSelectionBackground);
        const bool marked = std::binary_search(marks_.begin(), marks_.end(), line);
        painter.setPen(marked ? kMarkColour : kNumberColour);
        painter.drawText(QPoint(kMargin, y + ascent_),
                         (marked ? QStringLiteral("\u25CF") : QStringLiteral(" ")) +
                             QString::number(line + 1).rightJustified(digits));
        const QString text = view_.lineText(line).left(kShownColumns);
        const QList<LogTextView::Run> runs = view_.lineRuns(line);
        painter.setPen(runs.isEmpty() ? LogTextView::defaultTextColour() : runs.front().colour);
        QString shown = text;
        shown.replace(u'\t', u' ');
        painter.drawText(QPoint(textX, y + ascent_), shown);
        line = rows_->next(line + 1);
    }
}

void SearchResultsList::keyPressEvent(QKeyEvent* event) {
    const std::int64_t page = visibleRows();
    switch (event->key()) {
    case Qt::Key_Up: setCurrentRow(std::max<std::int64_t>(current_ - 1, 0)); break;
    case Qt::Key_Down: setCurrentRow(current_ + 1); break;
    case Qt::Key_PageUp: setCurrentRow(std::max<std::int64_t>(current_ - page, 0)); break;
    case Qt::Key_PageDown: setCurrentRow(current_ + page); break;
    case Qt::Key_Home: setCurrentRow(0); break;
    case Qt::Key_End: setCurrentRow(rowCount() - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current_ >= 0) emit lineActivated(currentLine());
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void SearchResultsList::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const std::int64_t row =
        verticalScrollBar()->value() + event->position().toPoint().y() / rowHeight_;
    if (row >= rowCount()) return;
    setCurrentRow(row);
    emit lineActivated(currentLine());
}

}  // namespace nimbrel::gui
