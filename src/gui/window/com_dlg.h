// Setting > Com Setting: the "COM Debug" dialog. The port combo lists the serial ports the
// system knows plus names typed before; any name can be typed. The baud rate must be a
// positive integer.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <optional>

class QComboBox;
class QLineEdit;

namespace nimbrel::gui {

// A baud rate as typed: digits only (blanks around them allowed), 1 to 4294967295.
std::optional<std::uint32_t> parseBaudRate(const QString& text);

class CComDlg : public QDialog {
    Q_OBJECT
public:
    // `ports`: the names to list, in order. The stored port is selected when it is listed,
    // otherwise it is put in the combo's edit field, so that OK keeps it.
    CComDlg(const QStringList& ports, const QString& storedPort, std::uint32_t baudRate,
            QWidget* parent = nullptr);

    // Valid after OK: the combo's text (chosen or typed) and the baud rate.
    QString m_comName;
    std::uint32_t m_baudRate;

    QComboBox* portCombo() const { return combo_; }
    QLineEdit* baudEdit() const { return baud_; }

public slots:
    void accept() override;

private:
    QComboBox* combo_;
    QLineEdit* baud_;
};

// The ports the dialog lists: the system's serial devices, then the stored name.
QStringList comDialogPorts(const QString& storedName);

}  // namespace nimbrel::gui
