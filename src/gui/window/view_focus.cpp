#include "gui/window/view_focus.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace nimbrel::gui {

ViewFocusKeeper::ViewFocusKeeper(QWidget& view) : QObject(&view), view_(&view) {
    qApp->installEventFilter(this);
}

ViewFocusKeeper::~ViewFocusKeeper() { qApp->removeEventFilter(this); }

void ViewFocusKeeper::giveFocus() {
    if (!view_) return;
    // A window that is not shown yet, or not active, gives it to the view once it is.
    if (view_->isVisible()) view_->window()->activateWindow();
    view_->setFocus(Qt::OtherFocusReason);
}

bool ViewFocusKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && view_ && qobject_cast<QDialog*>(watched)) {
        // After the dialog has gone: the one that opened it may still be on screen (a message
        // box over the COM dialog), and then it keeps the keyboard.
        QTimer::singleShot(0, this, [this] {
            if (!view_ || !view_->isVisible() || QApplication::activeModalWidget() ||
                QApplication::activePopupWidget())
                return;
            giveFocus();
        });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace nimbrel::gui
