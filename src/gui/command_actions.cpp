#include "gui/command_actions.h"

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
    for (const CommandSpec& spec : commandTable()) {
        auto* a = new QAction(menuLabel(spec.text), owner);
        a->setObjectName(QStringLiteral("command%1").arg(spec.id));
        a->setData(spec.id);
        a->setStatusTip(QString::fromUtf8(spec.hint));
        a->setCheckable(spec.mark != Mark::None);
        if (spec.markSource == MarkSource::ApplicationLook) looks->addAction(a);
        a->setEnabled(spec.enable != EnableRule::Never && spec.enable != EnableRule::NotYet);
        const int id = spec.id;
        connect(a, &QAction::triggered, this, [this, id] { emit triggered(id); });
        actions_.insert(spec.id, a);
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
    for (const CommandSpec& spec : commandTable()) {
        if (!*spec.menu) continue;
        const QStringList levels = QString::fromUtf8(spec.menu).split(u'/');
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
        if (spec.separatorBefore) parent->addSeparator();
        parent->addAction(actions_.value(spec.id));
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
    for (const CommandSpec& spec : commandTable()) {
        QAction* a = actions_.value(spec.id);
        a->setEnabled(source.ruleHolds(spec.enable));
        if (spec.mark != Mark::None) a->setChecked(source.marked(spec));
        const QString text = source.textFor ? source.textFor(spec.id) : QString();
        const QString wanted = text.isEmpty() ? menuLabel(spec.text) : text;
        if (a->text() != wanted) a->setText(wanted);
    }
}

}  // namespace nimbrel::gui
