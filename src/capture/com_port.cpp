#include "capture/com_port.h"

namespace nimbrel {

SerialPort& comPort() {
    static SerialPort port;
    return port;
}

}  // namespace nimbrel
