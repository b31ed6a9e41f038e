#include "gui/window/highlight_rules_dlg.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace nimbrel::gui {

namespace {

enum Column { On, Pattern, Regex, Case, Colour, Columns };
const QColor kNewRuleColour(0, 90, 160);

QTableWidgetItem* checkItem(bool on) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

}  // namespace

HighlightRulesDlg::HighlightRulesDlg(std::vector<HighlightRule> rules, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("highlightRulesDlg"));
    setWindowTitle(QStringLiteral("Highlight Rules"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, Columns, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("On"), QStringLiteral("Text"),
                                       QStringLiteral("Regular expression"),
                                       QStringLiteral("Match case"), QStringLiteral("Colour")});
    table_->horizontalHeader()->setSectionResizeMode(Pattern, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    layout->addWidget(table_);
    problem_ = new QLabel(this);
    problem_->setStyleSheet(QStringLiteral("color: #c00000"));
    layout->addWidget(problem_);

    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&Add"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove"), this);
    auto* colour = new QPushButton(QStringLiteral("&Colour..."), this);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addWidget(colour);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] {
        addRule({QString(), false, false, kNewRuleColour, true});
        table_->setCurrentCell(table_->rowCount() - 1, Pattern);
        table_->editItem(table_->item(table_->rowCount() - 1, Pattern));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0) table_->removeRow(table_->currentRow());
        check();
    });
    connect(colour, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0) chooseColour(table_->currentRow());
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (column == Colour) chooseColour(row);
    });
    connect(table_, &QTableWidget::itemChanged, this, [this] { check(); });
    for (const HighlightRule& r : rules) addRule(r);
    resize(620, 320);
}

void HighlightRulesDlg::addRule(const HighlightRule& rule) {
    const QSignalBlocker blocker(table_);
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, On, checkItem(rule.enabled));
    table_->setItem(row, Pattern, new QTableWidgetItem(rule.pattern));
    table_->setItem(row, Regex, checkItem(rule.regex));
    table_->setItem(row, Case, checkItem(rule.matchCase));
    auto* colour = new QTableWidgetItem(rule.colour.name());
    colour->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    colour->setBackground(rule.colour);
    colour->setData(Qt::UserRole, rule.colour);
    table_->setItem(row, Colour, colour);
}

void HighlightRulesDlg::chooseColour(int row) {
    QTableWidgetItem* item = table_->item(row, Colour);
    const QColor chosen = QColorDialog::getColor(item->data(Qt::UserRole).value<QColor>(), this,
                                                 QStringLiteral("Highlight Colour"));
    if (!chosen.isValid()) return;
    item->setData(Qt::UserRole, chosen);
    item->setBackground(chosen);
    item->setText(chosen.name());
}

std::vector<HighlightRule> HighlightRulesDlg::rules() const {
    std::vector<HighlightRule> out;
    for (int row = 0; row < table_->rowCount(); ++row) {
        HighlightRule r;
        r.enabled = table_->item(row, On)->checkState() == Qt::Checked;
        r.pattern = table_->item(row, Pattern)->text();
        r.regex = table_->item(row, Regex)->checkState() == Qt::Checked;
        r.matchCase = table_->item(row, Case)->checkState() == Qt::Checked;
        r.colour = table_->item(row, Colour)->data(Qt::UserRole).value<QColor>();
        if (!r.pattern.isEmpty()) out.push_back(r);
    }
    return out;
}

void HighlightRulesDlg::check() {
    // Says which rule does not compile; it is kept, and draws nothing.
    for (const HighlightRule& r : rules()) {
        QString error;
        if (!makeLineMatcher({r.pattern, r.regex, r.matchCase, false}, &error)) {
            problem_->setText(QStringLiteral("\"%1\": %2").arg(r.pattern, error));
            return;
        }
    }
    problem_->clear();
}

}  // namespace nimbrel::gui
