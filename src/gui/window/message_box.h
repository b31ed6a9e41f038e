// Message boxes and file dialogs of the window, behind functions that tests can replace
// (a modal dialog would otherwise block a test until someone answers it).
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace nimbrel::gui {

// The application title, the caption of every message box.
inline constexpr char kAppTitle[] = "Nimbrel";

// Shows a modal message box with the caption "Nimbrel". With QMessageBox::NoIcon the icon
// follows the buttons: a question mark for Yes/No (and Yes/No/Cancel), an exclamation mark
// for OK and OK/Cancel. Returns the button chosen.
QMessageBox::StandardButton showMessageBox(QWidget* parent, const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::Icon icon = QMessageBox::NoIcon);

// The icon a box with these buttons gets when the caller gives none.
QMessageBox::Icon defaultIconFor(QMessageBox::StandardButtons buttons);

using MessageBoxHook = std::function<QMessageBox::StandardButton(
    const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)>;
// Replaces the box (nullptr restores it).
void setMessageBoxHook(MessageBoxHook hook);

// An open-file dialog: returns the chosen path, or an empty string when cancelled.
struct OpenFileRequest {
    QString caption;
    QString folder;
    QString fileName;
    QString filter;
};
QString askOpenFileName(QWidget* parent, const OpenFileRequest& request);

using OpenFileHook = std::function<QString(const OpenFileRequest&)>;
void setOpenFileHook(OpenFileHook hook);

}  // namespace nimbrel::gui
