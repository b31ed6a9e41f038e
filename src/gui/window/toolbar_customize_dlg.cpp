#include "gui/window/toolbar_customize_dlg.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "gui/window/command_actions.h"
#include "gui/window/command_table.h"
#include "gui/window/toolbar_customize_button.h"

namespace nimbrel::gui {
namespace {

QString plainLabel(const QString& text) {
    QString t = text;
    return t.remove(u'&');
}

}  // namespace

CToolbarCustomizeDlg::CToolbarCustomizeDlg(EditableToolbars& toolbars, CommandActions& actions,
                                           QWidget* parent)
    : QDialog(parent), toolbarSet_(toolbars), actions_(actions) {
    setWindowTitle(QStringLiteral("Customize"));
    setObjectName(QStringLiteral("toolbarCustomizeDialog"));
    toolbars_ = new QComboBox(this);
    toolbars_->setObjectName(QStringLiteral("toolbars"));
    commands_ = new QListWidget(this);
    commands_->setObjectName(QStringLiteral("commands"));
    buttons_ = new QListWidget(this);
    buttons_->setObjectName(QStringLiteral("buttons"));
    for (const CommandSpec& cmdRow : commandTable()) {
        if (!*cmdRow.menu || cmdRow.id == MenuCommand::ViewToolbars) continue;
        auto* item = new QListWidgetItem(plainLabel(menuLabel(cmdRow.text)), commands_);
        item->setData(Qt::UserRole, commandNumber(cmdRow.id));
        item->setIcon(actions_.action(cmdRow.id)->icon());
    }
    auto* add = new QPushButton(QStringLiteral("Add >>"), this);
    auto* separator = new QPushButton(QStringLiteral("Separator"), this);
    auto* remove = new QPushButton(QStringLiteral("<< Remove"), this);
    auto* newBar = new QPushButton(QStringLiteral("New Toolbar"), this);
    delete_ = new QPushButton(QStringLiteral("Delete Toolbar"), this);
    for (QPushButton* b : {add, separator, remove, newBar, delete_}) b->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &CToolbarCustomizeDlg::OnAddCommand);
    connect(separator, &QPushButton::clicked, this, &CToolbarCustomizeDlg::OnAddSeparator);
    connect(remove, &QPushButton::clicked, this, &CToolbarCustomizeDlg::OnRemove);
    connect(newBar, &QPushButton::clicked, this, &CToolbarCustomizeDlg::OnNewToolbar);
    connect(delete_, &QPushButton::clicked, this, &CToolbarCustomizeDlg::OnDeleteToolbar);
    connect(toolbars_, &QComboBox::currentIndexChanged, this, &CToolbarCustomizeDlg::fillButtons);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);

    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* b : {add, separator, remove}) middle->addWidget(b);
    middle->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Toolbar:"), this), 0, 0);
    grid->addWidget(toolbars_, 0, 1);
    auto* barButtons = new QHBoxLayout;
    barButtons->addWidget(newBar);
    barButtons->addWidget(delete_);
    grid->addLayout(barButtons, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Commands:"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Buttons of the toolbar:"), this), 1, 2);
    grid->addWidget(commands_, 2, 0, 1, 2);
    grid->addLayout(middle, 2, 1, Qt::AlignRight);
    grid->addWidget(buttons_, 2, 2);
    grid->addWidget(close, 3, 0, 1, 3);
    resize(560, 420);
    fillToolbars();
}

QToolBar* CToolbarCustomizeDlg::currentToolbar() const {
    const QString name = toolbars_->currentData().toString();
    for (QToolBar* bar : toolbarSet_.toolbars()) {
        if (bar->objectName() == name) return bar;
    }
    return nullptr;
}

void CToolbarCustomizeDlg::fillToolbars(QToolBar* select) {
    QSignalBlocker block(toolbars_);
    toolbars_->clear();
    for (QToolBar* bar : toolbarSet_.toolbars()) {
        toolbars_->addItem(bar->windowTitle(), bar->objectName());
        if (bar == select) toolbars_->setCurrentIndex(toolbars_->count() - 1);
    }
    fillButtons();
}

void CToolbarCustomizeDlg::fillButtons() {
    buttons_->clear();
    QToolBar* bar = currentToolbar();
    delete_->setEnabled(bar && toolbarSet_.isUserToolbar(bar));
    if (!bar) return;
    for (QAction* a : toolbarCommands(bar)) {
        buttons_->addItem(a->isSeparator() ? QStringLiteral("----") : plainLabel(a->text()));
    }
}

void CToolbarCustomizeDlg::OnAddCommand() {
    QToolBar* bar = currentToolbar();
    QListWidgetItem* item = commands_->currentItem();
    if (!bar || !item) return;
    const CommandSpec* cmdRow = findCommandNumber(item->data(Qt::UserRole).toInt());
    if (!cmdRow) return;
    QAction* a = actions_.action(cmdRow->id);
    const QList<QAction*> commands = toolbarCommands(bar);
    if (commands.contains(a)) return;  // one button per command
    const int row = buttons_->currentRow();
    bar->insertAction(row >= 0 ? commands.value(row) : toolbarEnd(bar), a);
    fillButtons();
}

void CToolbarCustomizeDlg::OnAddSeparator() {
    QToolBar* bar = currentToolbar();
    if (!bar) return;
    const int row = buttons_->currentRow();
    bar->insertSeparator(row >= 0 ? toolbarCommands(bar).value(row) : toolbarEnd(bar));
    fillButtons();
}

void CToolbarCustomizeDlg::OnRemove() {
    QToolBar* bar = currentToolbar();
    const int row = buttons_->currentRow();
    const QList<QAction*> commands = toolbarCommands(bar);
    if (!bar || row < 0 || row >= commands.size()) return;
    bar->removeAction(commands.at(row));
    fillButtons();
}

void CToolbarCustomizeDlg::OnNewToolbar() {
    if (QToolBar* bar = toolbarSet_.addUserToolbar()) fillToolbars(bar);
}

void CToolbarCustomizeDlg::OnDeleteToolbar() {
    QToolBar* bar = currentToolbar();
    if (!bar || !toolbarSet_.isUserToolbar(bar)) return;
    toolbarSet_.removeUserToolbar(bar);
    fillToolbars();
}

}  // namespace nimbrel::gui
