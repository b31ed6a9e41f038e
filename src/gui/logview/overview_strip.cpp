#include "gui/logview/overview_strip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "gui/logview/line_set.h"
#include "gui/logview/shown_lines.h"
#include "gui/logview/visible_rows.h"

namespace nimbrel::gui {
namespace {

const QColor kStripBackground(32, 32, 32);
const QColor kRedLine(255, 0, 0);
const QColor kHit(255, 200, 0);
const QColor kMark(80, 160, 255);
const QColor kOnScreen(255, 255, 255, 40);

}  // namespace

OverviewStrip::OverviewStrip(QWidget* widget, VisibleRows& rows) : QWidget(widget), rows_(rows) {
    setObjectName(QStringLiteral("overviewStrip"));
    setToolTip(QStringLiteral("Red lines, search hits and marks along the whole text"));
}

void OverviewStrip::watch(LineSet* set) {
    if (!set) return;
    connect(set, &LineSet::changed, this, [this] {
        if (repaintQueued_) return;
        repaintQueued_ = true;
        QTimer::singleShot(100, this, [this] {
            repaintQueued_ = false;
            update();
        });
    });
    update();
}

void OverviewStrip::setRedLines(LineSet* set) {
    red_ = set;
    watch(set);
}

void OverviewStrip::setMarks(LineSet* set) {
    marks_ = set;
    watch(set);
}

void OverviewStrip::setSearchHits(LineSet* set) {
    if (hits_) hits_->disconnect(this);
    hits_ = set;
    watch(set);
}

qint64 OverviewStrip::lineAtY(int y) const {
    const qint64 rows = rows_.rowCount();
    const int h = std::max(1, height());
    return rows_.lineOfRow(std::clamp<qint64>(rows * std::clamp(y, 0, h - 1) / h, 0, rows - 1));
}

void OverviewStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kStripBackground);
    // The strip stands for the view's rows: with a filter on, the shown lines.
    const qint64 lines = rows_.rowCount();
    const int h = height();
    if (lines <= 1 || h <= 0) return;
    const ShownLines& shown = rows_.shownLines();
    // The red lines only while the filter shows them.
    LineSet* red = shown.filter().shows(LineTag::Red) ? red_.data() : nullptr;
    // Pixel row y stands for rows [lines * y / h, lines * (y + 1) / h), at least one row:
    // the lines from the first of them to the last.
    auto linesOf = [&](int y, qint64& first, qint64& last) {
        const qint64 r0 = lines * y / h;
        const qint64 r1 = std::max(r0 + 1, lines * (y + 1) / h);
        first = rows_.lineOfRow(r0);
        last = rows_.lineOfRow(r1 - 1) + 1;
    };
    const int w = width();
    qint64 first = 0, last = 0;
    for (int y = 0; y < h; ++y) {
        linesOf(y, first, last);
        if (red && red->anyIn(first, last)) p.fillRect(1, y, w / 2 - 1, 1, kRedLine);
        if (hits_ && hits_->anyIn(first, last)) p.fillRect(w / 2, y, w / 2 - 1, 1, kHit);
    }
    // Marks on top, two rows high so that one mark among millions of lines shows.
    if (marks_) {
        for (int y = 0; y < h; ++y) {
            linesOf(y, first, last);
            if (marks_->anyIn(first, last)) p.fillRect(0, std::max(0, y - 1), w, 2, kMark);
        }
    }
    const qint64 top = rows_.firstVisibleRow();
    const qint64 page = rows_.visibleLineCount();
    const int y1 = static_cast<int>(top * h / lines);
    const int y2 = std::max(y1 + 2, static_cast<int>(std::min(lines, top + page) * h / lines));
    p.fillRect(0, y1, w, y2 - y1, kOnScreen);
}

void OverviewStrip::jumpTo(int y) { rows_.goToLine(lineAtY(y)); }

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) jumpTo(event->position().toPoint().y());
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) jumpTo(event->position().toPoint().y());
}

}  // namespace nimbrel::gui
