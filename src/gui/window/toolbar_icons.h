// Icons of the toolbar commands: the desktop theme's icon when it has one, otherwise a
// small drawing of our own.
#pragma once

#include <QIcon>

namespace nimbrel::gui {

// The icon of a command, or a null icon for commands without one.
QIcon commandIcon(int id);
// The drawn icon alone (what is shown when the theme has none).
QIcon builtInCommandIcon(int id);

}  // namespace nimbrel::gui
