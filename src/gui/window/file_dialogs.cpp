#include "gui/window/file_dialogs.h"

#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace nimbrel::gui {
namespace {

SaveFileHook& saveFileHook() {
    static SaveFileHook hook;
    return hook;
}

CaptionBoxHook& captionBoxHook() {
    static CaptionBoxHook hook;
    return hook;
}

PrinterDialogHook& printerDialogHook() {
    static PrinterDialogHook hook;
    return hook;
}

}  // namespace

QString askSaveFileName(QWidget* parent, const SaveFileRequest& request) {
    if (saveFileHook()) return saveFileHook()(request);
    return QFileDialog::getSaveFileName(parent, request.caption, request.proposed, request.filter);
}

void setSaveFileHook(SaveFileHook hook) { saveFileHook() = std::move(hook); }

QMessageBox::StandardButton askWithCaption(QWidget* parent, const QString& caption,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::Icon icon) {
    if (captionBoxHook()) return captionBoxHook()(caption, text, buttons, icon);
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void setCaptionBoxHook(CaptionBoxHook hook) { captionBoxHook() = std::move(hook); }

bool runPrinterDialog(QWidget* parent, PrinterDialog kind, QPrinter& printer) {
    if (printerDialogHook()) return printerDialogHook()(kind, printer);
    if (kind == PrinterDialog::Setup) {
        QPageSetupDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void setPrinterDialogHook(PrinterDialogHook hook) { printerDialogHook() = std::move(hook); }

}  // namespace nimbrel::gui
