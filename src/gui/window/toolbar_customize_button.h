// The customise button at the end of every toolbar: a small drop-down arrow, labelled
// "Customize...", that runs command 126 (the toolbar customisation). It belongs to the
// toolbar, not to its commands: the customisation dialog does not list it, the saved layout
// does not hold it, and commands added at the end of a toolbar go in front of it.
#pragma once

#include <QList>

class QAction;
class QToolBar;

namespace nimbrel::gui {

// Adds the button to the end of `bar`; it triggers `customize`. Once per toolbar.
void addCustomizeButton(QToolBar* bar, QAction* customize);

// The toolbar's own commands and separators, in order, without the customise button.
QList<QAction*> toolbarCommands(const QToolBar* bar);

// Where a command appended to the toolbar goes in front of (the button's action), or
// nullptr when the toolbar has no customise button.
QAction* toolbarEnd(const QToolBar* bar);

}  // namespace nimbrel::gui
