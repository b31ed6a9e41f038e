// One QAction per command of the command table, with its text, shortcuts, status-bar
// prompt and mark; the menu bar, the view's context menu and the toolbar are built from
// the table and share these actions. Choosing any of them emits triggered(command).
#pragma once

#include <QHash>
#include <QObject>
#include <functional>

#include "gui/window/command_table.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace nimbrel::gui {

// The label of a menu text: the part before the tab ("&New\tCtrl+N" gives "&New").
QString menuLabel(const char* text);

class CommandActions : public QObject {
    Q_OBJECT
public:
    // Creates the actions as children of `owner`, which also receives them so that their
    // keys work anywhere in the window.
    explicit CommandActions(QWidget* owner);

    QAction* action(MenuCommand command) const { return actions_.value(commandNumber(command)); }

    // Fills a menu bar from the command table; submenus are created along each path.
    void buildMenuBar(QMenuBar* bar);
    // The submenu at a path built by buildMenuBar ("&View/&Application Look"), or nullptr.
    QMenu* menu(const QString& path) const { return menus_.value(path); }
    // A new menu holding the context menu's commands.
    QMenu* buildContextMenu(QWidget* parent) const;
    // Adds the toolbar's commands to a toolbar.
    void fillStandardToolbar(QToolBar* toolbar) const;

    // What the owners of the commands know about their states.
    struct StateSource {
        std::function<bool(EnableRule)> ruleHolds;
        std::function<bool(const CommandSpec&)> marked;
        // A text that replaces the table's (for example "Continue" for Pause), or empty.
        std::function<QString(MenuCommand command)> textFor;
    };
    // Applies the enabled, checked and text states now.
    void refresh(const StateSource& source);

signals:
    void triggered(MenuCommand command);
    // A menu is about to open: its items' states should be refreshed first.
    void aboutToShowMenu();

private:
    QWidget* owner_;
    QHash<int, QAction*> actions_;  // by command number
    QHash<QString, QMenu*> menus_;
};

}  // namespace nimbrel::gui
