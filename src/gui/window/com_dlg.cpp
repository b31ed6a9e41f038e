#include "gui/window/com_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "gui/window/message_box.h"
#include "platform/serial_port_list.h"

namespace nimbrel::gui {

std::optional<std::uint32_t> parseBaudRate(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    for (const QChar c : t) {
        if (c < u'0' || c > u'9') return std::nullopt;
    }
    bool ok = false;
    const qulonglong value = t.toULongLong(&ok);
    if (!ok || value == 0 || value > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

QStringList comDialogPorts(const QString& storedName) {
    std::vector<std::string> typed;
    if (!storedName.isEmpty()) typed.push_back(storedName.toStdString());
    QStringList names;
    for (const std::string& name : listSerialPorts(typed)) names << QString::fromStdString(name);
    return names;
}

CComDlg::CComDlg(const QStringList& ports, const QString& storedPort, std::uint32_t baudRate,
                 QWidget* parent)
    : QDialog(parent), m_baudRate(baudRate) {
    setWindowTitle(QStringLiteral("COM Debug"));
    setObjectName(QStringLiteral("comDialog"));
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("comName"));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->setMinimumContentsLength(16);
    combo_->addItems(ports);
    combo_->setCurrentIndex(static_cast<int>(ports.indexOf(storedPort)));
    if (combo_->currentIndex() < 0) combo_->setEditText(storedPort);
    baud_ = new QLineEdit(QString::number(baudRate), this);
    baud_->setObjectName(QStringLiteral("baudRate"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("COM Name:"), combo_);
    form->addRow(QStringLiteral("Baud Rate:"), baud_);
    form->addRow(QStringLiteral("Data Bits:"), new QLabel(QStringLiteral("8"), this));
    form->addRow(QStringLiteral("Parity"), new QLabel(QStringLiteral("None"), this));
    form->addRow(QStringLiteral("Stop Bits:"), new QLabel(QStringLiteral("1"), this));
    form->addRow(QStringLiteral("Flow Control:"), new QLabel(QStringLiteral("Hardware"), this));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CComDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CComDlg::accept() {
    const std::optional<std::uint32_t> rate = parseBaudRate(baud_->text());
    if (!rate) {
        showMessageBox(this, QStringLiteral("Enter a positive integer."));
        baud_->setFocus();
        baud_->selectAll();
        return;
    }
    m_baudRate = *rate;
    m_comName = combo_->currentText();
    QDialog::accept();
}

}  // namespace nimbrel::gui
