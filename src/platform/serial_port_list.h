// The serial ports a user can choose from: the real serial devices the system lists (on
// Linux under /sys/class/tty, on Windows in the registry key
// HKEY_LOCAL_MACHINE\Hardware\DeviceMap\SerialComm), followed by names the user typed
// earlier.
#pragma once

#include <string>
#include <vector>

namespace nimbrel {

inline constexpr const char* kSysClassTtyDir = "/sys/class/tty";

// Linux: port names (for example "ttyS0", "ttyUSB0") of the entries of sysClassTty that
// belong to a device: virtual consoles and the like (no "device" link) and UART slots
// without hardware ("type" 0) are left out. Sorted with numbers in numeric order (ttyS2
// before ttyS10).
// Windows: the data of every value of the SerialComm key ("COM1", ...), in the registry's
// enumeration order; sysClassTty is not used.
// Then every typed name that is not empty and not yet listed, in the given order.
std::vector<std::string> listSerialPorts(const std::vector<std::string>& typedNames = {},
                                         const std::string& sysClassTty = kSysClassTtyDir);

}  // namespace nimbrel
