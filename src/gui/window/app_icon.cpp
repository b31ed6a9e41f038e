#include "gui/window/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace nimbrel::gui {
namespace {

// A black log window with a green and a cyan line and a blue tooth-like "N".
QPixmap drawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(QPen(QColor(30, 60, 140), s / 16));
    p.setBrush(QColor(8, 8, 8));
    p.drawRoundedRect(QRectF(s / 32, s / 32, s - s / 16, s - s / 16), s / 8, s / 8);
    p.setPen(QPen(QColor(0, 255, 0), s / 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.18, s * 0.28), QPointF(s * 0.62, s * 0.28));
    p.setPen(QPen(QColor(100, 255, 255), s / 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.18, s * 0.46), QPointF(s * 0.48, s * 0.46));
    p.setPen(QPen(QColor(128, 128, 128), s / 12, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.18, s * 0.64), QPointF(s * 0.40, s * 0.64));
    QPainterPath n;
    n.moveTo(s * 0.60, s * 0.84);
    n.lineTo(s * 0.60, s * 0.44);
    n.lineTo(s * 0.82, s * 0.84);
    n.lineTo(s * 0.82, s * 0.44);
    p.setPen(QPen(QColor(60, 140, 255), s / 11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(n);
    return pm;
}

}  // namespace

QIcon appIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (const int size : {16, 24, 32, 48, 64, 128}) i.addPixmap(drawIcon(size));
        return i;
    }();
    return icon;
}

}  // namespace nimbrel::gui
