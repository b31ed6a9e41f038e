// The settings key's stand-in on Linux: QSettings in native format for organisation
// "Corvane/Bluetooth" and application "Nimbrel" (an INI file under $XDG_CONFIG_HOME).
// Top-level values as in the registry key; group "Workspace" holds ApplicationLook.
// Writers create the file and its folders when missing. No QCoreApplication is needed.
#pragma once

#include "platform/settings_backend.h"

namespace nimbrel {

inline constexpr char kSettingsOrganization[] = "Corvane/Bluetooth";
inline constexpr char kSettingsApplication[] = "Nimbrel";

const SettingsBackend& qtSettings();

}  // namespace nimbrel
