#include "gui/window/go_to_line_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace nimbrel::gui {

GoToLineDlg::GoToLineDlg(qint64 lineCount, qint64 current, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("goToLineDialog"));
    setWindowTitle(QStringLiteral("Go To Line"));
    // A spin box counts in int: far beyond the lines a view holds in practice.
    const int last = static_cast<int>(std::clamp<qint64>(lineCount, 1, INT_MAX));
    auto* label = new QLabel(QStringLiteral("&Line number (1 - %1):").arg(last), this);
    number_ = new QSpinBox(this);
    number_->setObjectName(QStringLiteral("lineNumber"));
    number_->setRange(1, last);
    number_->setValue(static_cast<int>(std::clamp<qint64>(current, 1, last)));
    number_->setGroupSeparatorShown(true);
    number_->selectAll();
    label->setBuddy(number_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(number_);
    layout->addWidget(buttons);
}

qint64 GoToLineDlg::lineNumber() const { return number_->value(); }

}  // namespace nimbrel::gui
