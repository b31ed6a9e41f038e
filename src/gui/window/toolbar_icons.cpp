#include "gui/window/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "gui/window/app_icon.h"

namespace nimbrel::gui {
namespace {

const char* themeName(MenuCommand command) {
    switch (command) {
    case MenuCommand::FileNew: return "document-new";
    case MenuCommand::FileOpen: return "document-open";
    case MenuCommand::FileSave: return "document-save";
    case MenuCommand::EditCut: return "edit-cut";
    case MenuCommand::EditCopy: return "edit-copy";
    case MenuCommand::EditPaste: return "edit-paste";
    case MenuCommand::FilePrint: return "document-print";
    case MenuCommand::AppAbout: return "help-about";
    case MenuCommand::StopCapture: return "process-stop";
    default: return nullptr;
    }
}

// A page with a folded corner, in 16-unit coordinates.
void page(QPainter& p, qreal x, qreal y, qreal w, qreal h) {
    QPainterPath path;
    path.moveTo(x, y);
    path.lineTo(x + w - 3, y);
    path.lineTo(x + w, y + 3);
    path.lineTo(x + w, y + h);
    path.lineTo(x, y + h);
    path.closeSubpath();
    p.drawPath(path);
}

void drawGlyph(QPainter& p, MenuCommand command) {
    const QPen outline(QColor(40, 40, 40), 1);
    p.setPen(outline);
    switch (command) {
    case MenuCommand::FileNew:
        p.setBrush(Qt::white);
        page(p, 3.5, 1.5, 9, 13);
        break;
    case MenuCommand::FileOpen:
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.drawRect(QRectF(1.5, 3.5, 5, 1));
        break;
    case MenuCommand::FileSave:
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case MenuCommand::EditCut:
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(5, 1.5), QPointF(10.5, 10));
        p.drawLine(QPointF(11, 1.5), QPointF(5.5, 10));
        p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
        p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
        break;
    case MenuCommand::EditCopy:
        p.setBrush(Qt::white);
        page(p, 1.5, 1.5, 8, 10);
        page(p, 6.5, 4.5, 8, 10);
        break;
    case MenuCommand::EditPaste:
        p.setBrush(QColor(190, 140, 70));
        p.drawRect(QRectF(1.5, 2.5, 10, 12));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 1.5, 4, 2));
        p.setBrush(Qt::white);
        page(p, 7.5, 6.5, 7, 8);
        break;
    case MenuCommand::FilePrint:
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        break;
    case MenuCommand::StopCapture:
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    default: break;
    }
}

}  // namespace

QIcon builtInCommandIcon(MenuCommand command) {
    if (command == MenuCommand::AppAbout) return appIcon();
    if (!themeName(command)) return {};
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        drawGlyph(p, command);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon commandIcon(MenuCommand command) {
    const char* name = themeName(command);
    if (!name) return {};
    return QIcon::fromTheme(QString::fromLatin1(name), builtInCommandIcon(command));
}

}  // namespace nimbrel::gui
