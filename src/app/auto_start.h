// Starting the program at log-on and capturing at once.
//
// The two toggles of the Setting menu, "Auto Catch Log @USB Platform" (filter-driver
// route) and "Auto Catch Log @Uart Platform" (UART-driver route), exclude each other.
// Switching one on writes the XDG autostart entry $XDG_CONFIG_HOME/autostart/nimbrel.desktop
// that starts this program at log-on, and records the route in the settings
// (AutoGetLogForUart = 1 for the UART route, AutoGetLog = 1 for the USB route, the other 0).
// Switching either off removes the entry and clears its own route's setting only.
//
// Which capture starts by itself at launch is decided by the start-up sequence from
// fwconfig.ini (AutoGetLog) and the setting AutoGetLogForUart; the entry is not examined
// then, so the check marks may disagree with its presence.
#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

class SettingsStore;

// The check marks of the two toggles; the view owns one of these.
struct AutoStartToggles {
    bool m_bAutoGetLog = false;         // "Auto Catch Log @USB Platform"
    bool m_bAutoGetLogForUart = false;  // "Auto Catch Log @Uart Platform"
};

// The marks at view construction: fwconfig.ini's AutoGetLog is exactly 1, and the
// setting AutoGetLogForUart is not 0.
AutoStartToggles initialAutoStartToggles(const SettingsStore& settings);

// The full path of the running executable (empty when it cannot be found).
std::u16string currentExecutablePath();

// $XDG_CONFIG_HOME/autostart/nimbrel.desktop ($HOME/.config when XDG_CONFIG_HOME is unset).
std::u16string autostartEntryPath();

// The Exec value that runs a program with no arguments: the path always quoted, with
// the characters the Desktop Entry rules reserve inside quotes escaped, "%" doubled, and
// the general string escapes applied last.
std::u16string desktopExecValue(std::u16string_view program);

// The complete autostart entry that starts the program.
std::u16string autostartEntryText(std::u16string_view program);

// Switches auto-start on (writes the entry for `program` and records the route) or off
// (removes the entry and clears the route's own setting). The entry is removed first in
// both cases. Returns whether the entry is now as asked (written, or absent); the
// settings are written either way. An entry that cannot be written is reported on the
// trace channel only.
bool SetAutoStart(bool enable, bool forUart, std::u16string_view program = currentExecutablePath());

// Command 32774, "Auto Catch Log @USB Platform": flips m_bAutoGetLog; switching it on
// clears m_bAutoGetLogForUart.
void toggleAutoCatchLogUsb(AutoStartToggles& toggles,
                           std::u16string_view program = currentExecutablePath());
// Command 32775, "Auto Catch Log @Uart Platform": the same with the roles exchanged.
void toggleAutoCatchLogUart(AutoStartToggles& toggles,
                            std::u16string_view program = currentExecutablePath());

}  // namespace nimbrel
