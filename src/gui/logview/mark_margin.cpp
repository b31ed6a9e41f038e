#include "gui/logview/mark_margin.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/logview/line_marks.h"
#include "gui/logview/visible_rows.h"

namespace nimbrel::gui {
namespace {

const QColor kMarginBackground(24, 24, 24);
const QColor kMarkColour(80, 160, 255);

}  // namespace

MarkMargin::MarkMargin(QWidget* widget, VisibleRows& rows) : QWidget(widget), rows_(rows) {
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
    const int h = rows_.rowHeight();
    const qint64 first = rows_.firstVisibleRow();
    const qint64 last = std::min<qint64>(rows_.rowCount(), first + height() / h + 2);
    for (qint64 row = first; row < last; ++row) {
        if (!rows_.marks().contains(rows_.lineOfRow(row))) continue;
        const qreal y = static_cast<qreal>(row - first) * h;
        const qreal d = std::min<qreal>(kWidth - 4, h - 2);
        p.drawEllipse(QRectF((kWidth - d) / 2, y + (h - d) / 2, d, d));
    }
}

void MarkMargin::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qint64 row =
        rows_.firstVisibleRow() + event->position().toPoint().y() / rows_.rowHeight();
    if (row >= rows_.rowCount()) return;
    const qint64 line = rows_.lineOfRow(row);
    if (line >= rows_.lineCount()) return;
    rows_.marks().toggle(line);
}

}  // namespace nimbrel::gui
