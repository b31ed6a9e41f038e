// The application icon, drawn at start so that no image file has to be installed.
#pragma once

#include <QIcon>

namespace nimbrel::gui {

QIcon appIcon();

}  // namespace nimbrel::gui
