// Control > Uart_In_Box: eight byte values typed in hexadecimal, sent in one write to the
// controller over the COM capture's open port each time Execute is pressed. The dialog
// stays open until Exit.
#pragma once

#include <QDialog>
#include <array>

#include "capture/inbox_sender.h"

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

    // Longest an Execute waits for the port to take the eight bytes: the window never
    // hangs on a port that does not drain.
    static constexpr int kWriteTimeoutMs = 2000;

public slots:
    // Execute: builds the eight bytes and writes them; nothing is sent while no port is open.
    void OnExecute();

signals:
    // After each Execute: the bytes and 0 when they were sent, else the errno value
    // (EBADF: no port was open).
    void sendFinished(const InBoxMessage& message, int error);

private:
    std::array<QLineEdit*, 8> edits_{};
    QPushButton* execute_;
    QPushButton* exit_;
};

}  // namespace nimbrel::gui
