#include "gui/window/command_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWidget>

namespace nimbrel::gui {

QString menuLabel(const char* text) {
    const QString full = QString::fromUtf8(text);
    const qsizetype tab = full.indexOf(u'\t');
    return tab < 0 ? full : full.left(tab);
}

CommandActions::CommandActions(QWidget* owner) : QObject(owner), owner_(owner) {
    auto* looks = new QActionGroup(this);
    looks->setExclusive(true);
    for (const CommandSpec& cmdRow : commandTable()) {
        const int id = commandNumber(cmdRow.id);
        auto* a = new QAction(menuLabel(cmdRow.text), owner);
        a->setObjectName(QStringLiteral("command%1").arg(id));
        a->setData(id);
        a->setStatusTip(QString::fromUtf8(cmdRow.hint));
        a->setCheckable(cmdRow.mark != Mark::None);
        if (cmdRow.markSource == MarkSource::ApplicationLook) looks->addAction(a);
        a->setEnabled(cmdRow.enable != EnableRule::Never && cmdRow.enable != EnableRule::NotYet);
        QList<QKeySequence> keys;
        for (const std::string& key : commandKeys(cmdRow)) {
            keys.append(QKeySequence(QString::fromStdString(key), QKeySequence::PortableText));
        }
        if (!keys.isEmpty()) a->setShortcuts(keys);
        const MenuCommand command = cmdRow.id;
        connect(a, &QAction::triggered, this, [this, command] { emit triggered(command); });
        actions_.insert(id, a);
    }
    // Keys work while the window is active, whether or not the item is in a visible menu.
    owner->addActions(actions_.values());
}

void CommandActions::buildMenuBar(QMenuBar* bar) {
    for (const CommandSpec& cmdRow : commandTable()) {
        if (!*cmdRow.menu) continue;
        const QStringList levels = QString::fromUtf8(cmdRow.menu).split(u'/');
        QString path;
        QMenu* parent = nullptr;
        for (const QString& level : levels) {
            path = path.isEmpty() ? level : path + u'/' + level;
            QMenu* m = menus_.value(path);
            if (!m) {
                m = parent ? parent->addMenu(level) : bar->addMenu(level);
                m->setObjectName(QStringLiteral("menu:") + path);
                connect(m, &QMenu::aboutToShow, this, &CommandActions::aboutToShowMenu);
                menus_.insert(path, m);
            }
            parent = m;
        }
        if (cmdRow.separatorBefore) parent->addSeparator();
        parent->addAction(action(cmdRow.id));
    }
}

QMenu* CommandActions::buildContextMenu(QWidget* parent) const {
    auto* m = new QMenu(parent);
    m->setObjectName(QStringLiteral("contextMenu:Edit"));
    for (const CommandSpec* cmdRow : contextMenuCommands()) {
        if (cmdRow->contextMenu.separatorBefore) m->addSeparator();
        m->addAction(action(cmdRow->id));
    }
    connect(m, &QMenu::aboutToShow, this, &CommandActions::aboutToShowMenu);
    return m;
}

void CommandActions::fillStandardToolbar(QToolBar* toolbar) const {
    for (const CommandSpec* cmdRow : standardToolbarCommands()) {
        if (cmdRow->toolbar.separatorBefore) toolbar->addSeparator();
        toolbar->addAction(action(cmdRow->id));
    }
}

void CommandActions::refresh(const StateSource& source) {
    for (const CommandSpec& cmdRow : commandTable()) {
        QAction* a = action(cmdRow.id);
        a->setEnabled(source.ruleHolds(cmdRow.enable));
        if (cmdRow.mark != Mark::None) a->setChecked(source.marked(cmdRow));
        const QString text = source.textFor ? source.textFor(cmdRow.id) : QString();
        const QString wanted = text.isEmpty() ? menuLabel(cmdRow.text) : text;
        if (a->text() != wanted) a->setText(wanted);
    }
}

}  // namespace nimbrel::gui
