#include "gui/overview_strip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "gui/line_set.h"
#include "gui/log_text_view.h"

namespace nimbrel::gui {
namespace {

const QColor kStripBackground(32, 32, 32);
const QColor kRedLine(255, 0, 0);
const QColor kHit(255, 200, 0);
const QColor kMark(80, 160, 255);
const QColor kOnScreen(255, 255, 255, 40);

}  // namespace

OverviewStrip::OverviewStrip(LogTextView& view) : QWidget(&view), view_(view) {
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
    const qint64 lines = view_.lineCount();
    const int h = std::max(1, height());
    return std::clamp<qint64>(lines * std::clamp(y, 0, h - 1) / h, 0, lines - 1);
}

void OverviewStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kStripBackground);
    const qint64 lines = view_.lineCount();
    const int h = height();
    if (lines <= 1 || h <= 0) return;
    // Row y stands for lines [lines * y / h, lines * (y + 1) / h), at least one line.
    const int w = width();
    for (int y = 0; y < h; ++y) {
        const qint64 first = lines * y / h;
        const qint64 last = std::max(first + 1, lines * (y + 1) / h);
        if (red_ && red_->anyIn(first, last)) p.fillRect(1, y, w / 2 - 1, 1, kRedLine);
        if (hits_ && hits_->anyIn(first, last)) p.fillRect(w / 2, y, w / 2 - 1, 1, kHit);
    }
    // Marks on top, two rows high so that one mark among millions of lines shows.
    if (marks_) {
        for (int y = 0; y < h; ++y) {
            const qint64 first = lines * y / h;
            const qint64 last = std::max(first + 1, lines * (y + 1) / h);
            if (marks_->anyIn(first, last)) p.fillRect(0, std::max(0, y - 1), w, 2, kMark);
        }
    }
    const qint64 top = view_.firstVisibleLine();
    const qint64 shown = view_.visibleLineCount();
    const int y1 = static_cast<int>(top * h / lines);
    const int y2 = std::max(y1 + 2, static_cast<int>(std::min(lines, top + shown) * h / lines));
    p.fillRect(0, y1, w, y2 - y1, kOnScreen);
}

void OverviewStrip::jumpTo(int y) { view_.goToLine(lineAtY(y)); }

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) jumpTo(event->position().toPoint().y());
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) jumpTo(event->position().toPoint().y());
}

}  // namespace nimbrel::gui
