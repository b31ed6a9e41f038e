#include "gui/window/message_box.h"

#include <QFileDialog>

namespace nimbrel::gui {
namespace {

MessageBoxHook& messageBoxHook() {
    static MessageBoxHook hook;
    return hook;
}

OpenFileHook& openFileHook() {
    static OpenFileHook hook;
    return hook;
}

}  // namespace

QMessageBox::Icon defaultIconFor(QMessageBox::StandardButtons buttons) {
    return buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Question : QMessageBox::Warning;
}

QMessageBox::StandardButton showMessageBox(QWidget* parent, const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::Icon icon) {
    if (icon == QMessageBox::NoIcon) icon = defaultIconFor(buttons);
    if (messageBoxHook()) return messageBoxHook()(text, buttons, icon);
    QMessageBox box(icon, QString::fromLatin1(kAppTitle), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void setMessageBoxHook(MessageBoxHook hook) { messageBoxHook() = std::move(hook); }

QString askOpenFileName(QWidget* parent, const OpenFileRequest& request) {
    if (openFileHook()) return openFileHook()(request);
    QString start = request.folder;
    if (!request.fileName.isEmpty())
        start = start.isEmpty() ? request.fileName : start + '/' + request.fileName;
    return QFileDialog::getOpenFileName(parent, request.caption, start, request.filter);
}

void setOpenFileHook(OpenFileHook hook) { openFileHook() = std::move(hook); }

}  // namespace nimbrel::gui
