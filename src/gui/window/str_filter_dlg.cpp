#include "gui/window/str_filter_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "pipeline/string_filter.h"

namespace nimbrel::gui {

CStrFilterDlg::CStrFilterDlg(StringFilter& filter, QWidget* parent)
    : QDialog(parent), filter_(filter) {
    setWindowTitle(QStringLiteral("Dialog"));
    setObjectName(QStringLiteral("stringFilterDialog"));
    auto* note = new QLabel(
        QString::fromUtf8(
            "Add string to list box\xEF\xBC\x8C if do not  want to see the log containing it."),
        this);
    note->setWordWrap(true);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("filterText"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("filterList"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const std::u16string& s : *filter_.strings()) list_->addItem(QString::fromStdU16String(s));
    add_ = new QPushButton(QStringLiteral("Add"), this);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    add_->setAutoDefault(false);
    delete_->setAutoDefault(false);
    connect(add_, &QPushButton::clicked, this, &CStrFilterDlg::OnAdd);
    connect(delete_, &QPushButton::clicked, this, &CStrFilterDlg::OnDelete);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStrFilterDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(note, 0, 0, 1, 2);
    grid->addWidget(edit_, 1, 0);
    grid->addWidget(add_, 1, 1);
    grid->addWidget(list_, 2, 0, 2, 1);
    grid->addWidget(delete_, 2, 1, Qt::AlignTop);
    grid->addWidget(buttons, 4, 0, 1, 2);
    resize(420, 300);
}

void CStrFilterDlg::OnAdd() {
    const QString text = edit_->text();
    if (text.isEmpty()) return;
    if (!list_->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) return;
    list_->addItem(text);
}

void CStrFilterDlg::OnDelete() {
    for (QListWidgetItem* item : list_->selectedItems()) delete list_->takeItem(list_->row(item));
}

void CStrFilterDlg::accept() {
    StringFilter::List strings;
    for (int i = 0; i < list_->count(); ++i)
        strings.push_back(list_->item(i)->text().toStdU16String());
    filter_.replaceAll(std::move(strings));
    QDialog::accept();
}

}  // namespace nimbrel::gui
