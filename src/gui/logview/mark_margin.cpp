#include "gui/logview/mark_margin.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/logview/line_marks.h"
#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {
namespace {

const QColor kMarginBackground(24, 24, 24);
const QColor kMarkColour(80, 160, 255);

}  // namespace

MarkMargin::MarkMargin(LogTextView& view) : QWidget(&view), view_(view) {
    setObjectName(QStringLiteral("markMargin"));
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click to mark a line (Ctrl+F2); F2 and Shift+F2 go to the marks"));
}

void MarkMargin::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kMarginBackground);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkColour);
    const int h = view_.rowHeight();
    const qint64 first = view_.firstVisibleRow();
    const qint64 last = std::min<qint64>(view_.rowCount(), first + height() / h + 2);
    for (qint64 row = first; row < last; ++row) {
        if (!view_.marks().contains(view_.lineOfRow(row))) continue;
        const qreal y = static_cast<qreal>(row - first) * h;
        const qreal d = std::min<qreal>(kWidth - 4, h - 2);
        p.drawEllipse(QRectF((kWidth - d) / 2, y + (h - d) / 2, d, d));
    }
}

void MarkMargin::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qint64 row =
        view_.firstVisibleRow() + event->position().toPoint().y() / view_.rowHeight();
    if (row >= view_.rowCount()) return;
    const qint64 line = view_.lineOfRow(row);
    if (line >= view_.lineCount()) return;
    view_.marks().toggle(line);
}

}  // namespace nimbrel::gui
