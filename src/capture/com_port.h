// The serial port of the COM route, shared by its capture thread (reads), the in-box
// sender (writes) and the shutdown (closes it to end a pending read). Whichever side
// closes it first closes it; the others find it closed.
#pragma once

#include "platform/serial_port.h"

namespace nimbrel {

SerialPort& comPort();

}  // namespace nimbrel
