#include "gui/logview/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/logview/log_text_view.h"

namespace nimbrel::gui {

FindDialog::FindDialog(LogTextView* view) : QDialog(view), view_(view) {
    setModal(false);
    auto* findLabel = new QLabel(tr("Fi&nd what:"));
    findEdit_ = new QLineEdit;
    findLabel->setBuddy(findEdit_);
    replaceLabel_ = new QLabel(tr("Re&place with:"));
    replaceEdit_ = new QLineEdit;
    replaceLabel_->setBuddy(replaceEdit_);
    wholeWord_ = new QCheckBox(tr("Match &whole word only"));
    matchCase_ = new QCheckBox(tr("Match &case"));

    auto* directionBox = new QGroupBox(tr("Direction"));
    up_ = new QRadioButton(tr("&Up"));
    down_ = new QRadioButton(tr("&Down"));
    down_->setChecked(true);
    auto* directionLayout = new QHBoxLayout(directionBox);
    directionLayout->addWidget(up_);
    directionLayout->addWidget(down_);
    direction_ = directionBox;

    findNext_ = new QPushButton(tr("&Find Next"));
    findNext_->setDefault(true);
    replace_ = new QPushButton(tr("&Replace"));
    replaceAll_ = new QPushButton(tr("Replace &All"));
    auto* cancel = new QPushButton(tr("Cancel"));
    status_ = new QLabel;
    status_->setAccessibleName(tr("Find result"));

    auto* fields = new QGridLayout;
    fields->addWidget(findLabel, 0, 0);
    fields->addWidget(findEdit_, 0, 1);
    fields->addWidget(replaceLabel_, 1, 0);
    fields->addWidget(replaceEdit_, 1, 1);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(wholeWord_);
    checks->addWidget(matchCase_);
    options->addLayout(checks);
    options->addWidget(directionBox);
    auto* left = new QVBoxLayout;
    left->addLayout(fields);
    left->addLayout(options);
    left->addWidget(status_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext_);
    buttons->addWidget(replace_);
    buttons->addWidget(replaceAll_);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons);

    connect(findNext_, &QPushButton::clicked, this, &FindDialog::onFindNext);
    connect(replace_, &QPushButton::clicked, this, &FindDialog::onReplace);
    connect(replaceAll_, &QPushButton::clicked, this, &FindDialog::onReplaceAll);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(findEdit_, &QLineEdit::textChanged, this, &FindDialog::updateButtons);
    connect(view_, &LogTextView::findFinished, this, &FindDialog::onFound);
    connect(view_, &LogTextView::replaceAllFinished, this, &FindDialog::onReplaced);
}

void FindDialog::showFor(Mode mode, const QString& text, bool matchCase, bool wholeWord,
                         bool forward) {
    mode_ = mode;
    const bool replacing = mode == Mode::Replace;
    setWindowTitle(replacing ? tr("Replace") : tr("Find"));
    replaceLabel_->setVisible(replacing);
    replaceEdit_->setVisible(replacing);
    replace_->setVisible(replacing);
    replaceAll_->setVisible(replacing);
    direction_->setVisible(!replacing);
    if (!text.isEmpty()) findEdit_->setText(text);
    matchCase_->setChecked(matchCase);
    wholeWord_->setChecked(wholeWord);
    (forward ? down_ : up_)->setChecked(true);
    status_->clear();
    updateButtons();
    adjustSize();
    show();
    raise();
    activateWindow();
    findEdit_->setFocus();
    findEdit_->selectAll();
}

QString FindDialog::status() const { return status_->text(); }

void FindDialog::updateButtons() {
    const bool any = !findEdit_->text().isEmpty();
    findNext_->setEnabled(any);
    replace_->setEnabled(any);
    replaceAll_->setEnabled(any);
}

// The outcome comes with the view's signals, at once or when a long search has ended.
void FindDialog::onFindNext() {
    const bool forward = mode_ == Mode::Replace || down_->isChecked();
    searched_ = findEdit_->text();
    status_->clear();
    view_->find(searched_, matchCase_->isChecked(), wholeWord_->isChecked(), forward);
}

void FindDialog::onReplace() {
    searched_ = findEdit_->text();
    status_->clear();
    view_->replaceNext(searched_, replaceEdit_->text(), matchCase_->isChecked(),
                       wholeWord_->isChecked());
}

void FindDialog::onReplaceAll() {
    searched_ = findEdit_->text();
    status_->clear();
    view_->replaceAll(searched_, replaceEdit_->text(), matchCase_->isChecked(),
                      wholeWord_->isChecked());
}

void FindDialog::onFound(bool found) {
    status_->setText(found ? QString() : tr("Cannot find \"%1\".").arg(searched_));
}

void FindDialog::onReplaced(int count) {
    status_->setText(count > 0 ? tr("%n occurrence(s) replaced.", nullptr, count)
                               : tr("Cannot find \"%1\".").arg(searched_));
}

}  // namespace nimbrel::gui
