// The file menu's dialogs behind functions that tests can replace: the save-file dialog,
// the "Select" question of Open Raw Data, and the print and printer set-up dialogs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace nimbrel::gui {

// The filter the text log and raw data dialogs offer.
inline constexpr char kLogFileFilter[] = "Log File Formats (*.log *.txt);;All Files (*)";

struct SaveFileRequest {
    QString caption;
    QString filter;
    QString proposed;  // the path the dialog starts with (may be empty)
};
// A save-file dialog that asks before replacing a file: the chosen path, or an empty
// string when cancelled.
QString askSaveFileName(QWidget* parent, const SaveFileRequest& request);
using SaveFileHook = std::function<QString(const SaveFileRequest&)>;
void setSaveFileHook(SaveFileHook hook);

// A message box with its own caption (Open Raw Data's "Select").
QMessageBox::StandardButton askWithCaption(QWidget* parent, const QString& caption,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::Icon icon);
using CaptionBoxHook = std::function<QMessageBox::StandardButton(
    const QString& caption, const QString& text, QMessageBox::StandardButtons buttons,
    QMessageBox::Icon icon)>;
void setCaptionBoxHook(CaptionBoxHook hook);

// Print and Print Setup: true when the user confirmed. The hook gets the printer the
// dialog would configure and answers for the user.
enum class PrinterDialog { Print, Setup };
bool runPrinterDialog(QWidget* parent, PrinterDialog kind, QPrinter& printer);
using PrinterDialogHook = std::function<bool(PrinterDialog kind, QPrinter& printer)>;
void setPrinterDialogHook(PrinterDialogHook hook);

}  // namespace nimbrel::gui
