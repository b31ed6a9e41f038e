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
        auto* a = new QAction(menuLabel(cmdRow.text), owner);
        a->setObjectName(QStringLiteral("command%1").arg(cmdRow.id));
        a->setData(cmdRow.id);
        a->setStatusTip(QString::fromUtf8(cmdRow.hint));
        a->setCheckable(cmdRow.mark != Mark::None);
        if (cmdRow.markSource == MarkSource::ApplicationLook) looks->addAction(a);
        a->setEnabled(cmdRow.enable != EnableRule::Never && cmdRow.enable != EnableRule::NotYet);
        const int id = cmdRow.id;
        connect(a, &QAction::triggered, this, [this, id] { emit triggered(id); });
        actions_.insert(cmdRow.id, a);
    }
    QHash<int, QList<QKeySequence>> keys;
    for (const Accelerator& acc : acceleratorTable()) {
        keys[acc.id].append(
            QKeySequence(QString::fromLatin1(acc.keys), QKeySequence::PortableText));
    }
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        if (QAction* a = actions_.value(it.key())) a->setShortcuts(it.value());
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
        parent->addAction(actions_.value(cmdRow.id));
    }
}

QMenu* CommandActions::buildContextMenu(QWidget* parent) const {
    auto* m = new QMenu(parent);
    m->setObjectName(QStringLiteral("contextMenu:Edit"));
    for (const int id : contextMenuCommands()) {
        if (id == 0) {
            m->addSeparator();
        } else {
            m->addAction(actions_.value(id));
        }
    }
    connect(m, &QMenu::aboutToShow, this, &CommandActions::aboutToShowMenu);
    return m;
}

void CommandActions::fillStandardToolbar(QToolBar* toolbar) const {
    for (const int id : standardToolbarCommands()) {
        if (id == 0) {
            toolbar->addSeparator();
        } else {
            toolbar->addAction(actions_.value(id));
        }
    }
}

void CommandActions::refresh(const StateSource& source) {
    for (const CommandSpec& cmdRow : commandTable()) {
        QAction* a = actions_.value(cmdRow.id);
        a->setEnabled(source.ruleHolds(cmdRow.enable));
        if (cmdRow.mark != Mark::None) a->setChecked(source.marked(cmdRow));
        const QString text = source.textFor ? source.textFor(cmdRow.id) : QString();
        const QString wanted = text.isEmpty() ? menuLabel(cmdRow.text) : text;
        if (a->text() != wanted) a->setText(wanted);
    }
}

}  // namespace nimbrel::gui
