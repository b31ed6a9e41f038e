#include "gui/window/uart_in_box_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace nimbrel::gui {

CDialogUartInBox::CDialogUartInBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog"));
    setObjectName(QStringLiteral("uartInBoxDialog"));
    auto* group = new QGroupBox(QStringLiteral("Send Data"), this);
    auto* grid = new QGridLayout(group);
    for (int k = 0; k < 8; ++k) {
        auto* edit = new QLineEdit(group);
        edit->setObjectName(QStringLiteral("byte%1").arg(k));
        edit->setMaximumWidth(80);
        const int row = k % 4;
        const int column = (k / 4) * 2;
        grid->addWidget(new QLabel(QStringLiteral("Byte %1").arg(k), group), row, column);
        grid->addWidget(edit, row, column + 1);
        edits_[static_cast<std::size_t>(k)] = edit;
    }
    execute_ = new QPushButton(QStringLiteral("Execute"), this);
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    execute_->setDefault(true);
    connect(execute_, &QPushButton::clicked, this, &CDialogUartInBox::OnExecute);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(execute_);
    buttons->addWidget(exit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CDialogUartInBox::OnExecute() {
    std::array<std::u16string, 8> texts;
    std::array<std::u16string_view, 8> views;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        texts[k] = edits_[k]->text().toStdU16String();
        views[k] = texts[k];
    }
    const InBoxMessage message = buildInBoxMessage(views);
    emit sendFinished(message, sendInBox(message, kWriteTimeoutMs));
}

}  // namespace nimbrel::gui
