// Why a device could not be used, in words: the reasons and hints the window's console and
// the command line both give, so that a user reads the same sentence in either.
#pragma once

#include <string>

namespace nimbrel {

// A hint for a serial port that could not be opened or configured, or empty: "is the
// adapter plugged in?"; for a busy port, the programs that hold it when they can be seen.
std::string serialPortHint(int error, const std::string& devicePath);

// "Cannot open /dev/ttyUSB0: No such file or directory (is the adapter plugged in?)"
std::string serialOpenFailureText(int error, const std::string& devicePath);

// Why a request to a driver device failed: `error` is the request's errno value, or 0 when
// the driver answered with the status byte `status` (-1: no byte came back).
std::string driverFailureText(int error, int status, const std::string& devicePath);

}  // namespace nimbrel
