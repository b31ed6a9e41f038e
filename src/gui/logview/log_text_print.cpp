// Printing and print preview of the log view: the text in the view's font, each run in a
// colour that stays readable on white paper, half-inch (720-twip) margins, long lines
// wrapped at the page's width so that nothing is cut off.
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <cmath>

#include "gui/logview/log_text_colour.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/shown_lines.h"

namespace nimbrel::gui {

namespace {

constexpr qreal kMarginInches = 0.5;  // 720 twips

}  // namespace

void LogTextView::print(QPrinter* printer) const {
    if (!printer) return;
    printer->setPageMargins(QMarginsF(kMarginInches, kMarginInches, kMarginInches, kMarginInches),
                            QPageLayout::Inch);
    QPainter painter;
    if (!painter.begin(printer)) return;
    QFont font = m_font;
    painter.setFont(font);
    const QFontMetricsF fm(font, printer);
    const QRectF page =
        printer->pageLayout()
            .paintRectPixels(printer->resolution())
            .translated(-printer->pageLayout().paintRectPixels(printer->resolution()).topLeft());
    const qreal lineHeight = fm.height();
    const qreal charWidth = std::max<qreal>(1, fm.horizontalAdvance(QLatin1Char('0')));
    const qreal tabWidth = charWidth * 8;
    const int rowsPerPage = std::max(1, static_cast<int>(page.height() / lineHeight));

    // The selection alone when the user asked for it.
    TextPos from{}, to = m_store.endPos();
    if (printer->printRange() == QPrinter::Selection && hasSelection()) {
        from = std::min(m_anchor, m_caret);
        to = std::max(m_anchor, m_caret);
    }
    const int firstPage = printer->fromPage() > 0 ? printer->fromPage() : 1;
    const int lastPage = printer->toPage() > 0 ? printer->toPage() : INT32_MAX;

    // With a filter on, the lines it shows go out under a header that says so.
    const bool filtered = m_shown->active();
    const QString header = filtered ? QStringLiteral("filtered: %1 of %2 lines shown")
                                          .arg(m_shown->shownLines())
                                          .arg(lineCount())
                                    : QString();
    int pageNo = 1;
    int row = 0;
    auto startPage = [&] {
        if (!filtered) return;
        if (pageNo >= firstPage) {
            painter.setPen(Qt::black);
            painter.drawText(QPointF(page.left(), page.top() + fm.ascent()), header);
        }
        row = std::min(1, rowsPerPage - 1);
    };
    auto nextRow = [&]() -> bool {
        if (row == rowsPerPage) {
            if (pageNo >= lastPage) return false;
            if (pageNo >= firstPage) printer->newPage();
            ++pageNo;
            row = 0;
            startPage();
        }
        return true;
    };
    startPage();

    for (qint64 line = from.line; line <= to.line; ++line) {
        if (filtered && !m_shown->isShown(line)) continue;
        const QString text = m_store.lineText(line);
        const int begin = line == from.line ? from.column : 0;
        const int end = line == to.line ? to.column : static_cast<int>(text.size());
        if (!nextRow()) break;
        qreal x = 0;
        for (const ColourRun& run : m_store.lineRuns(line)) {
            const int s = std::max(run.start, begin);
            const int e = std::min(run.start + run.length, end);
            if (s >= e) continue;
            painter.setPen(printColour(colourOf(run.colour)));
            // Characters go out in pieces that end at a tab, a wrap or the run's end.
            QString piece;
            qreal pieceX = x;
            auto flush = [&] {
                if (!piece.isEmpty() && pageNo >= firstPage) {
                    painter.drawText(
                        QPointF(page.left() + pieceX, page.top() + row * lineHeight + fm.ascent()),
                        piece);
                }
                piece.clear();
            };
            for (int i = s; i < e; ++i) {
                const QChar c = text[i];
                qreal w = c == u'\t' ? (std::floor(x / tabWidth + 1e-9) + 1) * tabWidth - x
                                     : fm.horizontalAdvance(c);
                if (x + w > page.width() && x > 0) {
                    flush();
                    ++row;
                    if (!nextRow()) return;
                    x = 0;
                    if (c == u'\t') w = tabWidth;
                }
                if (c == u'\t') {
                    flush();
                    x += w;
                    continue;
                }
                if (piece.isEmpty()) pieceX = x;
                piece += c;
                x += w;
            }
            flush();
        }
        ++row;
    }
    painter.end();
}

void LogTextView::printPreview() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { print(p); });
    dialog.exec();
}

}  // namespace nimbrel::gui
