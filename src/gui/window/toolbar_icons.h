// Icons of the toolbar commands: the desktop theme's icon when it has one, otherwise a
// small drawing of our own.
#pragma once

#include <QIcon>

#include "app/menu_commands.h"

namespace nimbrel::gui {

// The icon of a command, or a null icon for commands without one.
QIcon commandIcon(MenuCommand command);
// The drawn icon alone (what is shown when the theme has none).
QIcon builtInCommandIcon(MenuCommand command);

}  // namespace nimbrel::gui
