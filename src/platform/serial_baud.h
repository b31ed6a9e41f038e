// Line speed of a serial descriptor, standard or not.
#pragma once

#include <cstdint>

namespace nimbrel {

// Sets input and output speed of an open terminal descriptor whose other settings are
// already applied. Standard rates go through termios; any other rate through the kernel's
// arbitrary-rate interface. Returns 0 or an errno (EINVAL for a rate of 0).
int setSerialBaudRate(int fd, std::uint32_t baudRate);

}  // namespace nimbrel
