// Control > Uart_In_Box: eight byte values typed in hexadecimal, sent in one write to the
// controller over the COM capture's open port each time Execute is pressed. The dialog
// stays open until Exit.
#pragma once

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;

namespace nimbrel::gui {

class CDialogUartInBox : public QDialog {
    Q_OBJECT
public:
    explicit CDialogUartInBox(QWidget* parent = nullptr);

    QLineEdit* byteEdit(int k) const { return edits_[static_cast<std::size_t>(k)]; }
    QPushButton* executeButton() const { return execute_; }
    QPushButton* exitButton() const { return exit_; }

public slots:
    // Execute: builds the eight bytes and writes them; nothing is sent while no port is open.
    void OnExecute();

private:
    std::array<QLineEdit*, 8> edits_{};
    QPushButton* execute_;
    QPushButton* exit_;
};

}  // namespace nimbrel::gui
