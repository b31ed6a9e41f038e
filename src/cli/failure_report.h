// Failure lines of the command line: what went wrong, the system's reason in words, and a
// hint where one helps. They follow the console's own red lines, which stay as they are.
#pragma once

#include <string>

namespace nimbrel::cli {

// Prints "nimbrel-cli: WHAT: REASON (HINT)" on stderr; no parentheses without a hint.
void reportFailure(const std::string& what, int error, const std::string& hint = {});

// The hint for a serial port (`devicePath`) that could not be opened or configured by
// `command`: the window's hint, then where to read more.
std::string serialPortHint(int error, const char* command, const std::string& devicePath);

}  // namespace nimbrel::cli
